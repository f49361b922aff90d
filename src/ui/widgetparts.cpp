#include "ui/widgetparts.h"

#include <QHeaderView>
#include <QStandardItemModel>

namespace vardo {

QFrame *panel(const char *name, QWidget *parent)
{
    auto *frame = named<QFrame>(name, parent);
    frame->setFrameShape(QFrame::NoFrame);
    return frame;
}

QHeaderView *headerStrip(const char *name, QWidget *parent)
{
    auto *header = named<QHeaderView>(name, Qt::Horizontal, parent);
    header->setModel(new QStandardItemModel(0, 0, header));
    header->setFixedHeight(22);
    return header;
}

void chainTabOrder(const QList<QWidget *> &chain)
{
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
}

void showHint(QWidget *widget, const char *hint)
{
    widget->setToolTip(QString::fromUtf8(hint));
}

} // namespace vardo
