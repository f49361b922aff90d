#include "panes/writeback.h"

#include "core/base/paths.h"
#include "doc/document.h"
#include "doc/qtext.h"
#include "panes/textpane.h"
#include "ui/errorbox.h"
#include "ui/question.h"

namespace vardo {

namespace {

QString nameOf(const std::string &path)
{
    return displayText(paths::fileNamePart(path));
}

} // namespace

WriteBack writeBack(Document &document)
{
    // A save raced by another program's keeps both versions and decides again: the text
    // then holds edits and the file changed, so the user is asked.
    for (;;) {
        const SaveDecision decision = document.decideSave();
        switch (decision.plan) {
        case SavePlan::NotNeeded:
            return WriteBack::NotNeeded;
        case SavePlan::DiskIsNewer:
            return WriteBack::DiskIsNewer;
        case SavePlan::AskToOverwrite:
            switch (askUser(QStringLiteral("%1 was changed on disk since it was opened. Overwrite it "
                                           "with your version?")
                                .arg(nameOf(document.path())),
                            {Choice::Overwrite, Choice::DiscardMyEdits, Choice::Cancel})) {
            case Choice::Overwrite:
                break;
            case Choice::DiscardMyEdits:
                return WriteBack::EditsDiscarded;
            default:
                return WriteBack::Cancelled;
            }
            break;
        case SavePlan::Write:
            break;
        }
        try {
            document.save(decision);
            return WriteBack::Written;
        } catch (const SaveRaced &) {
        }
    }
}

bool offerToSave(Document &document, const QString &place)
{
    if (!document.isChanged())
        return true;
    const std::string &path = document.path();
    if (path.empty())
        return askUser(QStringLiteral("Discard the text in %1?").arg(place), {Choice::Discard, Choice::Cancel}) ==
               Choice::Discard;
    if (document.diskChange() != fileio::DiskChange::Modified) {
        const Choice choice = askUser(QStringLiteral("Save changes to %1?").arg(nameOf(path)),
                                      {Choice::Save, Choice::Discard, Choice::Cancel});
        if (choice != Choice::Save)
            return choice == Choice::Discard;
    }
    try {
        return writeBack(document) != WriteBack::Cancelled;
    } catch (const SaveFailure &failure) {
        showErrorBox(QStringLiteral("Could not save %1: %2. Your text stays in %3.")
                         .arg(displayText(path), displayText(failure.reason()), place));
        return false;
    }
}

bool reloadIfSavedElsewhere(TextPane &pane)
{
    const Document &document = *pane.doc();
    if (document.path().empty() || document.isChanged() || document.diskChange() != fileio::DiskChange::Modified)
        return false;
    try {
        pane.reload();
        return true;
    } catch (const LoadFailure &) {
        return false;
    } catch (const LoadCancelled &) {
        return false;
    }
}

} // namespace vardo
