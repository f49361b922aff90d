#pragma once

#include <QStyledItemDelegate>

namespace vardo {

// Draws list rows at a fixed height, each indented by the pixels its item carries in
// kIndentRole (none when it carries nothing).
class RowDelegate : public QStyledItemDelegate {
public:
    static constexpr int kIndentRole = Qt::UserRole + 1;

    RowDelegate(int rowHeight, QObject *parent) : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + index.data(kIndentRole).toInt());
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
    }

private:
    int rowHeight_;
};

} // namespace vardo
