// Keeping the user's work: the questions before the window closes, and the quiet reload of
// files that another program saved while the window was in the background.
#include "app/form1.h"

#include "ui/notebook.h"
#include "app/sharedstate.h"
#include "panes/busyload.h"
#include "panes/textpane.h"
#include "panes/writeback.h"

namespace vardo {

namespace {

// Loads a pane's file again when another program saved it and the pane holds no edits. A file
// that cannot be read now is left for the next save to report.
bool reloadIfSavedElsewhere(TextPane &pane, const std::string &path)
{
    if (path.empty() || pane.isChanged() || pane.diskChangeOf(path) != fileio::DiskChange::Modified)
        return false;
    try {
        pane.reloadFromFile(path);
        return true;
    } catch (const LoadFailure &) {
        return false;
    } catch (const LoadCancelled &) {
        return false;
    }
}

} // namespace

bool TForm1::ConfirmClose()
{
    if (vardo->isChanged())
        Manager->setCurrentIndex(EditPage);
    if (!offerToSave(*vardo, EditFile, QStringLiteral("the editor")))
        return false;
    if (test->isChanged())
        Manager->setCurrentIndex(NavPage);
    return offerToSave(*test, GeneralFile, QStringLiteral("the pane on the Nav page"));
}

void TForm1::ReloadOutsideChanges()
{
    if (reloadIfSavedElsewhere(*vardo, EditFile))
        RebuildFunctionIndex();
    reloadIfSavedElsewhere(*test, GeneralFile);
}

} // namespace vardo
