#pragma once

#include <QFrame>
#include <QList>
#include <utility>

class QHeaderView;

// The building blocks windows are made of.
namespace vardo {

// A widget that carries its name as its object name.
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
void chainTabOrder(const QList<QWidget *> &chain);
void showHint(QWidget *widget, const char *hint);

} // namespace vardo
