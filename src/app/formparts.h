#pragma once

#include <QFont>
#include <QFrame>
#include <QList>
#include <utility>

class QHeaderView;

// The building blocks the main window is made of.
namespace vardo {

class TextPane;

template <typename Widget, typename... Args>
Widget *named(const char *name, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QFrame *panel(const char *name, QWidget *parent);

// A layout without margins or spacing, as aligned components sit edge to edge.
template <typename Layout>
Layout *tightLayout(QWidget *owner)
{
    auto *layout = new Layout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QHeaderView *headerStrip(const char *name, QWidget *parent);

// A rich edit control sets a tab stop every half inch.
void setRichEditTabStops(TextPane *pane);
// A memo sets a tab stop every eight average character widths of its font.
void setMemoTabStops(TextPane *pane);

// QuakeC is single-byte text in a fixed-pitch face: shaping and kerning only cost time, most of
// all on long lines.
QFont editorFont();

void chainTabOrder(const QList<QWidget *> &chain);
void showHint(QWidget *widget, const char *hint);

} // namespace vardo
