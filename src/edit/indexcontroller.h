#pragma once

#include <QObject>
#include <QTimer>

namespace vardo {

class IndexComboBox;
class TextPane;

// The drop-down index of the function definitions in the editor's text: rebuilt when the user
// enters it or a new text is loaded, and a choice selects that definition in the editor. While
// the caret moves, the index names the definition it is under as its placeholder.
class IndexController : public QObject {
    Q_OBJECT

public:
    IndexController(IndexComboBox *index, TextPane *editor, QObject *parent = nullptr);

    void rebuild();
    // Selects the chosen entry's first occurrence in the editor and places it in view.
    void jumpToChoice();

private:
    // How far above the caret its definition is looked for.
    static constexpr int kCaretSearchLines = 5000;

    void showCaretDefinition();

    IndexComboBox *index_;
    TextPane *editor_;
    QTimer caretPause_;
};

} // namespace vardo
