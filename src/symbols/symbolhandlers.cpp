// The project's symbols in the window: the index follows the working directory, jumps go
// through the window's way to a place, and the uses of a name fill the output list.
#include "app/form1.h"

#include "lists/outputlist.h"
#include "symbols/projectsymbols.h"
#include "symbols/symbolnavigator.h"
#include "lists/directorylistbox.h"

namespace vardo {

void TForm1::bindSymbolEvents()
{
    symbols = new SymbolNavigator(*this);
    symbols->goToPlace = [this](const std::string &path, int line, int column) {
        return GoToPlace(path, line, column);
    };
    symbols->showReferences = [this](const QString &heading, const std::vector<qc::Reference> &uses) {
        std::vector<OutputRow> rows;
        rows.reserve(uses.size());
        for (const qc::Reference &use : uses) {
            OutputRow row;
            row.text = QStringLiteral("%1:%2: %3")
                           .arg(shownPath(use.place.path, symbols->symbols().directory()))
                           .arg(use.place.line + 1)
                           .arg(fromBytes(use.lineText));
            row.file = use.place.path;
            row.line = static_cast<int>(use.place.line) + 1;
            row.column = static_cast<int>(use.place.column) + 1;
            rows.push_back(std::move(row));
        }
        output->showResult(heading, std::move(rows));
    };
    // The output list's jumps join the walk back and forth.
    if (const auto goTo = output->onGoTo)
        output->onGoTo = [this, goTo](const OutputRow &row) { symbols->recordJump([&] { goTo(row); }); };
    symbols->directoryChanged(dir->directory());
}

} // namespace vardo
