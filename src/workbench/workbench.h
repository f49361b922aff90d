#pragma once

#include <QString>
#include <string>
#include <vector>

namespace vardo {

class Document;
class Settings;
class TextPane;
struct OutputRow;

// What the features ask of the window they live in, and nothing more: the features talk to
// one another through it and through signals, never through the window's widgets.
class Workbench {
public:
    // The pages of the window's main notebook.
    enum class Page { Nav = 0, Edit = 1, View = 2, Help = 3 };

    virtual ~Workbench() = default;

    // Opens a file for editing as a double click does: the edited text is saved first where
    // it must be. False when the file did not open.
    virtual bool openForEdit(const std::string &path) = 0;
    // Loads any file into the general pane as a click in the list of all files does: its
    // edits are offered for saving first.
    virtual void showInGeneralPane(const std::string &path) = 0;
    // Writes the edited text back to its file before something needs the disk to be current
    // (a compile); false when it could not be written or the user cancelled.
    virtual bool saveEditedFile() = 0;
    // Goes to a line (from 1) and column (from 1; 0: none) of a file, opening it for editing
    // unless it is the edited file. False when the editor did not get there.
    virtual bool goToPlace(const std::string &path, int line, int column) = 0;
    // Shows a finished result (references, say) in the output list under the editor.
    virtual void showResult(const QString &heading, std::vector<OutputRow> rows) = 0;
    // The document of the editor.
    virtual Document &editedDocument() = 0;
    // The pane on the page in front: the one the find bar and go to line work on.
    virtual TextPane *frontPane() const = 0;
    virtual Page currentPage() const = 0;
    virtual void showPage(Page page) = 0;
    virtual void setPageCaption(Page page, const QString &caption) = 0;
    virtual std::string workingDirectory() const = 0;
    // What the editor remembers between starts.
    virtual Settings &settings() = 0;
    // The folder of the working directory's project: the nearest at or above it with a source
    // list, else the working directory.
    virtual std::string projectRoot() const = 0;
    // Whether a file belongs to the project: below its folder, or named by its source list.
    virtual bool isInProject(const std::string &path) const = 0;
};

} // namespace vardo
