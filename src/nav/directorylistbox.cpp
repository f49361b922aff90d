#include "nav/directorylistbox.h"

#include "base/errorbox.h"
#include "base/paths.h"
#include "base/qtext.h"
#include "nav/filelistbox.h"
#include "nav/listing.h"
#include "nav/rowdelegate.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>
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

DirectoryListBox::DirectoryListBox(QWidget *parent)
    : QListWidget(parent), directory_(paths::currentDirectory())
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new RowDelegate(16, this));
}

std::string DirectoryListBox::rowPath(int row) const
{
    if (row < 0 || row >= static_cast<int>(rowPaths_.size()))
        return {};
    return rowPaths_[static_cast<std::size_t>(row)];
}

void DirectoryListBox::rebuildRows(const std::vector<std::string> &subdirectories)
{
    const std::vector<std::string> chain = ancestry(directory_);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const int separators = static_cast<int>(std::count(directory_.begin(), directory_.end(), '/'));

    clear();
    rowPaths_.clear();
    auto addRow = [this](const std::string &path, const std::string &text, const QIcon &icon, int indent) {
        // Filled before it joins the list: an item of the list that is not yet in its rows is
        // looked for among all of them on every change, which makes a large directory slow.
        auto *item = new QListWidgetItem(icon, displayText(text));
        item->setData(RowDelegate::kIndentRole, indent);
        addItem(item);
        rowPaths_.push_back(path);
    };
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const std::string name = i == 0 ? chain[i] : paths::fileNamePart(chain[i]);
        addRow(chain[i], name, openIcon, 2 + 4 * static_cast<int>(i));
    }
    for (const std::string &name : subdirectories)
        addRow(paths::join(directory_, name), name, closedIcon, 6 + 4 * separators);
    setCurrentRow(static_cast<int>(chain.size()) - 1);
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
    if (onChange)
        onChange();
}

void DirectoryListBox::openRow(int row)
{
    changeDirectory(rowPath(row));
}

void DirectoryListBox::showEvent(QShowEvent *event)
{
    QListWidget::showEvent(event);
    if (built_)
        return;
    built_ = true;
    runGuarded([this] { rebuildRows(nav::listSubdirectories(directory_)); });
}

void DirectoryListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListWidgetItem *item = itemAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !item)
        return;
    const int target = row(item);
    runGuarded([this, target] { openRow(target); });
}

void DirectoryListBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const int target = currentRow();
        runGuarded([this, target] { openRow(target); });
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace vardo
