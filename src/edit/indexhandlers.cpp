// The function index of the editor's text and the jump to a chosen definition.
#include "app/form1.h"

#include "doc/qtext.h"
#include "core/qc/functionindex.h"
#include "lists/indexcombobox.h"
#include "panes/textpane.h"

#include <QTextDocument>

namespace vardo {

void TForm1::RebuildFunctionIndex()
{
    com->clear();
    QStringList entries;
    // The raw text, without turning every paragraph end into CR LF: a large file's index is
    // built without a second copy of its text.
    for (const std::u16string &entry : edit::scanFunctionIndex(u16view(vardo->document()->toRawText())))
        entries << fromU16(entry);
    com->addItems(entries);
    com->setCurrentIndex(-1);
}

void TForm1::JumpToDeclaration()
{
    const QString what = com->currentText();
    const long long found = vardo->findText(what, 0, vardo->textLength());
    if (found >= 0) {
        vardo->focus();
        vardo->setSelStart(found);
        vardo->setSelLength(what.size());
        vardo->placeCaretInUpperThird();
    }
    vardo->focus();
}

void TForm1::codeChange()
{
    RebuildFunctionIndex();
}

void TForm1::comClick()
{
    JumpToDeclaration();
}

void TForm1::comKeyPress(int key)
{
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !com->currentText().isEmpty())
        JumpToDeclaration();
}

} // namespace vardo
