#include "edit/indexcombobox.h"

#include "base/errorbox.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace vardo {

IndexComboBox::IndexComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setMaxVisibleItems(32);
    connect(this, &QComboBox::activated, this, [this] {
        runGuarded([this] {
            if (onClick)
                onClick();
            if (onChange)
                onChange();
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
    if (fromAnotherControl && onEnter)
        runGuarded(onEnter);
}

void IndexComboBox::keyPressEvent(QKeyEvent *event)
{
    if (onKeyPress)
        runGuarded([this, event] { onKeyPress(event); });
    QComboBox::keyPressEvent(event);
}

} // namespace vardo
