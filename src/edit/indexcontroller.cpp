#include "edit/indexcontroller.h"

#include "core/qc/functionindex.h"
#include "core/text/textmodel.h"
#include "doc/qtext.h"
#include "doc/textcopy.h"
#include "lists/indexcombobox.h"
#include "panes/textpane.h"

#include <QStandardItemModel>
#include <QTextBlock>
#include <QTextDocument>
#include <QThreadPool>

namespace vardo {

namespace {

// The rows of the index, made where the text is scanned.
QList<QStandardItem *> entryRows(std::u16string_view text)
{
    QList<QStandardItem *> rows;
    for (const std::u16string &entry : edit::scanFunctionIndex(text)) {
        auto *row = new QStandardItem(fromU16(entry));
        row->setData(fromU16(edit::indexEntryName(entry)), IndexComboBox::kNameRole);
        rows << row;
    }
    return rows;
}

} // namespace

IndexController::IndexController(IndexComboBox *index, TextPane *editor, QObject *parent)
    : QObject(parent), index_(index), editor_(editor), copy_(new TextCopy(editor->document(), this)),
      scanner_(new QThreadPool(this))
{
    scanner_->setMaxThreadCount(1);
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

IndexController::~IndexController()
{
    scanner_->clear();
    scanner_->waitForDone();
}

void IndexController::rebuild()
{
    const unsigned rebuild = ++rebuilds_;
    // Just after a load the text is at hand as it was read.
    if (std::shared_ptr<const ShownLines> loaded = editor_->doc()->loadedText()) {
        copy_->cancel();
        const std::u16string_view text = loaded->lines;
        return index(rebuild, text, std::move(loaded));
    }
    copy_->start([this, rebuild](QString text) {
        auto copied = std::make_shared<const QString>(std::move(text));
        const std::u16string_view view = u16view(*copied);
        index(rebuild, view, std::move(copied));
    });
}

void IndexController::index(unsigned rebuild, std::u16string_view text, std::shared_ptr<const void> keep)
{
    if (text.size() <= TextCopy::kSlice)
        return show(rebuild, entryRows(text));
    scanner_->start([this, rebuild, text, keep = std::move(keep)]() mutable {
        QList<QStandardItem *> rows = entryRows(text);
        keep.reset();
        QMetaObject::invokeMethod(
            this, [this, rebuild, rows] { show(rebuild, rows); }, Qt::QueuedConnection);
    });
}

void IndexController::show(unsigned rebuild, const QList<QStandardItem *> &rows)
{
    if (rebuild != rebuilds_) {
        qDeleteAll(rows);
        return;
    }
    index_->clear();
    static_cast<QStandardItemModel *>(index_->model())->invisibleRootItem()->appendRows(rows);
    index_->setCurrentIndex(-1);
    emit rebuilt();
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
