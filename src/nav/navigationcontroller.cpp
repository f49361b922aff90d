#include "nav/navigationcontroller.h"

#include "core/base/paths.h"
#include "core/batch/batchline.h"
#include "lists/directorylistbox.h"
#include "lists/drivecombobox.h"
#include "lists/filelistbox.h"
#include "tools/shellexec.h"
#include "ui/errorbox.h"

#include "doc/qtext.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>

namespace vardo {

namespace {

// A right click opens a list's menu where it was made; the menu acts on the selected entry.
void giveMenu(FileListBox *list, QMenu *menu)
{
    QObject::connect(list, &QWidget::customContextMenuRequested, menu,
                     [list, menu](const QPoint &at) { menu->popup(list->viewport()->mapToGlobal(at)); });
}

} // namespace

NavigationController::NavigationController(const NavigationWidgets &widgets, QObject *parent) : QObject(parent), widgets_(widgets)
{
    connect(widgets.volumes, &DriveComboBox::volumeChanged, this, &NavigationController::volumeChosen);
    connect(widgets.directories, &DirectoryListBox::directoryChanged, this, &NavigationController::directoryEntered);
    connect(widgets.recentRoots, &QComboBox::activated, this,
            [this](int index) { runGuarded([this, index] { rootChosen(index); }); });
    giveMenu(widgets.qcFiles, widgets.qcMenu);
    giveMenu(widgets.allFiles, widgets.allMenu);
    const auto guarded = [this](void (NavigationController::*action)()) {
        return [this, action] { runGuarded([this, action] { (this->*action)(); }); };
    };
    connect(widgets.openWithNotepad, &QAction::triggered, this, guarded(&NavigationController::openWithNotepad));
    connect(widgets.shellOpen, &QAction::triggered, this, guarded(&NavigationController::shellOpen));
    connect(widgets.exploreFolder, &QAction::triggered, this, guarded(&NavigationController::exploreFolder));
}

void NavigationController::volumeChosen()
{
    const std::string mountPoint = widgets_.volumes->selectedMountPoint();
    const std::vector<nav::Volume> &volumes = widgets_.volumes->volumes();
    if (mountPoint.empty() || nav::volumeIndexOf(volumes, widgets_.directories->directory()) ==
                                  nav::volumeIndexOf(volumes, mountPoint))
        return;
    widgets_.directories->changeDirectory(mountPoint);
}

void NavigationController::directoryEntered()
{
    const std::string directory = widgets_.directories->directory();
    widgets_.allFiles->setDirectory(directory);
    widgets_.volumes->selectVolumeOf(directory);
    emit directoryChanged(directory);
}

void NavigationController::rootChosen(int index)
{
    QComboBox *roots = widgets_.recentRoots;
    const std::string root = roots->itemData(index).toByteArray().toStdString();
    // The drop-down offers the roots; it does not show one as chosen.
    roots->setCurrentIndex(-1);
    widgets_.directories->changeDirectory(root);
}

void NavigationController::showProject(const std::string &root, const std::vector<std::string> &recentRoots)
{
    QLabel *name = widgets_.rootName;
    const bool elsewhere = root != widgets_.directories->directory();
    name->setText(elsewhere ? QStringLiteral("Root: ") + displayText(paths::fileNamePart(root)) : QString());
    name->setToolTip(elsewhere ? displayText(root) : QString());
    name->setVisible(elsewhere);
    QComboBox *roots = widgets_.recentRoots;
    roots->clear();
    for (const std::string &recent : recentRoots) {
        if (paths::isDirectory(recent))
            roots->addItem(displayText(recent), QByteArray::fromStdString(recent));
    }
    roots->setCurrentIndex(-1);
}

void NavigationController::refreshLists()
{
    widgets_.qcFiles->refresh();
    widgets_.allFiles->refresh();
}

void NavigationController::openWithNotepad()
{
    tools::writeBatchFile("gonotepad.bat", tools::batchLine("notepad", widgets_.qcFiles->selectedFilePath()));
    tools::shellExecute("gonotepad.bat", tools::ShowMode::Hidden);
}

void NavigationController::shellOpen()
{
    tools::writeBatchFile("goshell.bat", tools::batchLine("start", widgets_.allFiles->selectedFilePath()));
    tools::shellExecute("goshell.bat", tools::ShowMode::Hidden);
}

void NavigationController::exploreFolder()
{
    tools::shellExecute(paths::directoryPart(widgets_.allFiles->selectedFilePath()), tools::ShowMode::Normal);
}

} // namespace vardo
