#pragma once

#include <QComboBox>

namespace vardo {

// The choose-only drop-down of the function index. A choice (a click in the drop-down or an
// arrow key) raises the click event and then the change event; entering it from another
// control raises the enter event; every key press raises the key-press event first. It is drawn
// flat, and its drop-down rows are 12 pixels high.
class IndexComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kItemHeight = 12;

    explicit IndexComboBox(QWidget *parent = nullptr);

signals:
    // The focus came from another control.
    void entered();
    // A choice: first the click, then the change.
    void entryClicked();
    void entryChanged();
    // Before the drop-down handles the key.
    void keyPressed(int key);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

} // namespace vardo
