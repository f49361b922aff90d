#include "nav/namelist.h"

#include "base/qtext.h"
#include "nav/rowdelegate.h"

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
