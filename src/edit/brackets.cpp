#include "edit/brackets.h"

#include "doc/qtext.h"
#include "panes/colouring.h"
#include "panes/colourscheme.h"
#include "panes/textpane.h"

#include <ranges>
#include <vector>

namespace vardo {

namespace {

using qc::Token;

// The partner of a bracket character, and whether the bracket opens; null when it is none.
struct Bracket {
    QChar partner;
    bool opens = false;
};

Bracket bracketOf(QChar c)
{
    switch (c.unicode()) {
    case u'(':
        return {u')', true};
    case u'[':
        return {u']', true};
    case u'{':
        return {u'}', true};
    case u')':
        return {u'(', false};
    case u']':
        return {u'[', false};
    case u'}':
        return {u'{', false};
    default:
        return {};
    }
}

// The code brackets of a line, in order, as columns.
class LineBrackets {
public:
    std::vector<int> of(const QString &text, qc::LineState start)
    {
        tokens_.clear();
        qc::lexLine(u16view(text), start, tokens_);
        std::vector<int> columns;
        for (const Token &token : tokens_)
            if (token.kind == qc::TokenKind::Punctuation && !bracketOf(text[token.begin]).partner.isNull())
                columns.push_back(static_cast<int>(token.begin));
        return columns;
    }

private:
    std::vector<Token> tokens_;
};

// Walks from a bracket towards its partner, counting brackets of its own kind; the brackets of
// the bracket's own line are known already.
std::optional<int> partnerOf(QuakeCColouring &colouring, QTextBlock block, int column, std::vector<int> columns,
                             LineBrackets &lines)
{
    const QChar own = block.text()[column];
    const Bracket bracket = bracketOf(own);
    int depth = 0;
    for (int seen = 0; block.isValid() && seen < kBracketSearchLines; ++seen) {
        const QString text = block.text();
        if (seen > 0)
            columns = lines.of(text, colouring.stateBefore(block));
        const auto visit = [&](int at) {
            if (seen == 0 && (bracket.opens ? at <= column : at >= column))
                return false;
            if (text[at] == own)
                ++depth;
            else if (text[at] == bracket.partner && depth-- == 0)
                return true;
            return false;
        };
        if (bracket.opens) {
            for (const int at : columns)
                if (visit(at))
                    return block.position() + at;
            block = block.next();
        } else {
            for (const int at : columns | std::views::reverse)
                if (visit(at))
                    return block.position() + at;
            block = block.previous();
        }
    }
    if (!block.isValid())
        return -1;
    return std::nullopt;
}

QTextEdit::ExtraSelection markAt(TextPane *pane, int position, const QColor &colour)
{
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(pane->document());
    mark.cursor.setPosition(position);
    mark.cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    mark.format.setBackground(colour);
    return mark;
}

} // namespace

std::optional<BracketPair> matchBracket(QuakeCColouring &colouring, const QTextBlock &block, int column)
{
    // Most carets have no bracket beside them: those never ask for the line's comment state,
    // which far down a file not yet shown would cost a walk over every line above.
    const QString text = block.text();
    const auto isBracket = [&](int at) { return at >= 0 && at < text.size() && !bracketOf(text[at]).partner.isNull(); };
    if (!isBracket(column - 1) && !isBracket(column))
        return std::nullopt;
    LineBrackets lines;
    std::vector<int> columns = lines.of(text, colouring.stateBefore(block));
    const auto at = [&](int wanted) { return std::ranges::find(columns, wanted) != columns.end(); };
    const int bracket = at(column - 1) ? column - 1 : at(column) ? column : -1;
    if (bracket < 0)
        return std::nullopt;
    const std::optional<int> match = partnerOf(colouring, block, bracket, std::move(columns), lines);
    if (!match)
        return std::nullopt;
    return BracketPair{block.position() + bracket, *match};
}

BracketMarks::BracketMarks(TextPane *editor, QObject *parent) : QObject(parent), editor_(editor)
{
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, &BracketMarks::markAtCaret);
    connect(editor->doc(), &Document::replaced, this, &BracketMarks::markAtCaret);
}

void BracketMarks::markAtCaret()
{
    // A caret that rides along with a load's new text would have its bracket matched against
    // lines whose colours are not known yet, each time walking the lines above it.
    if (editor_->doc()->isFilling())
        return;
    // The colouring comes after the marks; once found, it is kept.
    if (!colouring_)
        colouring_ = QuakeCColouring::of(editor_);
    const QTextCursor caret = editor_->textCursor();
    const std::optional<BracketPair> pair =
        colouring_ ? matchBracket(*colouring_, caret.block(), caret.positionInBlock()) : std::nullopt;
    if (!pair && !marked_)
        return;
    QList<QTextEdit::ExtraSelection> marks;
    if (pair && pair->match >= 0)
        marks << markAt(editor_, pair->bracket, colours::bracketMark()) << markAt(editor_, pair->match, colours::bracketMark());
    else if (pair)
        marks << markAt(editor_, pair->bracket, colours::unmatchedBracketMark());
    marked_ = !marks.isEmpty();
    editor_->setMarks(TextPane::MarkOwner::Brackets, std::move(marks));
}

} // namespace vardo
