#pragma once

#include <QString>
#include <string>

// Writing a pane back to its file without writing over another program's save of it.
namespace vardo {

class TextPane;

enum class WriteBack {
    Written,
    // Nothing to write: the pane holds no edits and its file was removed.
    NotNeeded,
    // The pane holds no edits and another program saved the file since: its version stands.
    DiskIsNewer,
    // The file changed on disk and the user chose to drop the pane's edits for that version.
    EditsDiscarded,
    Cancelled,
};

// Writes the pane's text to the file it was loaded from or last written to. A file removed
// meanwhile is written again when the pane holds edits; a file another program saved
// meanwhile is left alone, unless the pane holds edits and the user chooses to overwrite it.
// Throws SaveFailure when the write fails.
WriteBack writeBack(TextPane &pane, const std::string &path);

// Before the pane's edits would be dropped: asks whether to save them to `path` (or, when the
// file changed on disk meanwhile, whether to overwrite it) and does what the user chose. Text
// with no file behind it can only be discarded; `place` names where it is ("the editor"). A
// failed write is shown in the error box. True when the caller may drop the edits.
bool offerToSave(TextPane &pane, const std::string &path, const QString &place);

} // namespace vardo
