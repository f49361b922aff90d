#include "lists/indexcombobox.h"

#include "lists/rowdelegate.h"
#include "ui/errorbox.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QListView>
#include <QProxyStyle>
#include <QStylePainter>

namespace vardo {

namespace {

// Styles that open a choose-only drop-down over the box show every row at once, taller than
// the screen for a long index; this keeps it a list of limited height with a scroll bar.
class ListDropDownStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returned) const override
    {
        return hint == SH_ComboBox_Popup ? 0 : QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

IndexComboBox::IndexComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    auto *style = new ListDropDownStyle;
    style->setParent(this);
    setStyle(style);
    setMaxVisibleItems(kShownRows);
    setItemDelegate(new RowDelegate(kItemHeight, this));
    // Rows of one height: the drop-down of a large file's index need not measure every row.
    qobject_cast<QListView *>(view())->setUniformItemSizes(true);
    // Ahead of the drop-down's own handling, which would search by the start of the entry.
    view()->installEventFilter(this);
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

void IndexComboBox::showPopup()
{
    setFilter({});
    QComboBox::showPopup();
}

void IndexComboBox::hidePopup()
{
    QComboBox::hidePopup();
    setFilter({});
}

bool IndexComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != view() || event->type() != QEvent::KeyPress)
        return QComboBox::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const QString typed = key->text();
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (key->key() == Qt::Key_Backspace && !filter_.isEmpty())
        setFilter(filter_.chopped(1));
    else if (plain && typed.size() == 1 && typed[0].isPrint() && !typed[0].isSpace())
        setFilter(filter_ + typed);
    else
        return QComboBox::eventFilter(watched, event);
    return true;
}

// Hides the rows that do not match, keeping the current row on one that does.
void IndexComboBox::setFilter(const QString &filter)
{
    filter_ = filter;
    auto *list = qobject_cast<QListView *>(view());
    int first = -1;
    for (int row = 0; row < count(); ++row) {
        const bool shown = filter.isEmpty() || itemData(row, kNameRole).toString().contains(filter, Qt::CaseInsensitive);
        list->setRowHidden(row, !shown);
        if (shown && first < 0)
            first = row;
    }
    // With no row left, nothing is current: Enter must not choose a hidden row.
    const QModelIndex current = list->currentIndex();
    if (first < 0)
        list->setCurrentIndex({});
    else if (!current.isValid() || list->isRowHidden(current.row()))
        list->setCurrentIndex(model()->index(first, modelColumn()));
    update();
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
    // The filter while it is typed, else the placeholder in its own colour when nothing is chosen.
    if (!filter_.isEmpty()) {
        option.currentText = filter_;
    } else if (currentIndex() < 0 && !placeholderText().isEmpty()) {
        option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
        option.currentText = placeholderText();
    }
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void IndexComboBox::keyPressEvent(QKeyEvent *event)
{
    runGuarded([this, event] { emit keyPressed(event->key()); });
    QComboBox::keyPressEvent(event);
}

} // namespace vardo
