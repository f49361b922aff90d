// The general pane: any file of the directory loaded with a click, saved with a button. Edits
// are never dropped without a question, and failures are shown, not only sent to the console.
#include "app/form1.h"

#include "ui/notebook.h"
#include "app/sharedstate.h"
#include "ui/errorbox.h"
#include "core/base/paths.h"
#include "doc/qtext.h"
#include "ui/question.h"
#include "panes/colouring.h"
#include "lists/filelistbox.h"
#include "panes/busyload.h"
#include "panes/textpane.h"
#include "panes/writeback.h"

namespace vardo {

void TForm1::listadoClick()
{
    Manager->setCurrentIndex(NavPage);
    const std::string path = listado->selectedFilePath();
    if (path.empty())
        return;
    if (!offerToSave(*test, GeneralFile, QStringLiteral("the pane on the Nav page"))) {
        listado->selectFile(GeneralFile);
        return;
    }
    try {
        test->loadFromFile(path);
        QuakeCColouring::of(test)->setOn(isQuakeCFileName(path));
        GeneralFile = path;
        LoadFailed = false;
    } catch (const LoadCancelled &) {
        listado->selectFile(GeneralFile);
    } catch (const LoadFailure &failure) {
        ConsoleMessage("Load fail!!: ");
        LoadFailed = true;
        listado->selectFile(GeneralFile);
        showErrorBox(QStringLiteral("Could not open %1: %2. The pane keeps its text.")
                         .arg(displayText(path), displayText(failure.reason())));
    }
}

void TForm1::salvamanClick()
{
    if (GeneralFile.empty())
        return;
    try {
        switch (writeBack(*test, GeneralFile)) {
        case WriteBack::DiskIsNewer:
            test->reloadFromFile(GeneralFile);
            askUser(QStringLiteral("%1 was changed on disk by another program. Nothing was written; "
                                   "the pane now shows the file as it is on disk.")
                        .arg(displayText(paths::fileNamePart(GeneralFile))),
                    {Choice::Ok});
            break;
        case WriteBack::EditsDiscarded:
            test->reloadFromFile(GeneralFile);
            break;
        default:
            break;
        }
    } catch (const ShownReadOnlyError &refused) {
        showErrorBox(QString::fromStdString(refused.what()));
    } catch (const SaveFailure &failure) {
        ConsoleMessage("Save fail!!: ");
        showErrorBox(QStringLiteral("Could not save %1: %2. The pane keeps your text.")
                         .arg(displayText(GeneralFile), displayText(failure.reason())));
    } catch (const LoadFailure &failure) {
        ConsoleMessage("Load fail!!: ");
        showErrorBox(QStringLiteral("Could not read %1 again: %2. The pane keeps its text.")
                         .arg(displayText(GeneralFile), displayText(failure.reason())));
    } catch (const LoadCancelled &) {
    }
}

} // namespace vardo
