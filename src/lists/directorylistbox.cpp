#include "lists/directorylistbox.h"

#include "core/base/paths.h"
#include "core/files/listing.h"
#include "lists/filelistbox.h"
#include "lists/rowdelegate.h"
#include "ui/errorbox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>
#include <iterator>
#include <optional>

namespace vardo {

namespace {

// The directories from the root down to `directory`, outermost first.
std::vector<std::string> ancestry(const std::string &directory)
{
    std::vector<std::string> chain{"/"};
    for (std::size_t slash = directory.find('/', 1); ; slash = directory.find('/', slash + 1)) {
        if (directory.size() > 1)
            chain.push_back(directory.substr(0, slash));
        if (slash == std::string::npos)
            break;
    }
    return chain;
}

} // namespace

// The rows of the directory list: the ancestors, each with an open folder and indented one
// step further than the one before, then the subdirectories, with closed folders, all at one
// indent.
class DirectoryListBox::Rows : public NameListModel {
public:
    void setRows(std::vector<std::string> names, int ancestors, int subdirectoryIndent, const QIcon &open,
                 const QIcon &closed)
    {
        beginResetModel();
        replaceNames(std::move(names));
        ancestors_ = ancestors;
        subdirectoryIndent_ = subdirectoryIndent;
        open_ = open;
        closed_ = closed;
        endResetModel();
    }

protected:
    QVariant extraData(int row, int role) const override
    {
        const bool ancestor = row < ancestors_;
        if (role == Qt::DecorationRole)
            return ancestor ? open_ : closed_;
        if (role == RowDelegate::kIndentRole)
            return ancestor ? 2 + 4 * row : subdirectoryIndent_;
        return {};
    }

private:
    int ancestors_ = 0;
    int subdirectoryIndent_ = 0;
    QIcon open_, closed_;
};

DirectoryListBox::DirectoryListBox(QWidget *parent)
    : NameList(new Rows, 16, parent), directory_(paths::currentDirectory())
{
}

DirectoryListBox::Rows *DirectoryListBox::directoryRows() const
{
    return static_cast<Rows *>(rows());
}

std::string DirectoryListBox::rowPath(int row) const
{
    if (row < 0 || row >= count())
        return {};
    if (row < static_cast<int>(ancestry_.size()))
        return ancestry_[static_cast<std::size_t>(row)];
    return paths::join(directory_, rows()->names()[static_cast<std::size_t>(row)]);
}

void DirectoryListBox::rebuildRows(std::vector<std::string> subdirectories)
{
    ancestry_ = ancestry(directory_);
    const int separators = static_cast<int>(std::count(directory_.begin(), directory_.end(), '/'));
    std::vector<std::string> names;
    names.reserve(ancestry_.size() + subdirectories.size());
    for (std::size_t i = 0; i < ancestry_.size(); ++i)
        names.push_back(i == 0 ? ancestry_[i] : paths::fileNamePart(ancestry_[i]));
    std::move(subdirectories.begin(), subdirectories.end(), std::back_inserter(names));
    directoryRows()->setRows(std::move(names), static_cast<int>(ancestry_.size()), 6 + 4 * separators,
                             style()->standardIcon(QStyle::SP_DirOpenIcon),
                             style()->standardIcon(QStyle::SP_DirClosedIcon));
    setCurrentRow(static_cast<int>(ancestry_.size()) - 1);
}

void DirectoryListBox::changeDirectory(const std::string &path)
{
    if (path.empty() || path == directory_)
        return;
    const std::string previous = directory_;
    const std::string entered = enterDirectory(path);
    // A link can lead back to the current directory: that is no change either.
    if (entered == previous)
        return;
    // One read serves the rows here and both file lists, which follow within this call.
    std::optional<nav::SharedRead> read;
    try {
        read.emplace(entered);
    } catch (...) {
        enterDirectory(previous);
        throw;
    }
    directory_ = entered;
    rebuildRows(read->entries().subdirectories);
    built_ = true;
    if (linked_)
        linked_->setDirectory(directory_);
    emit directoryChanged();
}

void DirectoryListBox::openRow(int row)
{
    changeDirectory(rowPath(row));
}

void DirectoryListBox::showEvent(QShowEvent *event)
{
    NameList::showEvent(event);
    if (built_)
        return;
    built_ = true;
    runGuarded([this] { rebuildRows(nav::listSubdirectories(directory_)); });
}

void DirectoryListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int target = rowAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || target < 0)
        return;
    runGuarded([this, target] { openRow(target); });
}

void DirectoryListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const int target = currentRow();
        runGuarded([this, target] { openRow(target); });
        return;
    }
    NameList::keyPressEvent(event);
}

} // namespace vardo
