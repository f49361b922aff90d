#include "edit/indexcontroller.h"

#include "core/qc/functionindex.h"
#include "doc/qtext.h"
#include "lists/indexcombobox.h"
#include "panes/textpane.h"

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
    index_->setCurrentIndex(-1);
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
