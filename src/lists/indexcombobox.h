#pragma once

#include <QComboBox>

namespace vardo {

// The choose-only drop-down of the function index. A choice (a click in the drop-down or an
// arrow key) raises the click event and then the change event; entering it from another
// control raises the enter event; every key press raises the key-press event first. It is drawn
// flat, and its drop-down rows are 12 pixels high, at most kShownRows at a time with a scroll
// bar. Typing in the open drop-down keeps the rows whose kNameRole contains what was typed.
class IndexComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kItemHeight = 12;
    static constexpr int kShownRows = 20;
    static constexpr int kNameRole = Qt::UserRole + 2;

    explicit IndexComboBox(QWidget *parent = nullptr);

    void showPopup() override;
    void hidePopup() override;
    // What was typed in the open drop-down.
    QString filter() const { return filter_; }

signals:
    // The focus came from another control.
    void entered();
    // A choice: first the click, then the change.
    void entryClicked();
    void entryChanged();
    // Before the drop-down handles the key.
    void keyPressed(int key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setFilter(const QString &filter);

    QString filter_;
};

} // namespace vardo
