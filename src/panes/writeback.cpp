#include "panes/writeback.h"

#include "ui/errorbox.h"
#include "core/base/paths.h"
#include "doc/qtext.h"
#include "ui/question.h"
#include "panes/textpane.h"

namespace vardo {

namespace {

QString nameOf(const std::string &path)
{
    return displayText(paths::fileNamePart(path));
}

} // namespace

WriteBack writeBack(TextPane &pane, const std::string &path)
{
    const fileio::DiskChange change = pane.diskChangeOf(path);
    if (!pane.isChanged() && change == fileio::DiskChange::Removed)
        return WriteBack::NotNeeded;
    if (change == fileio::DiskChange::Modified) {
        if (!pane.isChanged())
            return WriteBack::DiskIsNewer;
        const QString question = QStringLiteral("%1 was changed on disk since it was opened. Overwrite it "
                                                "with your version?")
                                     .arg(nameOf(path));
        switch (askUser(question, {Choice::Overwrite, Choice::DiscardMyEdits, Choice::Cancel})) {
        case Choice::Overwrite:
            break;
        case Choice::DiscardMyEdits:
            return WriteBack::EditsDiscarded;
        default:
            return WriteBack::Cancelled;
        }
    }
    pane.saveToFile(path);
    return WriteBack::Written;
}

bool offerToSave(TextPane &pane, const std::string &path, const QString &place)
{
    if (!pane.isChanged())
        return true;
    if (path.empty())
        return askUser(QStringLiteral("Discard the text in %1?").arg(place), {Choice::Discard, Choice::Cancel}) ==
               Choice::Discard;
    if (pane.diskChangeOf(path) != fileio::DiskChange::Modified) {
        const Choice choice = askUser(QStringLiteral("Save changes to %1?").arg(nameOf(path)),
                                      {Choice::Save, Choice::Discard, Choice::Cancel});
        if (choice != Choice::Save)
            return choice == Choice::Discard;
    }
    try {
        return writeBack(pane, path) != WriteBack::Cancelled;
    } catch (const SaveFailure &failure) {
        showErrorBox(QStringLiteral("Could not save %1: %2. Your text stays in %3.")
                         .arg(displayText(path), displayText(failure.reason()), place));
        return false;
    }
}

} // namespace vardo
