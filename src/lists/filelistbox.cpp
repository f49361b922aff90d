#include "lists/filelistbox.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include "core/files/listing.h"
#include "ui/errorbox.h"

#include <QApplication>
#include <QMouseEvent>
#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace vardo {

namespace {

// From this many entries on, reading shows the busy pointer.
constexpr std::size_t kBusyPointerEntries = 100;

} // namespace

std::string enterDirectory(const std::string &path)
{
    if (::chdir(path.c_str()) != 0)
        throw ioErrorFromErrno(errno);
    return paths::currentDirectory();
}

FileListBox::FileListBox(const std::string &mask, QWidget *parent)
    : NameList(new NameListModel, 15, parent), directory_(paths::currentDirectory()), mask_(mask)
{
}

void FileListBox::setDirectory(const std::string &path)
{
    if (path == directory_)
        return;
    directory_ = enterDirectory(path);
    read();
}

void FileListBox::read()
{
    if (!shown_)
        return;
    enterDirectory(directory_);
    std::vector<std::string> names = nav::listFiles(directory_, mask_);
    const bool busy = names.size() > kBusyPointerEntries;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    rows()->setNames(std::move(names));
    if (busy)
        QApplication::restoreOverrideCursor();
    lastIndex_ = -1;
    emit fileChanged();
}

void FileListBox::refresh()
{
    const int selected = selectedIndex();
    const std::vector<std::string> &names = rows()->names();
    const std::string name = selected >= 0 ? names[static_cast<std::size_t>(selected)] : std::string();
    read();
    const auto found = std::find(names.begin(), names.end(), name);
    if (name.empty() || found == names.end())
        return;
    lastIndex_ = static_cast<int>(found - names.begin());
    setCurrentRow(lastIndex_);
}

int FileListBox::selectedIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

std::string FileListBox::selectedFilePath() const
{
    const std::vector<std::string> &names = rows()->names();
    const int index = selectedIndex();
    if (index < 0 || index >= static_cast<int>(names.size()))
        return {};
    return paths::join(directory_, names[static_cast<std::size_t>(index)]);
}

void FileListBox::selectFile(const std::string &path)
{
    const std::vector<std::string> &names = rows()->names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (paths::join(directory_, names[i]) == path) {
            setCurrentRow(static_cast<int>(i));
            return;
        }
    }
    clearSelection();
}

void FileListBox::raiseClick()
{
    emit fileClicked();
    raiseChange();
}

void FileListBox::raiseChange()
{
    const int index = selectedIndex();
    if (index == lastIndex_)
        return;
    lastIndex_ = index;
    emit fileChanged();
}

void FileListBox::showEvent(QShowEvent *event)
{
    NameList::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    runGuarded([this] { read(); });
}

void FileListBox::mousePressEvent(QMouseEvent *event)
{
    // A right click opens the context menu and leaves the selection alone.
    if (event->button() != Qt::LeftButton)
        return;
    NameList::mousePressEvent(event);
    runGuarded([this] { raiseClick(); });
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || rowAt(event->position().toPoint()) < 0)
        return;
    runGuarded([this] { emit fileDoubleClicked(); });
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    const int before = selectedIndex();
    NameList::keyPressEvent(event);
    if (selectedIndex() != before)
        runGuarded([this] { raiseClick(); });
}

} // namespace vardo
