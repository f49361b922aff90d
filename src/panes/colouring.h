#pragma once

#include "core/qc/lexer.h"

#include <QObject>
#include <QTextBlock>
#include <memory>
#include <string>
#include <vector>

class QPlainTextEdit;
class QThreadPool;

namespace vardo {

class TextPane;

// Colours the text of a pane as QuakeC, only where it is shown: the lines in view are coloured
// just before they are painted, so loading a large file costs nothing here. Each line keeps
// the comment state it starts in; after an edit those states are worked out again only as far
// as a line is shown, and not at all past the point where they agree with the old ones again.
// The states of a loaded text are found off the window's thread, so that a jump far into a
// large file does not wait for every line above it.
class QuakeCColouring : public QObject {
    Q_OBJECT

public:
    // Lines longer than this are shown in the pane's own colour: colours would make their
    // layout slower, and no QuakeC source has them.
    static constexpr int kLongestColouredLine = 4096;

    // Colours the pane while it lives (it is a child of the pane) and is on.
    explicit QuakeCColouring(TextPane *pane);
    ~QuakeCColouring() override;
    // The colouring of a pane, or null.
    static QuakeCColouring *of(const QPlainTextEdit *pane);

    void setOn(bool on);
    // The comment state that a line starts in.
    qc::LineState stateBefore(const QTextBlock &block);
    // The pane was just filled with `lines` ('\n' between them): their comment states are
    // found in the background and taken if the text is still the same when they are found.
    void learnStates(std::shared_ptr<const std::u16string> lines);
    // States are being found for the text.
    bool learning() const { return learning_ > 0; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Colours the lines in view that need it; `painting` is what the paint under way covers.
    void colourLinesInView(const QRegion &painting);
    void colour(QTextBlock block, qc::LineState start, const QRegion &painting);
    // Has the view painted from a line down.
    void paintFrom(const QTextBlock &block);
    // Gives a line its colours; false when it has none and had none.
    bool setColours(QTextBlock block, qc::LineState start);
    void noteChange(int from, int removed, int added);
    void watchBuffer();
    // Colours a line changed within itself, numbered `number`; true when the lines below start
    // as before, so that their stored states stay right.
    bool colourAtOnce(const QTextBlock &block, int number);
    void forgetColours();
    qc::LineState stateBefore(const QTextBlock &block, int number);
    qc::LineState stateAfter(const QTextBlock &block, qc::LineState start);
    void takeStates(int edits, const std::vector<qc::CommentedLines> &runs);

    TextPane *pane_;
    bool on_ = true;
    // Lines coloured with an older number are coloured again when shown.
    int generation_ = 1;
    // The lines before `rightUpTo_` have the right start state. Those from there up to
    // `storedUpTo_` keep states from before an edit, which are right again from the first line
    // at or after `changedUpTo_` whose newly found state equals its stored one.
    int rightUpTo_ = 1;
    int storedUpTo_ = 1;
    int changedUpTo_ = 0;
    int blockCount_ = 1;
    std::vector<qc::Token> tokens_;
    // Counts the edits, so that states found for an older text are dropped.
    int edits_ = 0;
    int learning_ = 0;
    QThreadPool *learner_;
    QMetaObject::Connection watching_;
};

// Whether a file name is that of QuakeC text: it ends in ".qc", ".qh" or ".src", in any case.
bool isQuakeCFileName(const std::string &path);

} // namespace vardo
