#include "lists/drivecombobox.h"

#include "doc/qtext.h"
#include "ui/errorbox.h"

#include <QSignalBlocker>
#include <QStyle>

namespace vardo {

namespace {

QStyle::StandardPixmap iconFor(nav::Volume::Kind kind)
{
    switch (kind) {
    case nav::Volume::Kind::Removable: return QStyle::SP_DriveFDIcon;
    case nav::Volume::Kind::Optical: return QStyle::SP_DriveCDIcon;
    case nav::Volume::Kind::Network: return QStyle::SP_DriveNetIcon;
    case nav::Volume::Kind::Ram:
    case nav::Volume::Kind::Fixed: break;
    }
    return QStyle::SP_DriveHDIcon;
}

} // namespace

DriveComboBox::DriveComboBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, &DriveComboBox::choose);
}

std::string DriveComboBox::selectedMountPoint() const
{
    if (selected_ < 0 || selected_ >= static_cast<int>(volumes_.size()))
        return {};
    return volumes_[static_cast<std::size_t>(selected_)].mountPoint;
}

void DriveComboBox::selectVolumeOf(const std::string &directory)
{
    selected_ = nav::volumeIndexOf(volumes_, directory);
    const QSignalBlocker blocker(this);
    setCurrentIndex(selected_);
}

void DriveComboBox::buildEntries(std::vector<nav::Volume> volumes)
{
    const QSignalBlocker blocker(this);
    clear();
    volumes_ = std::move(volumes);
    for (const nav::Volume &volume : volumes_)
        addItem(style()->standardIcon(iconFor(volume.kind)), displayText(volume.entryText()));
    built_ = true;
    selectVolumeOf(startDirectory_);
}

void DriveComboBox::choose(int index)
{
    const bool differs = index != selected_;
    selected_ = index;
    runGuarded([this, differs] {
        if (differs)
            emit volumeChanged();
        emit volumeChanged();
    });
}

void DriveComboBox::showEvent(QShowEvent *event)
{
    QComboBox::showEvent(event);
    if (built_)
        return;
    buildEntries(nav::mountedVolumes());
    runGuarded([this] { emit volumeChanged(); });
}

} // namespace vardo
