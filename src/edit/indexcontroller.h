#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>
#include <string_view>

class QStandardItem;
class QThreadPool;

namespace vardo {

class IndexComboBox;
class TextCopy;
class TextPane;

// The drop-down index of the function definitions in the editor's text: rebuilt when the user
// enters it or a new text is loaded, and a choice selects that definition in the editor. While
// the caret moves, the index names the definition it is under as its placeholder.
class IndexController : public QObject {
    Q_OBJECT

public:
    IndexController(IndexComboBox *index, TextPane *editor, QObject *parent = nullptr);
    ~IndexController() override;

    // A text of one slice of a copy is indexed before this returns; a larger one is copied
    // between turns of the event loop and scanned on a thread of its own, and the index shows
    // its entries when they are ready.
    void rebuild();
    // Selects the chosen entry's first occurrence in the editor and places it in view.
    void jumpToChoice();

signals:
    // The index shows the entries of the text it was last asked to index.
    void rebuilt();

private:
    // How far above the caret its definition is looked for.
    static constexpr int kCaretSearchLines = 5000;

    // Indexes a text, at once when it fits one slice of a copy, else on the scanner's thread;
    // `keep` holds the text until the scan is done with it.
    void index(unsigned rebuild, std::u16string_view text, std::shared_ptr<const void> keep);
    // Shows the rows of a rebuild unless a newer one was asked for since.
    void show(unsigned rebuild, const QList<QStandardItem *> &rows);
    void showCaretDefinition();

    IndexComboBox *index_;
    TextPane *editor_;
    QTimer caretPause_;
    TextCopy *copy_;
    QThreadPool *scanner_;
    // Counts the rebuilds asked for: a scan that a newer one overtook is dropped.
    unsigned rebuilds_ = 0;
};

} // namespace vardo
