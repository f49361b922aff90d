#include "nav/filelistbox.h"

#include "base/errorbox.h"
#include "base/errors.h"
#include "base/paths.h"
#include "base/qtext.h"
#include "nav/listing.h"
#include "nav/rowdelegate.h"

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
    : QListWidget(parent), directory_(paths::currentDirectory()), mask_(mask)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new RowDelegate(15, this));
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
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string &name : names)
        texts << displayText(name);
    clear();
    names_ = std::move(names);
    addItems(texts);
    if (busy)
        QApplication::restoreOverrideCursor();
    lastIndex_ = -1;
    if (onChange)
        onChange();
}

void FileListBox::refresh()
{
    const int selected = selectedIndex();
    const std::string name = selected >= 0 ? names_[static_cast<std::size_t>(selected)] : std::string();
    read();
    const auto found = std::find(names_.begin(), names_.end(), name);
    if (name.empty() || found == names_.end())
        return;
    lastIndex_ = static_cast<int>(found - names_.begin());
    setCurrentRow(lastIndex_);
}

int FileListBox::selectedIndex() const
{
    const QList<QListWidgetItem *> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.first());
}

std::string FileListBox::selectedFilePath() const
{
    const int index = selectedIndex();
    if (index < 0 || index >= static_cast<int>(names_.size()))
        return {};
    return paths::join(directory_, names_[static_cast<std::size_t>(index)]);
}

void FileListBox::selectFile(const std::string &path)
{
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (paths::join(directory_, names_[i]) == path) {
            setCurrentRow(static_cast<int>(i), QItemSelectionModel::ClearAndSelect);
            return;
        }
    }
    clearSelection();
}

void FileListBox::raiseClick()
{
    if (onClick)
        onClick();
    raiseChange();
}

void FileListBox::raiseChange()
{
    const int index = selectedIndex();
    if (index == lastIndex_)
        return;
    lastIndex_ = index;
    if (onChange)
        onChange();
}

void FileListBox::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
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
    QListWidget::mousePressEvent(event);
    runGuarded([this] { raiseClick(); });
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !itemAt(event->position().toPoint()))
        return;
    runGuarded([this] {
        if (onDblClick)
            onDblClick();
    });
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    const int before = selectedIndex();
    QListWidget::keyPressEvent(event);
    if (selectedIndex() != before)
        runGuarded([this] { raiseClick(); });
}

} // namespace vardo
