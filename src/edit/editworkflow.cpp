// Preview on click, open-for-edit with autosave on double click, caret status and the
// modification mark of the Edit tab.
#include "app/form1.h"

#include "app/notebook.h"
#include "app/sharedstate.h"
#include "base/errorbox.h"
#include "base/paths.h"
#include "base/qtext.h"
#include "nav/filelistbox.h"
#include "panes/busyload.h"
#include "panes/textpane.h"

#include <QCheckBox>
#include <QStatusBar>

namespace vardo {

void TForm1::qclistaClick()
{
    const std::string path = qclista->selectedFilePath();
    if (path.empty())
        return;
    try {
        veer->loadFromFile(path);
        veer->setBorder(path == EditFile ? TextPane::Border::Single : TextPane::Border::None);
        Manager->setCurrentIndex(ViewPage);
        Manager->setTabText(ViewPage, displayText(paths::fileNamePart(path)));
        LoadFailed = false;
    } catch (const LoadCancelled &) {
    } catch (const std::exception &) {
        ConsoleMessage("Open fail!!: ");
        LoadFailed = true;
    }
}

void TForm1::qclistaDblClick()
{
    OpenForEdit(qclista->selectedFilePath());
}

bool TForm1::AutosaveEditor()
{
    if (!auto_->isChecked() || EditFile.empty() || LoadFailed || vardo->textLength() == 0 ||
        vardo->isShownReadOnly())
        return true;
    try {
        vardo->saveToFile(EditFile);
        ConsoleMessage(":: Autosaved: " + EditFile);
        LoadFailed = false;
        return true;
    } catch (const SaveFailure &failure) {
        // The editor holds the only copy of the user's work: stay on it and say why.
        ConsoleMessage("Autosaved fail!!: ");
        LoadFailed = true;
        Manager->setCurrentIndex(EditPage);
        showErrorBox(QStringLiteral("Could not save %1: %2. Your text stays in the editor; "
                                    "double-click a file to try again.")
                         .arg(displayText(EditFile), displayText(failure.reason())));
        return false;
    }
}

bool TForm1::OpenForEdit(const std::string &path)
{
    if (!AutosaveEditor())
        return false;
    const int page = Manager->currentIndex();
    Manager->setCurrentIndex(EditPage);
    try {
        vardo->loadFromFile(path);
        RebuildFunctionIndex();
        LoadFailed = false;
        EditFile = path;
        Manager->setTabText(EditPage, displayText(paths::fileNamePart(EditFile)));
        return true;
    } catch (const LoadCancelled &) {
        Manager->setCurrentIndex(page);
        return false;
    } catch (const std::exception &) {
        ConsoleMessage("Load fail!!: ");
        LoadFailed = true;
        EditFile.clear();
        return false;
    }
}

void TForm1::ShowCaretPosition()
{
    const TextPane::Caret caret = vardo->caretPosition();
    editbar->showMessage(QStringLiteral("[%1/%2] - ").arg(caret.line + 1).arg(vardo->lineCount() + 1));
}

void TForm1::codexKeyDown() { ShowCaretPosition(); }

void TForm1::codexMouseDown() { ShowCaretPosition(); }

void TForm1::codexMouseUp() { ShowCaretPosition(); }

void TForm1::vardoEnter() { ShowCaretPosition(); }

void TForm1::vardoExit() { ShowCaretPosition(); }

void TForm1::codexKeyPress()
{
    Manager->setTabText(EditPage, QStringLiteral("[ &Edit ") + displayText(paths::fileNamePart(EditFile)) +
                                      QStringLiteral("]"));
}

} // namespace vardo
