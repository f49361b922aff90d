#include "lists/rowdelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

namespace vardo {

QStyleOptionViewItem RowDelegate::indented(const QStyleOptionViewItem &option, const QModelIndex &index)
{
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + index.data(kIndentRole).toInt());
    return shifted;
}

void RowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, indented(option, index), index);
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight_};
}

// Measured as the style draws it: the text's part of the row that is in view, less the style's
// text margins.
bool RowDelegate::isTextCut(const QStyleOptionViewItem &option, const QModelIndex &index, const QRect &inView) const
{
    QStyleOptionViewItem shown = indented(option, index);
    initStyleOption(&shown, index);
    const QWidget *widget = option.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &shown, widget).intersected(inView);
    return shown.fontMetrics.horizontalAdvance(shown.text) > text.width() - 2 * margin;
}

bool RowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                            const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip && index.isValid() && isTextCut(option, index, view->viewport()->rect())) {
        QToolTip::showText(event->globalPos(), index.data().toString(), view->viewport(), option.rect);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace vardo
