#pragma once

#include "core/text/textmodel.h"
#include "find/textsnapshot.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QToolButton;

namespace vardo {

class TextPane;

// The window's one find bar, under the notebook: finds in the pane in front and, where that pane
// is editable, replaces. Every match in view is marked while the bar is open.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);

    // Keeps the marks of a pane up to date as it scrolls and changes.
    void watch(TextPane *pane);
    // The pane the bar works on: the one in front, or null.
    void setFrontPane(TextPane *pane);

    // Opens the bar with the selected text as a start; with replace, also the replace field.
    void openFind();
    void openReplace();
    void close();
    // Selects the next (previous) match, wrapping round at the end (start) with a note.
    void findNext();
    void findPrevious();
    // Replaces the selected match and selects the next one.
    void replace();
    // Replaces every match as one step of undo; returns how many.
    int replaceAll();

    QLineEdit *findField;
    QLineEdit *replaceField;
    QCheckBox *matchCase;
    QCheckBox *wholeWord;
    QToolButton *nextButton;
    QToolButton *previousButton;
    QToolButton *replaceButton;
    QToolButton *replaceAllButton;
    QToolButton *closeButton;
    QLabel *note;

private:
    void open(bool withReplace);
    void find(bool forward);
    text::TextSearch search() const;
    void select(TextPane *pane, std::size_t position);
    void showReplace(bool shown);
    void markMatchesInView();
    void clearMarks(TextPane *pane);

    QGridLayout *grid_;
    QLabel *replaceLabel_;
    bool replaceWanted_ = false;
    QPointer<TextPane> front_;
    QPointer<TextPane> marked_;
    // The text of the document searched last: a large file is copied once, not at every F3.
    TextSnapshot snapshot_;
};

} // namespace vardo
