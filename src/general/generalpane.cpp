#include "general/generalpane.h"

#include "core/base/console.h"
#include "core/base/paths.h"
#include "doc/qtext.h"
#include "lists/filelistbox.h"
#include "panes/colouring.h"
#include "panes/textpane.h"
#include "panes/writeback.h"
#include "ui/errorbox.h"
#include "ui/question.h"

#include <QPushButton>

namespace vardo {

namespace {

const QString kPlace = QStringLiteral("the pane on the Nav page");

} // namespace

GeneralPane::GeneralPane(Workbench &workbench, FileListBox *files, TextPane *pane, QPushButton *save,
                         QObject *parent)
    : QObject(parent), workbench_(workbench), files_(files), pane_(pane)
{
    connect(files, &FileListBox::fileClicked, this, &GeneralPane::loadSelected);
    connect(save, &QPushButton::clicked, this, [this] { runGuarded([this] { this->save(); }); });
}

void GeneralPane::loadSelected()
{
    const std::string path = files_->selectedFilePath();
    if (path.empty()) {
        workbench_.showPage(Workbench::Page::Nav);
        return;
    }
    load(path);
}

void GeneralPane::load(const std::string &path)
{
    workbench_.showPage(Workbench::Page::Nav);
    const std::string shown = pane_->doc()->path();
    if (!offerToSave(*pane_->doc(), kPlace)) {
        files_->selectFile(shown);
        return;
    }
    try {
        pane_->loadFromFile(path);
        QuakeCColouring::of(pane_)->setOn(isQuakeCFileName(path));
        if (files_->selectedFilePath() != path)
            files_->selectFile(path);
    } catch (const LoadCancelled &) {
        files_->selectFile(shown);
    } catch (const LoadFailure &failure) {
        ConsoleMessage("Load fail!!: ");
        files_->selectFile(shown);
        showErrorBox(QStringLiteral("Could not open %1: %2. The pane keeps its text.")
                         .arg(displayText(path), displayText(failure.reason())));
    }
}

void GeneralPane::save()
{
    Document &document = *pane_->doc();
    const std::string &path = document.path();
    if (path.empty())
        return;
    try {
        switch (writeBack(document)) {
        case WriteBack::DiskIsNewer:
            pane_->reload();
            askUser(QStringLiteral("%1 was changed on disk by another program. Nothing was written; "
                                   "the pane now shows the file as it is on disk.")
                        .arg(displayText(paths::fileNamePart(path))),
                    {Choice::Ok});
            break;
        case WriteBack::EditsDiscarded:
            pane_->reload();
            break;
        default:
            break;
        }
    } catch (const ShownReadOnlyError &refused) {
        showErrorBox(QString::fromStdString(refused.what()));
    } catch (const SaveFailure &failure) {
        ConsoleMessage("Save fail!!: ");
        showErrorBox(QStringLiteral("Could not save %1: %2. The pane keeps your text.")
                         .arg(displayText(path), displayText(failure.reason())));
    } catch (const LoadFailure &failure) {
        ConsoleMessage("Load fail!!: ");
        showErrorBox(QStringLiteral("Could not read %1 again: %2. The pane keeps its text.")
                         .arg(displayText(path), displayText(failure.reason())));
    } catch (const LoadCancelled &) {
    }
}

bool GeneralPane::confirmClose()
{
    if (pane_->doc()->isChanged())
        workbench_.showPage(Workbench::Page::Nav);
    return offerToSave(*pane_->doc(), kPlace);
}

void GeneralPane::reloadOutsideChanges()
{
    reloadIfSavedElsewhere(*pane_);
}

} // namespace vardo
