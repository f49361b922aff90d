#include "edit/indenting.h"

#include "panes/textpane.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <utility>
#include <vector>

namespace vardo {

namespace indent {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

qsizetype indentLength(const QString &line)
{
    qsizetype n = 0;
    while (n < line.size() && isBlank(line.at(n)))
        ++n;
    return n;
}

} // namespace

QString leadingBlanks(const QString &line)
{
    return line.left(indentLength(line));
}

QString nextLineIndent(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && isBlank(line.at(end - 1)))
        --end;
    const QString blanks = leadingBlanks(line);
    return end > 0 && line.at(end - 1) == u'{' ? blanks + u'\t' : blanks;
}

int matchingOpenLine(const QString &text, int position)
{
    const qsizetype end = std::min<qsizetype>(position, text.size());
    std::vector<int> open;
    int line = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == u'\n') {
            ++line;
        } else if (c == u'/' && i + 1 < end && text.at(i + 1) == u'/') {
            while (i + 1 < end && text.at(i + 1) != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < end && text.at(i + 1) == u'*') {
            for (i += 2; i < end && !(text.at(i) == u'*' && i + 1 < end && text.at(i + 1) == u'/'); ++i)
                if (text.at(i) == u'\n')
                    ++line;
            ++i;
        } else if (c == u'"' || c == u'\'') {
            // A string ends at its quote or, unclosed, at the end of its line.
            for (++i; i < end && text.at(i) != c && text.at(i) != u'\n'; ++i)
                if (text.at(i) == u'\\')
                    ++i;
            if (i < end && text.at(i) == u'\n')
                ++line;
        } else if (c == u'{') {
            open.push_back(line);
        } else if (c == u'}' && !open.empty()) {
            open.pop_back();
        }
    }
    return open.empty() ? -1 : open.back();
}

QString outdented(const QString &line)
{
    if (line.startsWith(u'\t'))
        return line.mid(1);
    qsizetype spaces = 0;
    while (spaces < kTabWidth && spaces < line.size() && line.at(spaces) == u' ')
        ++spaces;
    return line.mid(spaces);
}

QStringList toggledComments(const QStringList &lines)
{
    bool allCommented = true, anyText = false;
    for (const QString &line : lines) {
        const qsizetype blanks = indentLength(line);
        if (blanks == line.size())
            continue;
        anyText = true;
        if (!QStringView(line).mid(blanks).startsWith(u"//"))
            allCommented = false;
    }
    QStringList out;
    for (const QString &line : lines) {
        const qsizetype blanks = indentLength(line);
        if (anyText && blanks == line.size()) {
            // Blank lines among commented ones stay as they are.
            out << line;
        } else if (anyText && allCommented) {
            const qsizetype cut = line.mid(blanks).startsWith(u"// ") ? 3 : 2;
            out << line.left(blanks) + line.mid(blanks + cut);
        } else {
            out << QStringLiteral("// ") + line;
        }
    }
    return out;
}

} // namespace indent

Indenter::Indenter(TextPane *editor, QObject *parent) : QObject(parent), editor_(editor)
{
    editor->installEventFilter(this);
}

namespace {

// The blocks a change of whole lines covers: a selection that ends at the start of a line
// leaves that line out, as the user selected the lines above it.
std::pair<QTextBlock, QTextBlock> selectedBlocks(const QTextCursor &cursor)
{
    QTextDocument *doc = cursor.document();
    const QTextBlock first = doc->findBlock(cursor.selectionStart());
    QTextBlock last = doc->findBlock(cursor.selectionEnd());
    if (last != first && cursor.selectionEnd() == last.position())
        last = last.previous();
    return {first, last};
}

bool spansLines(const QTextCursor &cursor)
{
    const auto [first, last] = selectedBlocks(cursor);
    return cursor.hasSelection() && first != last;
}

// Replaces only what differs between a line and its new text, so that the caret and the
// other cursors in the line stay by the characters they were by.
void replaceLine(QTextCursor &cursor, const QTextBlock &block, const QString &now)
{
    const QString was = block.text();
    qsizetype head = 0;
    while (head < was.size() && head < now.size() && was.at(head) == now.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < was.size() - head && tail < now.size() - head &&
           was.at(was.size() - 1 - tail) == now.at(now.size() - 1 - tail))
        ++tail;
    cursor.setPosition(block.position() + int(head));
    cursor.setPosition(block.position() + int(was.size() - tail), QTextCursor::KeepAnchor);
    cursor.insertText(now.mid(head, now.size() - head - tail));
}

} // namespace

template <class Change>
void Indenter::changeLines(Change change)
{
    QTextCursor selection = editor_->textCursor();
    const bool several = spansLines(selection);
    const auto [first, last] = selectedBlocks(selection);
    const int firstNumber = first.blockNumber(), lastNumber = last.blockNumber();
    QStringList lines;
    for (QTextBlock block = first; block.isValid() && block.blockNumber() <= lastNumber; block = block.next())
        lines << block.text();
    const QStringList changed = change(lines);

    QTextDocument *doc = editor_->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (int i = 0; i < lines.size(); ++i)
        if (changed.at(i) != lines.at(i))
            replaceLine(cursor, doc->findBlockByNumber(firstNumber + i), changed.at(i));
    cursor.endEditBlock();
    if (several) {
        // The selection keeps its direction, so that Shift+arrows go on from the same end.
        const QTextBlock end = doc->findBlockByNumber(lastNumber);
        int from = doc->findBlockByNumber(firstNumber).position(), to = end.position() + end.length() - 1;
        if (selection.anchor() > selection.position())
            std::swap(from, to);
        selection.setPosition(from);
        selection.setPosition(to, QTextCursor::KeepAnchor);
        editor_->setTextCursor(selection);
    }
}

bool Indenter::newLine()
{
    QTextCursor cursor = editor_->textCursor();
    const QTextBlock block = editor_->document()->findBlock(cursor.selectionStart());
    const QString before = block.text().left(cursor.selectionStart() - block.position());
    cursor.beginEditBlock();
    cursor.insertText(u'\n' + indent::nextLineIndent(before));
    cursor.endEditBlock();
    editor_->setTextCursor(cursor);
    editor_->ensureCursorVisible();
    return true;
}

bool Indenter::closeBrace()
{
    QTextCursor cursor = editor_->textCursor();
    if (cursor.hasSelection())
        return false;
    const QTextBlock block = cursor.block();
    const QString before = block.text().left(cursor.positionInBlock());
    if (indent::leadingBlanks(before) != before)
        return false;
    const int open = indent::matchingOpenLine(editor_->document()->toPlainText(), cursor.position());
    if (open < 0)
        return false;
    const QString blanks = indent::leadingBlanks(editor_->document()->findBlockByNumber(open).text());
    cursor.beginEditBlock();
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + int(before.size()), QTextCursor::KeepAnchor);
    cursor.insertText(blanks + u'}');
    cursor.endEditBlock();
    editor_->setTextCursor(cursor);
    return true;
}

bool Indenter::home(bool select)
{
    QTextCursor cursor = editor_->textCursor();
    const QTextBlock block = cursor.block();
    const int text = int(indent::leadingBlanks(block.text()).size());
    const int column = cursor.positionInBlock() == text ? 0 : text;
    cursor.setPosition(block.position() + column, select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    editor_->setTextCursor(cursor);
    return true;
}

bool Indenter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != editor_ || event->type() != QEvent::KeyPress || editor_->isReadOnly())
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods == Qt::NoModifier)
            return newLine();
        break;
    case Qt::Key_Tab:
        if (mods == Qt::NoModifier && spansLines(editor_->textCursor())) {
            changeLines([](QStringList lines) {
                for (QString &line : lines)
                    line.prepend(u'\t');
                return lines;
            });
            return true;
        }
        break;
    case Qt::Key_Backtab:
        changeLines([](QStringList lines) {
            for (QString &line : lines)
                line = indent::outdented(line);
            return lines;
        });
        return true;
    case Qt::Key_Slash:
        if (mods == Qt::ControlModifier) {
            changeLines(indent::toggledComments);
            return true;
        }
        break;
    case Qt::Key_Home:
        if (mods == Qt::NoModifier || mods == Qt::ShiftModifier)
            return home(mods == Qt::ShiftModifier);
        break;
    default:
        if (key->text() == QStringLiteral("}") && closeBrace())
            return true;
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vardo
