#include "edit/indexcontroller.h"

#include "core/qc/functionindex.h"
#include "core/text/textmodel.h"
#include "doc/qtext.h"
#include "lists/indexcombobox.h"
#include "panes/textpane.h"

#include <QTextBlock>
#include <QTextDocument>

namespace vardo {

IndexController::IndexController(IndexComboBox *index, TextPane *editor, QObject *parent)
    : QObject(parent), index_(index), editor_(editor)
{
    connect(index, &IndexComboBox::entered, this, &IndexController::rebuild);
    connect(index, &IndexComboBox::entryChanged, this, &IndexController::rebuild);
    connect(index, &IndexComboBox::entryClicked, this, &IndexController::jumpToChoice);
    connect(index, &IndexComboBox::keyPressed, this, [this](int key) {
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !index_->currentText().isEmpty())
            jumpToChoice();
    });
    // Once the caret rests: the search costs a key nothing.
    caretPause_.setSingleShot(true);
    caretPause_.setInterval(50);
    connect(&caretPause_, &QTimer::timeout, this, &IndexController::showCaretDefinition);
    connect(editor, &QPlainTextEdit::cursorPositionChanged, &caretPause_, qOverload<>(&QTimer::start));
}

void IndexController::rebuild()
{
    index_->clear();
    QStringList entries;
    // The raw text, without turning every paragraph end into CR LF: a large file's index is
    // built without a second copy of its text.
    for (const std::u16string &entry : edit::scanFunctionIndex(u16view(editor_->document()->toRawText())))
        entries << fromU16(entry);
    index_->addItems(entries);
    for (int row = 0; row < entries.size(); ++row)
        index_->setItemData(row, fromU16(edit::indexEntryName(u16view(entries[row]))), IndexComboBox::kNameRole);
    index_->setCurrentIndex(-1);
}

void IndexController::showCaretDefinition()
{
    QTextBlock block = editor_->textCursor().block();
    for (int seen = 0; block.isValid() && seen < kCaretSearchLines; ++seen, block = block.previous()) {
        const QString line = block.text();
        const std::u16string entry = edit::indexEntryOf(u16view(line).substr(0, text::kLineReadLimit));
        if (!entry.empty()) {
            index_->setPlaceholderText(fromU16(entry).trimmed());
            return;
        }
    }
    index_->setPlaceholderText({});
}

void IndexController::jumpToChoice()
{
    const QString what = index_->currentText();
    const long long found = editor_->findText(what, 0, editor_->textLength());
    if (found >= 0) {
        editor_->focus();
        editor_->setSelStart(found);
        editor_->setSelLength(what.size());
        editor_->placeCaretInUpperThird();
    }
    editor_->focus();
}

} // namespace vardo
