#include "panes/textpane.h"

#include "core/base/paths.h"
#include "doc/qtext.h"
#include "panes/busyload.h"
#include "core/files/fileio.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

namespace vardo {

namespace {

constexpr QChar kParagraphSeparator(0x2029);

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

TextPane::TextPane(Kind kind, QWidget *parent) : QPlainTextEdit(parent), kind_(kind)
{
    setFrameShape(QFrame::NoFrame);
    // The width the text was laid out for so far; a wrap mode set before the first resize
    // lays it out for the same width.
    layoutWidth_ = viewport()->width();
}

// Replaces the document's text directly: the editor's own setPlainText costs a fifth more on a
// large file. The caret goes to the start and the view to the top, with no undo history.
void TextPane::replaceText(const QString &text)
{
    document()->setPlainText(text);
    document()->setModified(false);
    lastLoad_.reset();
    QTextCursor start(document());
    setTextCursor(start);
    horizontalScrollBar()->setValue(0);
}

QString TextPane::shownText(const std::string &bytes, const std::string &path)
{
    std::u16string lines = text::decodeLines(bytes);
    setShownReadOnly(text::cutLongLines(lines), path);
    return fromU16(lines);
}

void TextPane::setShownReadOnly(bool shown, const std::string &path)
{
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
    notice_->setText(QStringLiteral("%1 is shown read-only: lines longer than %2 characters are cut, "
                                    "and it is not saved from here.")
                         .arg(displayText(paths::fileNamePart(path)))
                         .arg(text::kLongLineLimit));
    notice_->setVisible(shown);
    setViewportMargins(0, shown ? static_cast<NoticeLine *>(notice_)->lineHeight() : 0, 0, 0);
    static_cast<NoticeLine *>(notice_)->place();
}

QString TextPane::notice() const
{
    return shownReadOnly_ ? notice_->text() : QString();
}

void TextPane::setBytes(const std::string &bytes, const std::string &path)
{
    replaceText(shownText(bytes, path));
}

namespace {

// Bytes decoded and characters added to the document between two steps of a long load. A
// turn of the event loop can cost the view a pass over every line, so a large file is added
// in a bounded number of slices.
constexpr std::size_t kDecodeSlice = 4u << 20;
constexpr std::size_t kFillSlice = 256u << 10;
constexpr std::size_t kFillSlices = 48;
// The shares of a load's time taken by the read and by the decoding, as measured.
constexpr double kReadShare = 0.05;
constexpr double kDecodeShare = 0.05;

// The file read last, kept for the double click that follows the preview of its first press.
struct RecentRead {
    std::string path;
    fileio::FileIdentity version;
    std::shared_ptr<const TextPane::ShownLines> shown;
};

std::optional<RecentRead> &recentRead()
{
    static std::optional<RecentRead> recent;
    return recent;
}

void keepForDoubleClick(const std::string &path, const std::optional<fileio::FileIdentity> &version,
                        std::shared_ptr<const TextPane::ShownLines> shown)
{
    if (!version)
        return;
    recentRead() = RecentRead{path, *version, std::move(shown)};
    static QTimer *expiry = nullptr;
    if (!expiry) {
        expiry = new QTimer(qApp);
        expiry->setSingleShot(true);
        QObject::connect(expiry, &QTimer::timeout, [] { recentRead().reset(); });
    }
    expiry->start(QApplication::doubleClickInterval() + 250);
}

std::shared_ptr<const TextPane::ShownLines> takeRecentRead(const std::string &path,
                                                           const std::optional<fileio::FileIdentity> &version)
{
    std::optional<RecentRead> &recent = recentRead();
    if (!recent || !version || recent->path != path || !(recent->version == *version))
        return nullptr;
    return recent->shown;
}

// Decodes in slices, never between the CR and the LF of one line end, and measures the
// longest line on the way.
std::u16string decodeInSlices(const std::string &bytes, BusyLoad &busy, std::size_t &longestLine)
{
    std::u16string lines;
    lines.reserve(bytes.size());
    std::size_t run = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = std::min(bytes.size(), start + kDecodeSlice);
        if (end < bytes.size() && bytes[end - 1] == '\r' && bytes[end] == '\n')
            ++end;
        const std::size_t from = lines.size();
        lines += text::decodeLines(std::string_view(bytes).substr(start, end - start));
        for (std::size_t i = from; i < lines.size(); ++i) {
            run = lines[i] == u'\n' ? 0 : run + 1;
            longestLine = std::max(longestLine, run);
        }
        start = end;
        busy.step(kReadShare + kDecodeShare * static_cast<double>(start) / static_cast<double>(bytes.size()));
    }
    return lines;
}

std::shared_ptr<const TextPane::ShownLines> readShownLines(const std::string &path, BusyLoad &busy)
{
    std::string bytes;
    try {
        bytes = fileio::readWholeFile(path, TextPane::kCapacity, [&](std::size_t read, std::size_t size) {
            busy.step(kReadShare * static_cast<double>(read) / static_cast<double>(std::max(read, size)));
        });
    } catch (const LoadCancelled &) {
        throw;
    } catch (const fileio::TooLargeError &) {
        throw LoadFailure(path + " is larger than " + std::to_string(TextPane::kCapacity >> 20) +
                              " MiB, the largest file a pane holds",
                          std::strerror(EFBIG));
    } catch (const fileio::NotRegularFileError &error) {
        throw LoadFailure(path + " is not a regular file", error.reason());
    } catch (const fileio::OpenError &error) {
        throw LoadFailure("Cannot open file " + path, error.reason());
    } catch (const std::exception &error) {
        throw LoadFailure("Cannot open file " + path, error.what());
    }
    auto shown = std::make_shared<TextPane::ShownLines>();
    std::size_t longestLine = 0;
    shown->lines = decodeInSlices(bytes, busy, longestLine);
    bytes = std::string();
    shown->cut = longestLine > text::kLongLineLimit && text::cutLongLines(shown->lines);
    return shown;
}

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

TextPane::PaneFile TextPane::readForLoad(const std::string &path)
{
    return whileBusy(window(), path, [&](BusyLoad &busy) { return read(path, busy); });
}

void TextPane::applyFile(const std::string &path, const PaneFile &file)
{
    whileBusy(window(), path, [&](BusyLoad &busy) { apply(path, file, busy); });
}

void TextPane::loadFromFile(const std::string &path)
{
    whileBusy(window(), path, [&](BusyLoad &busy) { apply(path, read(path, busy), busy); });
}

TextPane::PaneFile TextPane::read(const std::string &path, BusyLoad &busy)
{
    PaneFile file;
    // Taken before the read, so that a write racing the read makes the file look changed later.
    file.identity = fileio::identityOf(path);
    file.shown = takeRecentRead(path, file.identity);
    if (!file.shown)
        file.shown = readShownLines(path, busy);
    return file;
}

void TextPane::apply(const std::string &path, const PaneFile &file, BusyLoad &busy)
{
    const std::u16string_view lines = file.shown->lines;
    // The second preview of a click shows the same text again; a memo given its own text
    // changes nothing.
    const bool shownAlready = !lastLoad_.owner_before(file.shown) && !file.shown.owner_before(lastLoad_) &&
                              !lastLoad_.expired() && !document()->isModified();
    const auto memoHoldsIt = [&] {
        return kind_ == Kind::Memo && QStringView(lines.data(), static_cast<qsizetype>(lines.size())) ==
                                          document()->toRawText().replace(kParagraphSeparator, u'\n');
    };
    if (shownAlready && kind_ != Kind::Memo)
        showStart();
    else if (shownAlready || memoHoldsIt())
        document()->setModified(false);
    else
        fillDocument(lines, busy);
    lastLoad_ = file.shown;
    setShownReadOnly(file.shown->cut, path);
    diskVersion_ = file.identity;
    keepForDoubleClick(path, file.identity, file.shown);
}

void TextPane::fillDocument(std::u16string_view lines, BusyLoad &busy)
{
    QTextDocument *doc = document();
    const bool undo = doc->isUndoRedoEnabled();
    const bool modified = doc->isModified();
    doc->setUndoRedoEnabled(false);
    // The new text goes after the old one, which stays in view until the new one is whole.
    const int oldEnd = doc->characterCount() - 1;
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertBlock();
    const std::size_t slice = std::max(kFillSlice, lines.size() / kFillSlices);
    // Removes a range of the document a slice at a time, from its end.
    const auto removeRange = [&](int from, int to) {
        busy.stopCancelling();
        while (to > from) {
            const int start = std::max<long long>(from, to - static_cast<long long>(slice));
            cursor.setPosition(start);
            cursor.setPosition(to, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            to = start;
            busy.step(1.0);
        }
    };
    try {
        for (std::size_t done = 0; done < lines.size();) {
            const std::size_t count = std::min(slice, lines.size() - done);
            cursor.insertText(fromU16(lines.substr(done, count)));
            done += count;
            busy.step(kReadShare + kDecodeShare +
                      (1 - kReadShare - kDecodeShare) * static_cast<double>(done) / static_cast<double>(lines.size()));
        }
    } catch (const LoadCancelled &) {
        removeRange(oldEnd, doc->characterCount() - 1);
        doc->setUndoRedoEnabled(undo);
        doc->setModified(modified);
        throw;
    }
    removeRange(0, oldEnd + 1);
    doc->setUndoRedoEnabled(undo);
    doc->setModified(false);
    showStart();
}

void TextPane::showStart()
{
    setTextCursor(QTextCursor(document()));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void TextPane::reloadFromFile(const std::string &path)
{
    const PaneFile file = readForLoad(path);
    const Caret caret = caretPosition();
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    applyFile(path, file);
    const QTextBlock block = document()->findBlockByNumber(std::min(caret.line, document()->blockCount() - 1));
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + std::min(caret.column, block.length() - 1));
    setTextCursor(cursor);
    verticalScrollBar()->setValue(top);
    horizontalScrollBar()->setValue(left);
}

void TextPane::saveToFile(const std::string &path)
{
    if (shownReadOnly_)
        throw ShownReadOnlyError(path + " is shown read-only and was not saved");
    const QString text = wholeText();
    try {
        fileio::saveFileSafely(path, text::encodeCp1252(u16view(text)));
    } catch (const fileio::SaveError &error) {
        if (error.kind() == fileio::SaveError::Kind::NotRegularFile)
            throw SaveFailure(path + " is not a regular file", error.reason());
        if (error.kind() == fileio::SaveError::Kind::CannotCreate)
            throw SaveFailure("Cannot create file " + path, error.reason());
        throw SaveFailure(kind_ == Kind::RichEdit ? "Failed to Save Stream" : "Stream write error",
                          error.reason());
    }
    document()->setModified(false);
    diskVersion_ = fileio::identityOf(path);
}

bool TextPane::isChanged() const
{
    return document()->isModified();
}

fileio::DiskChange TextPane::diskChangeOf(const std::string &path) const
{
    return fileio::diskChange(diskVersion_, fileio::identityOf(path));
}

QString TextPane::wholeText() const
{
    const QString raw = document()->toRawText();
    QString text(raw.size() + raw.count(kParagraphSeparator), Qt::Uninitialized);
    QChar *out = text.data();
    for (const QChar c : raw) {
        if (c == kParagraphSeparator) {
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = c;
        }
    }
    return text;
}

long long TextPane::textLength() const
{
    const QTextDocument *doc = document();
    return doc->characterCount() - 1 + static_cast<long long>(doc->blockCount() - 1);
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
        return;
    }
    QResizeEvent heightOnly(event->size(), QSize(width, event->oldSize().height()));
    QPlainTextEdit::resizeEvent(&heightOnly);
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

bool producesCharacter(const QKeyEvent &event)
{
    switch (event.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    const QString text = event.text();
    return !text.isEmpty() && (text.at(0).isPrint() || text.at(0).unicode() < 0x20);
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
        } else if (c == kParagraphSeparator || c == QChar::LineSeparator) {
            out += u'\n';
        } else if (text::isCp1252Encodable(c.unicode())) {
            out += c;
        }
    }
    return out;
}

void TextPane::keyPressEvent(QKeyEvent *event)
{
    if (onKeyDown)
        onKeyDown();
    if (producesCharacter(*event) && onKeyPress)
        onKeyPress();
    const QString typed = event->text();
    if (!isReadOnly() && !typed.isEmpty() && typed.at(0).isPrint() && acceptedInput(typed) != typed)
        return;
    QPlainTextEdit::keyPressEvent(event);
}

void TextPane::mousePressEvent(QMouseEvent *event)
{
    QPlainTextEdit::mousePressEvent(event);
    if (onMouseDown)
        onMouseDown();
}

void TextPane::mouseReleaseEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    if (onMouseUp)
        onMouseUp();
}

// Entering and leaving mean the focus moving between controls, not the window being
// activated or a menu popping up.
static bool movesBetweenControls(const QFocusEvent *event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

void TextPane::focusInEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusInEvent(event);
    if (onEnter && movesBetweenControls(event))
        onEnter();
}

void TextPane::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (onExit && movesBetweenControls(event))
        onExit();
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
