#pragma once

#include <QString>
#include <string>

// Writing a document back to its file without writing over another program's save of it
// unasked.
namespace vardo {

class Document;
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

// Writes the document's text to its file. A file removed meanwhile is written again when the
// text holds edits; a file another program saved meanwhile is left alone, unless the text
// holds edits and the user chooses to overwrite it. Throws SaveFailure when the write fails.
WriteBack writeBack(Document &document);

// Before the document's edits would be dropped: asks whether to save them to its file (or,
// when the file changed on disk meanwhile, whether to overwrite it) and does what the user
// chose. Text with no file behind it can only be discarded; `place` names where it is ("the
// editor"). A failed write is shown in the error box. True when the caller may drop the edits.
bool offerToSave(Document &document, const QString &place);

// Loads a pane's file again when another program saved it and the pane holds no edits. A file
// that cannot be read now is left for the next save to report. True when it was loaded.
bool reloadIfSavedElsewhere(TextPane &pane);

} // namespace vardo
