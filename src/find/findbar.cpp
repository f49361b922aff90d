#include "find/findbar.h"

#include "doc/qtext.h"
#include "panes/colourscheme.h"
#include "panes/textpane.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>

namespace vardo {

namespace {

// Marks drawn at most in one view, for a long line full of matches.
constexpr int kMarkLimit = 2000;

QTextEdit::ExtraSelection mark(QTextDocument *document, int position, int length, const QColor &colour)
{
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(document);
    selection.cursor.setPosition(position);
    selection.cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    selection.format.setBackground(colour);
    return selection;
}

// A button no wider than its text, so that the bar fits a narrow window.
QToolButton *button(const QString &text, QWidget *parent)
{
    auto *made = new QToolButton(parent);
    made->setText(text);
    made->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return made;
}

} // namespace

FindBar::FindBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("findbar"));
    findField = new QLineEdit(this);
    replaceField = new QLineEdit(this);
    matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    wholeWord = new QCheckBox(QStringLiteral("&Whole word"), this);
    nextButton = button(QStringLiteral("Next"), this);
    previousButton = button(QStringLiteral("Previous"), this);
    replaceButton = button(QStringLiteral("Replace"), this);
    replaceAllButton = button(QStringLiteral("Replace all"), this);
    closeButton = button(QStringLiteral("Close"), this);
    note = new QLabel(this);
    const std::pair<QWidget *, const char *> names[] = {
        {findField, "findtext"},         {replaceField, "replacetext"},  {matchCase, "matchcase"},
        {wholeWord, "wholeword"},        {nextButton, "findnext"},       {previousButton, "findprevious"},
        {replaceButton, "replace"},      {replaceAllButton, "replaceall"}, {closeButton, "findclose"},
        {note, "findnote"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(QLatin1String(name));
    findField->setToolTip(QStringLiteral("Enter or F3: next match; Shift+F3: previous"));
    closeButton->setToolTip(QStringLiteral("Esc"));

    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(4, 2, 4, 2);
    grid_->setVerticalSpacing(2);
    grid_->addWidget(new QLabel(QStringLiteral("Find:"), this), 0, 0);
    grid_->addWidget(findField, 0, 1);
    grid_->addWidget(nextButton, 0, 2);
    grid_->addWidget(previousButton, 0, 3);
    grid_->addWidget(matchCase, 0, 4);
    grid_->addWidget(wholeWord, 0, 5);
    grid_->addWidget(note, 0, 6);
    grid_->addWidget(closeButton, 0, 7);
    replaceLabel_ = new QLabel(QStringLiteral("Replace:"), this);
    grid_->addWidget(replaceLabel_, 1, 0);
    grid_->addWidget(replaceField, 1, 1);
    grid_->addWidget(replaceButton, 1, 2);
    grid_->addWidget(replaceAllButton, 1, 3);
    for (QLineEdit *field : {findField, replaceField})
        field->setMinimumWidth(120);
    grid_->setColumnStretch(1, 2);
    grid_->setColumnStretch(6, 1);
    showReplace(false);
    // The bar follows the window's width and never widens it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    hide();

    connect(findField, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(replaceField, &QLineEdit::returnPressed, this, &FindBar::replace);
    connect(nextButton, &QToolButton::clicked, this, &FindBar::findNext);
    connect(previousButton, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(replaceButton, &QToolButton::clicked, this, &FindBar::replace);
    connect(replaceAllButton, &QToolButton::clicked, this, &FindBar::replaceAll);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
    connect(findField, &QLineEdit::textChanged, this, &FindBar::markMatchesInView);
    connect(matchCase, &QCheckBox::toggled, this, &FindBar::markMatchesInView);
    connect(wholeWord, &QCheckBox::toggled, this, &FindBar::markMatchesInView);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &FindBar::close);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
}

void FindBar::watch(TextPane *pane)
{
    auto remark = [this, pane] {
        if (isVisible() && front_ == pane)
            markMatchesInView();
    };
    connect(pane->verticalScrollBar(), &QScrollBar::valueChanged, this, remark);
    // The pane's signal follows the text to a new buffer.
    connect(pane, &QPlainTextEdit::textChanged, this, remark);
    connect(pane, &QPlainTextEdit::cursorPositionChanged, this, remark);
}

void FindBar::setFrontPane(TextPane *pane)
{
    front_ = pane;
    if (!isVisible())
        return;
    showReplace(replaceWanted_ && pane && !pane->isReadOnly());
    markMatchesInView();
}

void FindBar::openFind()
{
    open(false);
}

void FindBar::openReplace()
{
    open(true);
}

void FindBar::open(bool withReplace)
{
    TextPane *pane = front_;
    replaceWanted_ = withReplace;
    showReplace(withReplace && pane && !pane->isReadOnly());
    if (pane) {
        const QString selected = pane->textCursor().selectedText();
        // A selection of more than one line is no search text.
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
            findField->setText(selected);
    }
    note->clear();
    show();
    findField->setFocus(Qt::ShortcutFocusReason);
    findField->selectAll();
    markMatchesInView();
}

void FindBar::close()
{
    if (!isVisible())
        return;
    TextPane *pane = front_;
    if (marked_)
        clearMarks(marked_);
    hide();
    snapshot_.release();
    if (pane && pane->isVisible())
        pane->setFocus(Qt::OtherFocusReason);
}

void FindBar::showReplace(bool shown)
{
    for (QWidget *widget : {static_cast<QWidget *>(replaceLabel_), static_cast<QWidget *>(replaceField),
                            static_cast<QWidget *>(replaceButton), static_cast<QWidget *>(replaceAllButton)})
        widget->setVisible(shown);
}

text::TextSearch FindBar::search() const
{
    return text::TextSearch(u16view(findField->text()),
                            {.matchCase = matchCase->isChecked(), .wholeWord = wholeWord->isChecked()});
}

void FindBar::findNext()
{
    find(true);
}

void FindBar::findPrevious()
{
    find(false);
}

void FindBar::find(bool forward)
{
    TextPane *pane = front_;
    if (!pane)
        return;
    if (findField->text().isEmpty()) {
        if (!isVisible())
            openFind();
        return;
    }
    const text::TextSearch what = search();
    const std::u16string_view text = u16view(snapshot_.textOf(pane->document()));
    const QTextCursor cursor = pane->textCursor();
    std::size_t found = forward ? what.next(text, static_cast<std::size_t>(cursor.selectionEnd()))
                                : what.previous(text, static_cast<std::size_t>(cursor.selectionStart()));
    QString message;
    if (found == text::TextSearch::npos) {
        found = forward ? what.next(text, 0) : what.previous(text);
        message = forward ? QStringLiteral("Wrapped round to the top.")
                          : QStringLiteral("Wrapped round to the bottom.");
    }
    if (found == text::TextSearch::npos) {
        note->setText(QStringLiteral("Not found."));
        return;
    }
    note->setText(message);
    select(pane, found);
}

void FindBar::select(TextPane *pane, std::size_t position)
{
    QTextCursor cursor = pane->textCursor();
    cursor.setPosition(static_cast<int>(position));
    cursor.setPosition(static_cast<int>(position + search().size()), QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
    if (pane->viewport()->rect().contains(pane->cursorRect()))
        pane->ensureCursorVisible();
    else
        pane->placeCaretInUpperThird();
}

void FindBar::replace()
{
    TextPane *pane = front_;
    if (!pane || pane->isReadOnly() || findField->text().isEmpty())
        return;
    QTextCursor cursor = pane->textCursor();
    const QString &text = snapshot_.textOf(pane->document());
    const text::TextSearch what = search();
    const auto start = static_cast<std::size_t>(cursor.selectionStart());
    if (cursor.selectionEnd() - cursor.selectionStart() == static_cast<int>(what.size()) &&
        what.matchesAt(u16view(text), start)) {
        cursor.insertText(acceptedInput(replaceField->text()));
        pane->setTextCursor(cursor);
    }
    findNext();
}

int FindBar::replaceAll()
{
    TextPane *pane = front_;
    if (!pane || pane->isReadOnly() || findField->text().isEmpty())
        return 0;
    const text::TextSearch what = search();
    const std::u16string_view text = u16view(snapshot_.textOf(pane->document()));
    std::vector<int> matches;
    for (std::size_t at = what.next(text, 0); at != text::TextSearch::npos; at = what.next(text, at + what.size()))
        matches.push_back(static_cast<int>(at));
    const QString replacement = acceptedInput(replaceField->text());
    const int length = static_cast<int>(what.size());
    // From the last to the first, so that the positions still to come stay where they were.
    QTextCursor cursor(pane->document());
    cursor.beginEditBlock();
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + length, QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
    }
    cursor.endEditBlock();
    const int count = static_cast<int>(matches.size());
    note->setText(count == 1 ? QStringLiteral("Replaced 1.") : QStringLiteral("Replaced %1.").arg(count));
    return count;
}

void FindBar::markMatchesInView()
{
    TextPane *pane = front_;
    if (marked_ && marked_ != pane)
        clearMarks(marked_);
    if (!pane || !isVisible())
        return;
    marked_ = pane;
    QList<QTextEdit::ExtraSelection> marks;
    if (!findField->text().isEmpty()) {
        const text::TextSearch what = search();
        const QTextCursor current = pane->textCursor();
        const int length = static_cast<int>(what.size());
        QTextBlock block = pane->cursorForPosition(QPoint(0, 0)).block();
        const QTextBlock last = pane->cursorForPosition(QPoint(0, pane->viewport()->height())).block();
        int count = 0;
        for (; block.isValid() && block.blockNumber() <= last.blockNumber() && count < kMarkLimit;
             block = block.next()) {
            const QString line = block.text();
            for (std::size_t at = what.next(u16view(line), 0); at != text::TextSearch::npos && count < kMarkLimit;
                 at = what.next(u16view(line), at + what.size()), ++count) {
                const int position = block.position() + static_cast<int>(at);
                const bool isCurrent = current.selectionStart() == position && current.selectionEnd() == position + length;
                marks << mark(pane->document(), position, length,
                              isCurrent ? colours::currentFindMark() : colours::findMark());
            }
        }
    }
    pane->setMarks(TextPane::MarkOwner::Find, std::move(marks));
}

void FindBar::clearMarks(TextPane *pane)
{
    pane->setMarks(TextPane::MarkOwner::Find, {});
    if (marked_ == pane)
        marked_ = nullptr;
}

} // namespace vardo
