// Going to a place in a file: a diagnostic of the compiler, a definition, a reference.
#include "app/form1.h"

#include "ui/notebook.h"
#include "app/sharedstate.h"
#include "ui/errorbox.h"
#include "core/base/paths.h"
#include "doc/qtext.h"
#include "panes/textpane.h"

#include <QTextBlock>

namespace vardo {

namespace {

// Selects a line (from 1; past the end: the last line) from the column (from 1; 0: its start)
// to its end.
void selectLine(TextPane *pane, int line, int column)
{
    const int lines = std::max(1, pane->lineCount());
    const QTextBlock block = pane->document()->findBlockByNumber(std::clamp(line, 1, lines) - 1);
    const int length = block.length() - 1;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + length);
    cursor.setPosition(block.position() + std::clamp(column - 1, 0, length), QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
}

} // namespace

bool TForm1::GoToPlace(const std::string &path, int line, int column)
{
    const std::string target = paths::canonical(path);
    if (EditFile.empty() || paths::canonical(EditFile) != target) {
        if (!paths::isRegularFile(target)) {
            showErrorBox(QStringLiteral("Cannot open file ") + displayText(target));
            return false;
        }
        if (!OpenForEdit(target))
            return false;
    }
    Manager->setCurrentIndex(EditPage);
    selectLine(vardo, line, column);
    vardo->placeCaretInUpperThird();
    vardo->focus();
    ShowCaretPosition();
    return true;
}

} // namespace vardo
