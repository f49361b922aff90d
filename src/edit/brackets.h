#pragma once

#include <QObject>
#include <QPointer>
#include <QTextBlock>
#include <optional>

namespace vardo {

class QuakeCColouring;
class TextPane;

// A bracket and the one that pairs with it, as positions in the pane's document; `match` is -1
// when nothing pairs with it.
struct BracketPair {
    int bracket = -1;
    int match = -1;
};

// The lines looked through for a partner: beyond them a bracket is left unmarked rather than
// called unmatched.
constexpr int kBracketSearchLines = 4000;

// The bracket of code ((), {}, [] outside comments and strings) just before `column` of `block`,
// else just after it, and its partner; nothing when neither is a bracket or the partner lies
// beyond the lines searched. Lines are lexed from the start states the colouring keeps.
std::optional<BracketPair> matchBracket(QuakeCColouring &colouring, const QTextBlock &block, int column);

// Marks the bracket beside the editor's caret and its partner, or a bracket without one in a
// colour of its own.
class BracketMarks : public QObject {
    Q_OBJECT

public:
    BracketMarks(TextPane *editor, QObject *parent = nullptr);

private:
    void markAtCaret();

    TextPane *editor_;
    QPointer<QuakeCColouring> colouring_;
    bool marked_ = false;
};

} // namespace vardo
