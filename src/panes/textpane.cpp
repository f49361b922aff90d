#include "panes/textpane.h"

#include "core/base/paths.h"
#include "core/files/fileio.h"
#include "doc/qtext.h"
#include "panes/busyload.h"
#include "panes/colouring.h"
#include "panes/linelayout.h"

#include <QApplication>
#include <QHideEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextBlock>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace vardo {

namespace {

// A one-line notice across the top of a pane, in the margin kept free above its text.
class NoticeLine : public QLabel {
public:
    explicit NoticeLine(QAbstractScrollArea *pane) : QLabel(pane)
    {
        setObjectName(QStringLiteral("notice"));
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::ToolTipBase);
        setForegroundRole(QPalette::ToolTipText);
        setContentsMargins(4, 1, 4, 1);
        pane->installEventFilter(this);
    }

    int lineHeight() const { return sizeHint().height(); }

    void place()
    {
        const auto *pane = static_cast<QAbstractScrollArea *>(parentWidget());
        const int frame = pane->frameWidth();
        setGeometry(frame, frame, pane->width() - 2 * frame, lineHeight());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            place();
        return false;
    }
};

} // namespace

TextPane::TextPane(Kind kind, QWidget *parent)
    : QPlainTextEdit(parent), kind_(kind),
      doc_(new Document(lineLaidOutDocument(this), kind == Kind::RichEdit ? "Failed to Save Stream" : "Stream write error", this))
{
    // A memo given its own file again keeps its caret.
    doc_->setKeepsSameText(kind == Kind::Memo);
    connect(doc_, &Document::replaced, this, &TextPane::showReadOnlyState);
    setFrameShape(QFrame::NoFrame);
    // The width the text was laid out for so far; a wrap mode set before the first resize
    // lays it out for the same width.
    layoutWidth_ = viewport()->width();
}

namespace {

QString noticeText(const Document &document)
{
    const QString name = displayText(paths::fileNamePart(document.path()));
    switch (document.readOnlyReason()) {
    case Document::ReadOnlyReason::OutsideProject:
        return QStringLiteral("%1 is shown read-only: it lies outside the project, and it is not saved from here.")
            .arg(displayText(document.path()));
    case Document::ReadOnlyReason::NulBytes:
        return QStringLiteral("%1 is shown read-only: it holds NUL bytes, which a text pane cannot keep, and it "
                              "is not saved from here.")
            .arg(name);
    default:
        return QStringLiteral("%1 is shown read-only: lines longer than %2 characters are cut, and it is not "
                              "saved from here.")
            .arg(name)
            .arg(text::kLongLineLimit);
    }
}

} // namespace

void TextPane::showReadOnlyState()
{
    const bool shown = doc_->isReadOnly();
    if (shown != shownReadOnly_) {
        if (shown)
            ownReadOnly_ = isReadOnly();
        if (isReadOnly() != (shown || ownReadOnly_))
            setReadOnly(shown || ownReadOnly_);
        shownReadOnly_ = shown;
    }
    if (shown && !notice_)
        notice_ = new NoticeLine(this);
    if (!notice_)
        return;
    notice_->setText(noticeText(*doc_));
    notice_->setVisible(shown);
    placeMargins();
}

// Drawn by its pane, which alone knows where its lines are.
class LineNumberArea : public QWidget {
public:
    explicit LineNumberArea(TextPane *pane) : QWidget(pane), pane_(pane)
    {
        setObjectName(QStringLiteral("lineNumbers"));
        // It fills what it paints: nothing under it need be painted first.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override { pane_->paintLineNumbers(event); }
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            pane_->selectLineAt(event->position().toPoint().y());
    }

private:
    TextPane *pane_;
};

namespace {

// The owner of a mark among the extra selections; marks without one are kept last.
constexpr int kMarkOwner = QTextFormat::UserProperty + 16;

int ownerRank(const QTextEdit::ExtraSelection &mark)
{
    return mark.format.hasProperty(kMarkOwner) ? mark.format.intProperty(kMarkOwner) : INT_MAX;
}
constexpr int kGutterPadding = 4;

} // namespace

int TextPane::gutterWidth() const
{
    if (!gutter_)
        return 0;
    int digits = 1;
    for (std::size_t n = fillLines_ > 0 ? fillLines_ : std::max(1, document()->blockCount()); n >= 10; n /= 10)
        ++digits;
    return 2 * kGutterPadding + digits * fontMetrics().horizontalAdvance(u'9');
}

void TextPane::placeMargins()
{
    const bool noticeShown = notice_ && shownReadOnly_;
    const int top = noticeShown ? static_cast<NoticeLine *>(notice_)->lineHeight() : 0;
    setViewportMargins(gutterWidth(), top, 0, 0);
    if (notice_)
        static_cast<NoticeLine *>(notice_)->place();
    if (gutter_) {
        const QRect view = viewport()->geometry();
        gutter_->setGeometry(view.left() - gutterWidth(), view.top(), gutterWidth(), view.height());
    }
}

void TextPane::setLineNumbersShown(bool shown)
{
    if (shown == lineNumbersShown())
        return;
    if (shown) {
        gutter_ = new LineNumberArea(this);
        gutter_->show();
        connect(this, &QPlainTextEdit::blockCountChanged, gutter_, [this] {
            if (gutter_->width() != gutterWidth())
                placeMargins();
            gutter_->update();
        });
        // The numbers stand still while the text of a line changes, the caret moves or
        // blinks: they move only when the view scrolls or the lines are laid out anew, which
        // repaints the whole view.
        connect(this, &QPlainTextEdit::updateRequest, gutter_, [this](const QRect &rect, int dy) {
            if (dy)
                gutter_->scroll(0, dy);
            else if (rect.contains(viewport()->rect()))
                gutter_->update();
        });
    } else {
        delete gutter_;
        gutter_ = nullptr;
    }
    placeMargins();
}

void TextPane::paintLineNumbers(QPaintEvent *event)
{
    QPainter painter(gutter_);
    const QPalette &colours = palette();
    painter.fillRect(event->rect(), colours.color(QPalette::Base));
    // A quiet grey: halfway between the text and its background.
    const QColor text = colours.color(QPalette::Text), base = colours.color(QPalette::Base);
    painter.setPen(QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2,
                          (text.blue() + base.blue()) / 2));
    painter.setFont(font());
    const int lineHeight = fontMetrics().height();
    const int right = gutter_->width() - kGutterPadding;
    const QHash<int, QColor> marked = gutterMarks();
    const QRect painted = event->rect();
    forLinesInView(painted.bottom(), [&](const QTextBlock &block, qreal top, qreal bottom) {
        if (bottom < painted.top())
            return true;
        if (const auto mark = marked.find(block.blockNumber()); mark != marked.end())
            painter.fillRect(0, int(top) + 1, kGutterPadding - 1, lineHeight - 2, *mark);
        painter.drawText(0, int(top), right, lineHeight, Qt::AlignRight, QString::number(block.blockNumber() + 1));
        return true;
    });
}

void TextPane::forLinesInView(int bottom, const std::function<bool(const QTextBlock &, qreal, qreal)> &visit) const
{
    // Each line's place follows from the one above: asking the editor for it walks from the top.
    QTextBlock block = firstVisibleBlock();
    for (qreal top = blockBoundingGeometry(block).translated(contentOffset()).top(); block.isValid() && top <= bottom;
         block = block.next()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && !visit(block, top, top + height))
            return;
        top += height;
    }
}

QHash<int, QColor> TextPane::gutterMarks() const
{
    QHash<int, QColor> marked;
    for (const QTextEdit::ExtraSelection &mark : extraSelections())
        if (mark.format.hasProperty(kGutterColour)) {
            // An error's red outweighs a warning's amber on the same line: the first mark wins.
            const int line = mark.cursor.block().blockNumber();
            if (!marked.contains(line))
                marked.insert(line, mark.format.colorProperty(kGutterColour));
        }
    return marked;
}

void TextPane::selectLineAt(int y)
{
    forLinesInView(y, [&](const QTextBlock &block, qreal, qreal bottom) {
        if (y >= bottom)
            return true;
        QTextCursor cursor(block);
        const QTextBlock next = block.next();
        cursor.setPosition(next.isValid() ? next.position() : block.position() + block.length() - 1,
                           QTextCursor::KeepAnchor);
        setTextCursor(cursor);
        return false;
    });
}

void TextPane::setCurrentLineShown(bool shown)
{
    if (shown == currentLineShown_)
        return;
    currentLineShown_ = shown;
    if (shown)
        connect(this, &QPlainTextEdit::cursorPositionChanged, this, &TextPane::followCurrentLine);
    else
        disconnect(this, &QPlainTextEdit::cursorPositionChanged, this, &TextPane::followCurrentLine);
    currentLine_ = {};
    viewport()->update();
}

TextPane::ShownLine TextPane::caretLine() const
{
    const QTextCursor caret = textCursor();
    const QTextLayout *layout = caret.block().layout();
    // Finding the row of a position lays out the line's text again: most lines have one row.
    const QTextLine line =
        layout && layout->lineCount() > 1 ? layout->lineForTextPosition(caret.positionInBlock()) : QTextLine();
    return {caret.blockNumber(), line.isValid() ? line.lineNumber() : 0};
}

// The caret's line is painted under the text rather than drawn as a mark over it: a mark
// over the whole width has each key draw its line twice.
void TextPane::followCurrentLine()
{
    const ShownLine now = caretLine();
    if (now == currentLine_)
        return;
    for (const ShownLine &line : {currentLine_, now})
        if (const QRectF place = placeOf(line); !place.isEmpty())
            viewport()->update(0, int(place.top()), viewport()->width(), int(std::ceil(place.height())) + 1);
    currentLine_ = now;
}

QRectF TextPane::placeOf(const ShownLine &shown) const
{
    const QTextBlock block = document()->findBlockByNumber(shown.block);
    const QTextLayout *layout = block.isValid() && block.isVisible() ? block.layout() : nullptr;
    const QTextLine line = layout ? layout->lineAt(shown.line) : QTextLine();
    if (!line.isValid())
        return {};
    const QPointF blockTop = blockBoundingGeometry(block).translated(contentOffset()).topLeft();
    return line.rect().translated(blockTop + layout->position());
}

void TextPane::paintEvent(QPaintEvent *event)
{
    if (currentLineShown_)
        paintCurrentLine(event->rect());
    QPlainTextEdit::paintEvent(event);
}

void TextPane::paintCurrentLine(const QRect &painted)
{
    currentLine_ = caretLine();
    QRectF line = placeOf(currentLine_);
    if (line.isEmpty())
        return;
    // From the line's start to where the editor keeps its right margin clear, that pixel
    // included.
    const qreal textWidth = document()->documentLayout()->documentSize().width();
    line.setRight(int(contentOffset().x() + std::max(qreal(viewport()->width()), textWidth) -
                      document()->documentMargin() + cursorWidth()) +
                  1);
    line.setBottom(std::ceil(line.bottom()));
    QPainter painter(viewport());
    painter.setClipRect(painted);
    painter.fillRect(line, currentLineColour());
}

// The faint highlight as it shows over the view's background, worked out again only when
// either colour changes: an opaque fill costs a key far less than blending every pixel.
QColor TextPane::currentLineColour()
{
    const QColor background = viewport()->palette().color(viewport()->backgroundRole());
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor faint(highlight.red(), highlight.green(), highlight.blue(), 24);
    if (!background.isValid() || background.alpha() < 255)
        return faint;
    if (background != currentLineOver_.background || highlight != currentLineOver_.highlight) {
        QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
        pixel.fill(background);
        QPainter(&pixel).fillRect(pixel.rect(), faint);
        currentLineOver_ = {background, highlight, pixel.pixelColor(0, 0)};
    }
    return currentLineOver_.shown;
}

void TextPane::setMarks(MarkOwner owner, QList<QTextEdit::ExtraSelection> marks)
{
    const int rank = static_cast<int>(owner);
    for (QTextEdit::ExtraSelection &mark : marks)
        mark.format.setProperty(kMarkOwner, rank);
    for (const QTextEdit::ExtraSelection &mark : extraSelections())
        if (ownerRank(mark) != rank)
            marks << mark;
    std::stable_sort(marks.begin(), marks.end(),
                     [](const auto &a, const auto &b) { return ownerRank(a) < ownerRank(b); });
    const auto inGutter = [rank](const QTextEdit::ExtraSelection &mark) {
        return ownerRank(mark) == rank && mark.format.hasProperty(kGutterColour);
    };
    if (gutter_ && (std::ranges::any_of(marks, inGutter) ||
                    std::ranges::any_of(extraSelections(), inGutter)))
        gutter_->update();
    // The editor repaints the lines of the marks that changed.
    setExtraSelections(marks);
}

QString TextPane::markToolTipAt(int position) const
{
    QStringList tips;
    for (const QTextEdit::ExtraSelection &mark : extraSelections())
        if (mark.cursor.selectionStart() <= position && position < mark.cursor.selectionEnd() &&
            !mark.format.toolTip().isEmpty() && !tips.contains(mark.format.toolTip()))
            tips << mark.format.toolTip();
    return tips.join(u'\n');
}

void TextPane::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange && gutter_)
        placeMargins();
}

QString TextPane::notice() const
{
    return shownReadOnly_ ? notice_->text() : QString();
}

void TextPane::setBytes(const std::string &bytes)
{
    keptText_.reset();
    setAside_ = false;
    doc_->setBytes(bytes);
    setTextCursor(QTextCursor(document()));
    horizontalScrollBar()->setValue(0);
}

namespace {

// A file whose load Esc cancelled is not loaded again by the rest of the same click or
// double click (a click runs the preview twice; a double click previews, then opens).
struct CancelledLoad {
    std::string path;
    QElapsedTimer at;
};

CancelledLoad &cancelledLoad()
{
    static CancelledLoad cancelled;
    return cancelled;
}

bool justCancelled(const std::string &path)
{
    const CancelledLoad &cancelled = cancelledLoad();
    return cancelled.at.isValid() && cancelled.path == path &&
           cancelled.at.elapsed() < QApplication::doubleClickInterval();
}

void rememberCancelled(const std::string &path)
{
    cancelledLoad().path = path;
    cancelledLoad().at.start();
}

} // namespace

namespace {

// Runs a step of a load with the window kept alive. A load that Esc cancelled is remembered,
// so that the rest of the same click or double click does not start it again.
template <class Work>
auto whileBusy(QWidget *window, const std::string &path, Work work)
{
    if (justCancelled(path))
        throw LoadCancelled();
    try {
        BusyLoad busy(window, displayText(paths::fileNamePart(path)));
        return work(busy);
    } catch (const LoadCancelled &) {
        rememberCancelled(path);
        throw;
    }
}

} // namespace

FileText TextPane::readForLoad(const std::string &path)
{
    return whileBusy(window(), path, [&](BusyLoad &busy) { return Document::read(path, busy); });
}

void TextPane::applyFile(const std::string &path, const FileText &file)
{
    whileBusy(window(), path, [&](BusyLoad &busy) { apply(path, file, busy); });
}

void TextPane::loadFromFile(const std::string &path)
{
    whileBusy(window(), path, [&](BusyLoad &busy) { apply(path, Document::read(path, busy), busy); });
}

void TextPane::apply(const std::string &path, const FileText &file, LoadProgress &progress)
{
    keepingWidth(file.shown->lineCount, [&] {
        if (doc_->apply(path, file, progress))
            showStart();
    });
    setAside_ = false;
    keptText_ = setsAsideWhenHidden_ && file.shown->lines.size() >= kSetAsideFrom ? file.shown : nullptr;
    learnColours(file.shown);
}

void TextPane::learnColours(const std::shared_ptr<const ShownLines> &shown)
{
    if (QuakeCColouring *colouring = QuakeCColouring::of(this))
        colouring->learnStates(std::shared_ptr<const std::u16string>(shown, &shown->lines));
}

void TextPane::hideEvent(QHideEvent *event)
{
    QPlainTextEdit::hideEvent(event);
    // Not for the window being minimised: only a page turned away from.
    if (!event->spontaneous() && setsAsideWhenHidden_ && setsAsideWhenHidden_())
        setTextAside();
}

namespace {

// Freeing a buffer of millions of lines takes a third of a second: it is done off the window's
// thread, once nothing on it refers to the buffer any longer.
void letGoInBackground(QTextDocument *buffer)
{
    buffer->setParent(nullptr);
    buffer->moveToThread(nullptr);
    QThreadPool::globalInstance()->start([buffer] { delete buffer; });
}

} // namespace

void TextPane::setTextAside()
{
    if (setAside_ || !doc_->canSetAside(keptText_))
        return;
    placeAside_ = place();
    QTextDocument *old = document();
    // Marks hold places in the old buffer.
    setExtraSelections({});
    doc_->setAside(lineLaidOutDocument(this));
    setAside_ = true;
    emit bufferReplaced();
    letGoInBackground(old);
}

void TextPane::showEvent(QShowEvent *event)
{
    QPlainTextEdit::showEvent(event);
    if (!setAside_)
        return;
    // A moment later: a load that shows the pane to fill it with another file goes first. A
    // timer, not a queued call, which the steps of that load would run.
    if (!bringingBack_) {
        bringingBack_ = new QTimer(this);
        bringingBack_->setSingleShot(true);
        bringingBack_->setInterval(0);
        connect(bringingBack_, &QTimer::timeout, this, &TextPane::bringBackText);
    }
    bringingBack_->start();
}

void TextPane::bringBackText()
{
    if (!setAside_ || !isVisible() || doc_->isFilling())
        return;
    const std::shared_ptr<const ShownLines> text = keptText_;
    try {
        whileBusy(window(), doc_->path(), [&](BusyLoad &busy) {
            keepingWidth(text->lineCount, [&] { doc_->bringBack(text, busy); });
        });
    } catch (const LoadCancelled &) {
        return; // left empty until the pane is shown again
    }
    setAside_ = false;
    putBack(placeAside_);
    learnColours(text);
}

// The editor lays out every line again when the view narrows, and a wrapping one when it
// changes width at all: as the text grows, the line numbers would widen a digit at a time and
// the scroll bar come up. Both take the place the whole text needs before it arrives.
void TextPane::keepingWidth(std::size_t lines, const std::function<void()> &fill)
{
    const Qt::ScrollBarPolicy policy = verticalScrollBarPolicy();
    const struct Kept {
        TextPane &pane;
        Qt::ScrollBarPolicy policy;
        ~Kept()
        {
            pane.fillLines_ = 0;
            pane.setVerticalScrollBarPolicy(policy);
            pane.placeMargins();
        }
    } kept{*this, policy};
    fillLines_ = lines;
    if (policy == Qt::ScrollBarAsNeeded)
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    placeMargins();
    fill();
}

void TextPane::showStart()
{
    setTextCursor(QTextCursor(document()));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TextPane::reload()
{
    const std::string path = doc_->path();
    const FileText file = readForLoad(path);
    const Place where = place();
    applyFile(path, file);
    putBack(where);
}

TextPane::Place TextPane::place() const
{
    return {caretPosition(), verticalScrollBar()->value(), horizontalScrollBar()->value()};
}

void TextPane::putBack(const Place &place)
{
    const QTextBlock block = document()->findBlockByNumber(std::min(place.caret.line, document()->blockCount() - 1));
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + std::min(place.caret.column, block.length() - 1));
    setTextCursor(cursor);
    verticalScrollBar()->setValue(place.top);
    horizontalScrollBar()->setValue(place.left);
}

int TextPane::lineCount() const
{
    const QTextDocument *doc = document();
    const int blocks = doc->blockCount();
    return doc->lastBlock().length() <= 1 ? blocks - 1 : blocks;
}

QString TextPane::line(int index) const
{
    if (index < 0 || index >= document()->blockCount())
        return {};
    return document()->findBlockByNumber(index).text().left(text::kLineReadLimit);
}

TextPane::Caret TextPane::caretPosition() const
{
    const QTextCursor cursor = textCursor();
    const int end = std::max(cursor.anchor(), cursor.position());
    const QTextBlock block = document()->findBlock(end);
    return {block.blockNumber(), end - block.position()};
}

long long TextPane::findText(const QString &what, long long start, long long length,
                             text::FindOptions options) const
{
    if (start < 0 || length < 0)
        return -1;
    return text::findText(u16view(wholeText()), u16view(what), static_cast<std::size_t>(start),
                          static_cast<std::size_t>(length), options);
}

long long TextPane::panePosition(int documentPosition) const
{
    return documentPosition + document()->findBlock(documentPosition).blockNumber();
}

long long TextPane::documentPosition(long long position) const
{
    const QTextDocument *doc = document();
    // The last block whose first character lies at or before the position.
    int low = 0, high = doc->blockCount() - 1;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        const QTextBlock block = doc->findBlockByNumber(mid);
        if (block.position() + static_cast<long long>(mid) <= position)
            low = mid;
        else
            high = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(low);
    const long long column = position - (block.position() + static_cast<long long>(low));
    return block.position() + std::min<long long>(column, block.length() - 1);
}

void TextPane::setSelStart(long long position)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(static_cast<int>(documentPosition(std::max(0LL, position))));
    setTextCursor(cursor);
}

void TextPane::setSelLength(long long count)
{
    QTextCursor cursor = textCursor();
    const int start = std::min(cursor.anchor(), cursor.position());
    const long long end = panePosition(start) + std::max(0LL, count);
    cursor.setPosition(start);
    cursor.setPosition(static_cast<int>(documentPosition(end)), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextPane::placeCaretInUpperThird()
{
    const int lineHeight = std::max(1, fontMetrics().lineSpacing());
    const int visibleLines = std::max(1, viewport()->height() / lineHeight);
    const QTextCursor cursor = textCursor();
    const QTextLayout *layout = cursor.block().layout();
    const int lineInBlock =
        layout && layout->lineCount() > 0 ? layout->lineForTextPosition(cursor.positionInBlock()).lineNumber() : 0;
    const int caretLine = std::max(0, cursor.block().firstLineNumber() + lineInBlock);
    verticalScrollBar()->setValue(std::max(0, caretLine - visibleLines / 3));
    ensureCursorVisible();
}

// Lines that do not wrap keep their layout whatever the width of the view, yet the editor lays
// out the whole document again on every change of width (the vertical scroll bar appearing
// after a load is one), at the cost of time and a layout object per line. Without wrapping
// only the scroll bars need to follow. The editor measures the horizontal bar against the
// wider of the text and the view it last laid out for, so only a view narrower than that one
// is passed on.
void TextPane::resizeEvent(QResizeEvent *event)
{
    const int width = event->size().width();
    if (lineWrapMode() != NoWrap || width == event->oldSize().width() || width < layoutWidth_) {
        layoutWidth_ = width;
        QPlainTextEdit::resizeEvent(event);
    } else {
        QResizeEvent heightOnly(event->size(), QSize(width, event->oldSize().height()));
        QPlainTextEdit::resizeEvent(&heightOnly);
    }
    if (gutter_)
        placeMargins();
}

void TextPane::focus()
{
    if (!isVisible() || !isEnabled())
        throw AppError("Cannot focus a disabled or invisible window");
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
}

void TextPane::setBorder(Border border)
{
    if (border == border_)
        return;
    border_ = border;
    setFrameShape(border == Border::Single ? QFrame::Box : QFrame::NoFrame);
    setLineWidth(1);
}

void TextPane::setHideSelection(bool hide)
{
    // Without the focus, the selection is drawn as when focused, or not at all: a clear
    // background and no colour of its own leave the text's colours and marks as they are.
    QPalette pal = palette();
    pal.setBrush(QPalette::Inactive, QPalette::Highlight,
                 hide ? QBrush(Qt::transparent) : pal.brush(QPalette::Active, QPalette::Highlight));
    pal.setBrush(QPalette::Inactive, QPalette::HighlightedText,
                 hide ? QBrush() : pal.brush(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
}

QString acceptedInput(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == text::kParagraphSeparator || c == QChar::LineSeparator) {
            out += u'\n';
        } else if (text::isCp1252Encodable(c.unicode())) {
            out += c;
        }
    }
    return out;
}

void TextPane::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (!isReadOnly() && !typed.isEmpty() && typed.at(0).isPrint() && acceptedInput(typed) != typed)
        return;
    QPlainTextEdit::keyPressEvent(event);
}

void TextPane::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText() && !isReadOnly())
        insertPlainText(acceptedInput(source->text()));
}

void TextPane::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = acceptedInput(event->commitString());
    if (commit != event->commitString())
        event->setCommitString(commit);
    QPlainTextEdit::inputMethodEvent(event);
}

} // namespace vardo
