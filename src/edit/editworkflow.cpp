// Preview on click, open-for-edit with autosave on double click, caret status and the
// modification mark of the Edit tab, which shows while the editor's text differs from its file.
#include "app/form1.h"

#include "ui/notebook.h"
#include "app/sharedstate.h"
#include "ui/errorbox.h"
#include "core/base/paths.h"
#include "doc/qtext.h"
#include "lists/filelistbox.h"
#include "panes/busyload.h"
#include "panes/textpane.h"
#include "panes/writeback.h"

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
        Manager->setTabText(ViewPage, captionText(paths::fileNamePart(path)));
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
    if (!auto_->isChecked() || EditFile.empty() || !vardo->isChanged() || vardo->textLength() == 0 ||
        vardo->isShownReadOnly())
        return true;
    // A question about the editor's text is asked with that text in view.
    if (vardo->diskChangeOf(EditFile) == fileio::DiskChange::Modified)
        Manager->setCurrentIndex(EditPage);
    try {
        switch (writeBack(*vardo, EditFile)) {
        case WriteBack::Written:
            ConsoleMessage(":: Autosaved: " + EditFile);
            LoadFailed = false;
            return true;
        case WriteBack::EditsDiscarded:
            return ReloadEditor();
        case WriteBack::Cancelled:
            return false;
        default:
            return true;
        }
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

namespace {

// A load into the editor failed and changed nothing: the console hears of it and the user is
// told what and why.
void reportLoadFailure(const QString &what, const std::string &path, const LoadFailure &failure)
{
    ConsoleMessage("Load fail!!: ");
    LoadFailed = true;
    showErrorBox(what.arg(displayText(path)) + QStringLiteral(": %1. The editor keeps its text.")
                                                   .arg(displayText(failure.reason())));
}

} // namespace

bool TForm1::ReloadEditor()
{
    try {
        vardo->reloadFromFile(EditFile);
    } catch (const LoadCancelled &) {
        return false;
    } catch (const LoadFailure &failure) {
        reportLoadFailure(QStringLiteral("Could not read %1 again"), EditFile, failure);
        return false;
    }
    RebuildFunctionIndex();
    return true;
}

// The new file is read before anything else changes, so that a file that cannot be read
// leaves the editor, its file and the captions as they were.
bool TForm1::OpenForEdit(const std::string &path)
{
    TextPane::PaneFile file;
    try {
        file = vardo->readForLoad(path);
    } catch (const LoadCancelled &) {
        return false;
    } catch (const LoadFailure &failure) {
        reportLoadFailure(QStringLiteral("Could not open %1"), path, failure);
        return false;
    }
    // Text typed with no file behind it has nowhere to be saved: it is dropped only when the
    // user says so.
    if (EditFile.empty() && vardo->textLength() > 0 &&
        !offerToSave(*vardo, EditFile, QStringLiteral("the editor")))
        return false;
    if (!AutosaveEditor())
        return false;
    const int page = Manager->currentIndex();
    Manager->setCurrentIndex(EditPage);
    try {
        vardo->applyFile(path, file);
    } catch (const LoadCancelled &) {
        Manager->setCurrentIndex(page);
        return false;
    }
    RebuildFunctionIndex();
    LoadFailed = false;
    EditFile = path;
    ShowModificationMark();
    return true;
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

void TForm1::ShowModificationMark()
{
    const QString name = captionText(paths::fileNamePart(EditFile));
    if (vardo->isChanged())
        Manager->setTabText(EditPage, QStringLiteral("[ &Edit ") + name + QStringLiteral("]"));
    else
        Manager->setTabText(EditPage, EditFile.empty() ? QStringLiteral("&Edit") : name);
}

} // namespace vardo
