// The general pane: any file of the directory loaded with a click, saved with a button.
#include "app/form1.h"

#include "app/notebook.h"
#include "app/sharedstate.h"
#include "base/errorbox.h"
#include "edit/colouring.h"
#include "nav/filelistbox.h"
#include "panes/busyload.h"
#include "panes/textpane.h"

namespace vardo {

void TForm1::listadoClick()
{
    Manager->setCurrentIndex(NavPage);
    const std::string path = listado->selectedFilePath();
    if (path.empty())
        return;
    try {
        test->loadFromFile(path);
        QuakeCColouring::of(test)->setOn(isQuakeCFileName(path));
        GeneralFile = path;
        LoadFailed = false;
    } catch (const LoadCancelled &) {
    } catch (const std::exception &) {
        ConsoleMessage("Load fail!!: ");
        LoadFailed = true;
    }
}

void TForm1::salvamanClick()
{
    if (GeneralFile.empty())
        return;
    try {
        test->saveToFile(GeneralFile);
    } catch (const ShownReadOnlyError &refused) {
        showErrorBox(QString::fromStdString(refused.what()));
    } catch (const std::exception &) {
        ConsoleMessage("Save fail!!: ");
    }
}

} // namespace vardo
