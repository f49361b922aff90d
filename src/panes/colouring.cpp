#include "panes/colouring.h"

#include "doc/qtext.h"
#include "panes/colourscheme.h"
#include "panes/textpane.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <QThreadPool>
#include <algorithm>

namespace vardo {

namespace {

using qc::LineState;

// A line's user state holds the comment state it starts in and the generation of colours it
// was last coloured with (0: none). A new line's -1 reads as code, never coloured: the states
// of a loaded text then need storing only for the lines inside comments.
int packed(LineState state, int generation)
{
    return generation << 2 | static_cast<int>(state);
}

LineState stateOf(int userState)
{
    return userState < 0 ? LineState::Code : static_cast<LineState>(userState & 3);
}

int generationOf(int userState)
{
    return userState < 0 ? 0 : userState >> 2;
}

// Beyond this many changed lines, the colours of all lines are renewed when shown instead of
// being forgotten line by line.
constexpr int kLinesForgottenOneByOne = 256;

QTextCharFormat formatOf(qc::TokenKind kind)
{
    QTextCharFormat format;
    if (const QColor colour = colours::ofToken(kind); colour.isValid())
        format.setForeground(colour);
    return format;
}

} // namespace

QuakeCColouring::QuakeCColouring(TextPane *pane) : QObject(pane), pane_(pane), learner_(new QThreadPool(this))
{
    setObjectName(QStringLiteral("quakecolouring"));
    learner_->setMaxThreadCount(1);
    blockCount_ = pane->document()->blockCount();
    pane->viewport()->installEventFilter(this);
    watchBuffer();
    connect(pane, &TextPane::bufferReplaced, this, [this] {
        watchBuffer();
        // As if every line of the old buffer were removed.
        noteChange(0, 0, 0);
    });
}

void QuakeCColouring::watchBuffer()
{
    disconnect(watching_);
    watching_ = connect(pane_->document(), &QTextDocument::contentsChange, this, &QuakeCColouring::noteChange);
}

QuakeCColouring::~QuakeCColouring()
{
    learner_->clear();
    learner_->waitForDone();
}

QuakeCColouring *QuakeCColouring::of(const QPlainTextEdit *pane)
{
    return pane->findChild<QuakeCColouring *>(QString(), Qt::FindDirectChildrenOnly);
}

void QuakeCColouring::setOn(bool on)
{
    if (on == on_)
        return;
    on_ = on;
    if (!on)
        forgetColours();
    pane_->viewport()->update();
}

bool QuakeCColouring::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && on_)
        colourLinesInView(static_cast<QPaintEvent *>(event)->region());
    return QObject::eventFilter(watched, event);
}

void QuakeCColouring::colourLinesInView(const QRegion &painting)
{
    const int lineHeight = std::max(1, pane_->fontMetrics().lineSpacing());
    int linesLeft = pane_->viewport()->height() / lineHeight + 2;
    QTextBlock block = pane_->firstLineInView();
    for (int number = block.blockNumber(); block.isValid() && linesLeft > 0; block = block.next(), ++number) {
        if (!block.isVisible())
            continue;
        // Working out the state first marks a line whose state changed for colouring.
        const LineState start = stateBefore(block, number);
        if (generationOf(block.userState()) != generation_)
            colour(block, start, painting);
        linesLeft -= std::max(1, block.lineCount());
    }
}

void QuakeCColouring::colour(QTextBlock block, LineState start, const QRegion &painting)
{
    if (!setColours(block, start))
        return;
    // Lays the line out again with its colours and has it painted, unless the paint under way
    // paints it anyway. The document would otherwise hold the line as changed and report it
    // with the next edit.
    QAbstractTextDocumentLayout *lines = pane_->document()->documentLayout();
    const QRect shown(0, pane_->cursorRect(QTextCursor(block)).top(), pane_->viewport()->width(),
                      static_cast<int>(lines->blockBoundingRect(block).height()));
    const QSignalBlocker quiet(painting.contains(shown) ? lines : nullptr);
    pane_->document()->markContentsDirty(block.position(), block.length());
}

void QuakeCColouring::paintFrom(const QTextBlock &block)
{
    QWidget *view = pane_->viewport();
    const int top = std::max(0, pane_->cursorRect(QTextCursor(block)).top());
    if (top < view->height())
        view->update(0, top, view->width(), view->height() - top);
}

bool QuakeCColouring::setColours(QTextBlock block, LineState start)
{
    static const std::array<QTextCharFormat, 12> formats = [] {
        std::array<QTextCharFormat, 12> all;
        for (std::size_t kind = 0; kind < all.size(); ++kind)
            all[kind] = formatOf(static_cast<qc::TokenKind>(kind));
        return all;
    }();
    const QString text = block.text();
    QList<QTextLayout::FormatRange> ranges;
    if (text.size() <= kLongestColouredLine) {
        tokens_.clear();
        qc::lexLine(u16view(text), start, tokens_);
        for (const qc::Token &token : tokens_) {
            const QTextCharFormat &format = formats[static_cast<std::size_t>(token.kind)];
            if (format.hasProperty(QTextFormat::ForegroundBrush))
                ranges.append({static_cast<int>(token.begin), static_cast<int>(token.length), format});
        }
    }
    block.setUserState(packed(start, generation_));
    QTextLayout *layout = block.layout();
    if (ranges.isEmpty() && layout->formats().isEmpty())
        return false;
    layout->setFormats(ranges);
    return true;
}

LineState QuakeCColouring::stateAfter(const QTextBlock &block, LineState start)
{
    const QString text = block.text();
    // Only "/*" and "*/" change the state.
    if (!text.contains(u'/'))
        return start;
    tokens_.clear();
    return qc::lexLine(u16view(text), start, tokens_);
}

LineState QuakeCColouring::stateBefore(const QTextBlock &block)
{
    return stateBefore(block, block.blockNumber());
}

LineState QuakeCColouring::stateBefore(const QTextBlock &block, int target)
{
    if (target <= 0)
        return LineState::Code;
    if (target < rightUpTo_)
        return stateOf(block.userState());
    QTextDocument *document = pane_->document();
    QTextBlock line = document->findBlockByNumber(rightUpTo_ - 1);
    LineState state = rightUpTo_ == 1 ? LineState::Code : stateOf(line.userState());
    while (rightUpTo_ <= target) {
        state = stateAfter(line, state);
        QTextBlock next = line.next();
        const int number = rightUpTo_;
        const int stored = next.userState();
        if (stateOf(stored) == state) {
            // From an unchanged line on that starts as before, every stored state is right.
            if (number >= changedUpTo_ && number < storedUpTo_) {
                rightUpTo_ = storedUpTo_;
                line = document->findBlockByNumber(rightUpTo_ - 1);
                state = stateOf(line.userState());
                continue;
            }
        } else {
            next.setUserState(packed(state, 0));
        }
        rightUpTo_ = number + 1;
        storedUpTo_ = std::max(storedUpTo_, rightUpTo_);
        line = next;
    }
    return stateOf(block.userState());
}

void QuakeCColouring::learnStates(std::shared_ptr<const std::u16string> lines)
{
    ++learning_;
    learner_->start([this, edits = edits_, lines = std::move(lines)]() mutable {
        std::vector<qc::CommentedLines> runs = qc::linesInComments(*lines);
        lines.reset();
        QMetaObject::invokeMethod(
            this, [this, edits, runs = std::move(runs)] { takeStates(edits, runs); }, Qt::QueuedConnection);
    });
}

void QuakeCColouring::takeStates(int edits, const std::vector<qc::CommentedLines> &runs)
{
    --learning_;
    if (edits != edits_)
        return;
    QTextDocument *document = pane_->document();
    for (const qc::CommentedLines &run : runs) {
        const int end = static_cast<int>(run.first + run.count);
        if (end <= rightUpTo_)
            continue;
        int line = std::max(rightUpTo_, static_cast<int>(run.first));
        for (QTextBlock block = document->findBlockByNumber(line); block.isValid() && line < end;
             block = block.next(), ++line)
            block.setUserState(packed(run.state, generationOf(block.userState())));
    }
    rightUpTo_ = storedUpTo_ = blockCount_;
}

void QuakeCColouring::noteChange(int from, int, int added)
{
    ++edits_;
    QTextDocument *document = pane_->document();
    const int count = document->blockCount();
    const int delta = count - blockCount_;
    blockCount_ = count;
    const int first = std::max(0, document->findBlock(from).blockNumber());
    int last = document->findBlock(from + added).blockNumber();
    if (last < first)
        last = count - 1;
    // A line changed within itself is coloured at once, so that it is laid out once, with its
    // colours, as the edit ends.
    const QTextBlock changed = document->findBlockByNumber(first);
    const bool colouredAtOnce = first == last && delta == 0 && first < rightUpTo_ && on_ &&
                                generationOf(changed.userState()) == generation_;
    if (colouredAtOnce && colourAtOnce(changed, first))
        return;
    const int lastBefore = last - delta;
    // Lines after the change moved with their stored states.
    if (storedUpTo_ > lastBefore + 1)
        storedUpTo_ += delta;
    else if (storedUpTo_ > first)
        storedUpTo_ = last + 1;
    // Changes behind the lines already worked out again no longer matter.
    if (changedUpTo_ <= rightUpTo_)
        changedUpTo_ = last + 1;
    else
        changedUpTo_ = std::max(changedUpTo_ > lastBefore + 1 ? changedUpTo_ + delta : changedUpTo_, last + 1);
    rightUpTo_ = std::max(1, std::min(rightUpTo_, first));

    if (last - first >= kLinesForgottenOneByOne || -delta >= kLinesForgottenOneByOne) {
        // New lines read as code until worked out: after a load's large changes no stored
        // state below is trusted.
        storedUpTo_ = rightUpTo_;
        ++generation_;
        return;
    }
    if (colouredAtOnce)
        return;
    for (QTextBlock block = changed; block.isValid() && block.blockNumber() <= last; block = block.next()) {
        const int userState = block.userState();
        if (generationOf(userState) == generation_) {
            block.layout()->setFormats({});
            block.setUserState(packed(stateOf(userState), 0));
        }
    }
}

bool QuakeCColouring::colourAtOnce(const QTextBlock &block, int number)
{
    const LineState start = stateOf(block.userState());
    setColours(block, start);
    const QTextBlock next = block.next();
    if (!next.isValid())
        return true;
    if (number + 1 >= rightUpTo_)
        return false;
    if (stateOf(next.userState()) == stateAfter(block, start))
        return true;
    // A comment opened or closed recolours the lines below: they are painted with this one.
    paintFrom(block);
    return false;
}

void QuakeCColouring::forgetColours()
{
    for (QTextBlock block = pane_->document()->begin(); block.isValid(); block = block.next()) {
        const int userState = block.userState();
        if (generationOf(userState) == generation_)
            block.layout()->setFormats({});
    }
    ++generation_;
}

bool isQuakeCFileName(const std::string &path)
{
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return false;
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".qc" || extension == ".qh" || extension == ".src";
}

} // namespace vardo
