#pragma once

#include <QTabWidget>
#include <initializer_list>

namespace vardo {

// A tabbed notebook. An "&" in a page caption marks its access key; the key a page is added
// with stays its key whatever its tab shows later. While the notebook has the focus, the arrow
// keys move between pages and wrap around at both ends. Pages are drawn in the button face colour.
class TabbedNotebook : public QTabWidget {
    Q_OBJECT

public:
    explicit TabbedNotebook(QWidget *parent = nullptr);

    int addPage(QWidget *page, const QString &caption);
    // The index of the page whose caption has this access key, or -1.
    int pageWithAccessKey(QChar key) const;

private:
    QList<QChar> accessKeys_;
};

// Alt with a caption's access key selects that page of the first visible notebook that has
// it, while the focus is in `window`; a shortcut override is only accepted. True when the key
// was taken.
bool selectPageByAccessKey(QEvent *event, const QWidget *window, std::initializer_list<TabbedNotebook *> notebooks);

// The access key of a caption: the character after a single "&", or a null character.
QChar accessKeyOf(const QString &caption);

} // namespace vardo
