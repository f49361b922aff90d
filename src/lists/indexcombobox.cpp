#include "lists/indexcombobox.h"

#include "lists/rowdelegate.h"
#include "ui/errorbox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QStylePainter>

namespace vardo {

IndexComboBox::IndexComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(32);
    setItemDelegate(new RowDelegate(kItemHeight, this));
    connect(this, &QComboBox::activated, this, [this] {
        runGuarded([this] {
            emit entryClicked();
            emit entryChanged();
        });
    });
}

void IndexComboBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    // The drop-down's own popup hands the focus back when it closes: that is no entering,
    // and a rebuild then would wipe the list under the user's choice.
    const bool fromAnotherControl = event->reason() != Qt::PopupFocusReason &&
                                    event->reason() != Qt::ActiveWindowFocusReason;
    if (fromAnotherControl)
        runGuarded([this] { emit entered(); });
}

// Flat: the face in one colour inside a single line, with no bevel and no gradient.
void IndexComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.fillRect(rect(), palette().button());
    painter.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    QStyleOption arrow(option);
    arrow.rect = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this);
    painter.drawPrimitive(QStyle::PE_IndicatorArrowDown, arrow);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void IndexComboBox::keyPressEvent(QKeyEvent *event)
{
    runGuarded([this, event] { emit keyPressed(event->key()); });
    QComboBox::keyPressEvent(event);
}

} // namespace vardo
