#include "panes/textpane.h"

#include "base/paths.h"
#include "base/qtext.h"
#include "panes/fileio.h"

#include <QInputMethodEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>

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
}

// Replaces the document's text directly: the editor's own setPlainText costs a fifth more on a
// large file. The caret goes to the start and the view to the top, with no undo history.
void TextPane::replaceText(const QString &text)
{
    document()->setPlainText(text);
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

void TextPane::loadFromFile(const std::string &path)
{
    std::string bytes;
    try {
        bytes = fileio::readWholeFile(path, kCapacity);
    } catch (const fileio::TooLargeError &) {
        throw AppError("Text exceeds memo capacity");
    } catch (const fileio::NotRegularFileError &) {
        throw AppError(path + " is not a regular file");
    } catch (const std::exception &) {
        throw AppError("Cannot open file " + path);
    }
    const QString text = shownText(bytes, path);
    if (kind_ == Kind::Memo && text == document()->toRawText().replace(kParagraphSeparator, u'\n'))
        return;
    replaceText(text);
}

void TextPane::saveToFile(const std::string &path) const
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
