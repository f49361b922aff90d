#include "lists/namelist.h"

#include "doc/qtext.h"
#include "lists/rowdelegate.h"

#include <algorithm>
#include <cctype>

namespace vardo {

void NameListModel::setNames(std::vector<std::string> names)
{
    beginResetModel();
    replaceNames(std::move(names));
    endResetModel();
}

int NameListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(names_.size());
}

QVariant NameListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return displayText(names_[static_cast<std::size_t>(index.row())]);
    return extraData(index.row(), role);
}

namespace {

bool isAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Whether a name starts with a lower-case ASCII prefix, in any case; a name with other bytes
// there is compared as the display text it is shown as.
bool startsWithIgnoringCase(const std::string &name, const std::string &prefix, const QString &typed)
{
    if (name.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte >= 0x80)
            return displayText(name).startsWith(typed, Qt::CaseInsensitive);
        if (std::tolower(byte) != prefix[i])
            return false;
    }
    return true;
}

} // namespace

QModelIndexList NameListModel::match(const QModelIndex &start, int role, const QVariant &value, int hits,
                                     Qt::MatchFlags flags) const
{
    const QString typed = value.toString();
    if (role != Qt::DisplayRole || hits != 1 || flags != (Qt::MatchStartsWith | Qt::MatchWrap) ||
        !start.isValid() || typed.isEmpty() || !isAscii(typed))
        return QAbstractListModel::match(start, role, value, hits, flags);
    const std::string prefix = typed.toLower().toStdString();
    const int rows = rowCount();
    for (int i = 0; i < rows; ++i) {
        const int row = (start.row() + i) % rows;
        if (startsWithIgnoringCase(names_[static_cast<std::size_t>(row)], prefix, typed))
            return {index(row)};
    }
    return {};
}

QVariant NameListModel::extraData(int, int) const
{
    return {};
}

NameList::NameList(NameListModel *rows, int rowHeight, QWidget *parent) : QListView(parent), rows_(rows)
{
    rows_->setParent(this);
    setModel(rows_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new RowDelegate(rowHeight, this));
}

int NameList::count() const
{
    return rows_->rowCount();
}

int NameList::currentRow() const
{
    return currentIndex().row();
}

void NameList::setCurrentRow(int row)
{
    selectionModel()->setCurrentIndex(rows_->index(row), QItemSelectionModel::ClearAndSelect);
}

int NameList::rowAt(const QPoint &point) const
{
    return indexAt(point).row();
}

} // namespace vardo
