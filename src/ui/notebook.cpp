#include "ui/notebook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTabBar>

namespace vardo {

namespace {

class WrappingTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        int step = 0;
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up: step = -1; break;
        case Qt::Key_Right:
        case Qt::Key_Down: step = 1; break;
        default: QTabBar::keyPressEvent(event); return;
        }
        if (count() > 0)
            setCurrentIndex((currentIndex() + step + count()) % count());
    }
};

// Lays a notebook's pages out as the design measures them: four pixels in from the left, right
// and bottom edges, and 24 pixels down from the top, below the tabs.
class PageInsetStyle : public QProxyStyle {
public:
    QRect subElementRect(SubElement element, const QStyleOption *option, const QWidget *widget) const override
    {
        if (element == SE_TabWidgetTabContents)
            return option->rect.adjusted(4, 24, -4, -4);
        return QProxyStyle::subElementRect(element, option, widget);
    }
};

} // namespace

QChar accessKeyOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != u'&')
            continue;
        if (caption.at(i + 1) != u'&')
            return caption.at(i + 1);
        ++i;
    }
    return {};
}

TabbedNotebook::TabbedNotebook(QWidget *parent) : QTabWidget(parent)
{
    setTabBar(new WrappingTabBar(this));
    auto *style = new PageInsetStyle;
    style->setParent(this);
    setStyle(style);
}

int TabbedNotebook::addPage(QWidget *page, const QString &caption)
{
    page->setAutoFillBackground(true);
    page->setBackgroundRole(QPalette::Button);
    const int index = addTab(page, caption);
    accessKeys_.insert(index, accessKeyOf(caption));
    return index;
}

int TabbedNotebook::pageWithAccessKey(QChar key) const
{
    for (int i = 0; i < accessKeys_.size(); ++i) {
        const QChar own = accessKeys_.at(i);
        if (!own.isNull() && own.toLower() == key.toLower())
            return i;
    }
    return -1;
}

bool selectPageByAccessKey(QEvent *event, const QWidget *window, std::initializer_list<TabbedNotebook *> notebooks)
{
    auto *key = static_cast<QKeyEvent *>(event);
    auto *target = qobject_cast<QWidget *>(QApplication::focusObject());
    if (key->modifiers() != Qt::AltModifier || key->text().isEmpty() || !target || target->window() != window)
        return false;
    const QChar letter = key->text().at(0);
    for (TabbedNotebook *notebook : notebooks) {
        const int page = notebook->pageWithAccessKey(letter);
        if (page < 0 || !notebook->isVisible())
            continue;
        if (event->type() == QEvent::KeyPress)
            notebook->setCurrentIndex(page);
        event->accept();
        return true;
    }
    return false;
}

} // namespace vardo
