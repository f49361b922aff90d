// The project's symbols in the window: the index follows the working directory, the editor's
// jumps go through the window's way of going to a place.
#include "app/form1.h"

#include "app/notebook.h"
#include "app/sharedstate.h"
#include "edit/symbolnavigator.h"
#include "nav/directorylistbox.h"
#include "panes/textpane.h"

#include <QTextBlock>

namespace vardo {

void TForm1::bindSymbolEvents()
{
    symbols = new SymbolNavigator(*this);
    symbols->goToPlace = [this](const std::string &path, int line, int column) {
        if (path != EditFile && !OpenForEdit(path))
            return false;
        Manager->setCurrentIndex(EditPage);
        QTextCursor cursor(vardo->document()->findBlockByNumber(line - 1));
        cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column - 1);
        vardo->setTextCursor(cursor);
        vardo->placeCaretInUpperThird();
        vardo->focus();
        ShowCaretPosition();
        return true;
    };
    symbols->directoryChanged(dir->directory());
}

} // namespace vardo
