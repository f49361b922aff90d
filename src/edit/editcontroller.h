#pragma once

#include "workbench/workbench.h"

#include <QObject>
#include <string>

class QCheckBox;
class QLabel;
class QStatusBar;

namespace vardo {

class Document;
class FileListBox;
class TextPane;

// The widgets the editing workflow works with.
struct EditWidgets {
    FileListBox *qcFiles;  // a click previews, a double click opens for editing
    TextPane *editor;
    TextPane *preview;
    QStatusBar *status;    // the caret's line and the line count
    QLabel *saveStatus;    // what the last save did
    QCheckBox *autosave;   // whether the edited text is written back before another is opened
};

// Preview on click, open-for-edit with the autosave on double click, the caret status and the
// modification mark of the Edit tab (shown while the editor's text differs from its file), and
// going to a place in a file.
class EditController : public QObject {
    Q_OBJECT

public:
    EditController(Workbench &workbench, const EditWidgets &widgets, QObject *parent = nullptr);

    Document &document() const;

    // Shows the file selected in the QuakeC list in the preview.
    void preview();
    // The open-for-edit of a double click, for any path: the autosave, then the load into the
    // editor. False when it did not open.
    bool openForEdit(const std::string &path);
    // Writes the editor's text back to its file as the open-for-edit does before it loads:
    // only a changed text, and never over another program's save without asking. False when
    // the text could not be written or the user cancelled, and the caller must stop.
    bool autosave();
    // Loads the edited file again, keeping the caret's place; false, with the error box, when
    // it cannot be read.
    bool reload();
    // Goes to a line (from 1) and column (from 1; 0: none) of a file, its path absolute or
    // relative to the current directory: opens it for editing unless it is the edited file (a
    // file outside the project read-only: only the file lists open such a file for editing),
    // selects the line from the column on, places it in the upper third and shows the caret
    // position. A missing file gets the error box. False when the editor did not get there.
    bool goToPlace(const std::string &path, int line, int column);
    // Writes a changed text to its file when the user asks (Ctrl+S), whatever "autosave edit"
    // says and also when the text was emptied, with the same care for outside changes as the
    // autosave; says what it did for a few seconds beside the caret status.
    void save();
    // Offers to save a changed text before the window closes; false when it must stay open.
    bool confirmClose();
    // Loads the edited file again when another program saved it and the editor holds no edits.
    void reloadOutsideChanges();

    void showCaretPosition();
    // The Edit tab shows the file's name (its path below the project root), marked while the
    // editor's text is changed.
    void showModificationMark();
    // A file was opened or the current directory changed, and with it perhaps the project's
    // root: tabs name files below the new one.
    void followProjectRoot();

signals:
    // The editor holds a text newly read from its file.
    void textLoaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool open(const std::string &path, bool outsideProject);
    void tellSaved(const QString &what);
    // How a tab names a file: by its path below the project root, else by its name.
    std::string tabName(const std::string &path) const;

    Workbench &workbench_;
    EditWidgets widgets_;
    // The root tabs name files below, found again by a load or a change of directory: finding
    // it reads the folders above, and the mark changes with every undo back to the saved text.
    std::string tabRoot_;
    // The file an open is about to load into the editor.
    std::string opening_;
    int savesTold_ = 0;
    // What the status last showed; nothing at first.
    struct {
        int line = -1, lines = -1;
    } shownCaret_;
};

} // namespace vardo
