#pragma once

#include <QStyledItemDelegate>

namespace vardo {

// Draws list rows at a fixed height, each indented by the pixels its item carries in
// kIndentRole (none when it carries nothing). A row whose text is cut shows the whole text as
// its tooltip; other rows leave the tooltip to the item or the list.
class RowDelegate : public QStyledItemDelegate {
public:
    static constexpr int kIndentRole = Qt::UserRole + 1;

    RowDelegate(int rowHeight, QObject *parent) : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // Whether the row's text is cut short, by the style or by the edge of `inView` (the part of
    // the list in view).
    bool isTextCut(const QStyleOptionViewItem &option, const QModelIndex &index, const QRect &inView) const;

private:
    static QStyleOptionViewItem indented(const QStyleOptionViewItem &option, const QModelIndex &index);

    int rowHeight_;
};

} // namespace vardo
