#pragma once

#include "workbench/workbench.h"

#include <QObject>

class QPushButton;

namespace vardo {

class FileListBox;
class TextPane;

// The general pane: any file of the directory loaded with a click in the list of all files,
// saved with a button. Edits are never dropped without a question, and failures are shown,
// not only sent to the console.
class GeneralPane : public QObject {
    Q_OBJECT

public:
    GeneralPane(Workbench &workbench, FileListBox *files, TextPane *pane, QPushButton *save,
                QObject *parent = nullptr);

    // Loads the file selected in the list, after offering to save the pane's edits.
    void loadSelected();
    // Loads a file, which need not be in the list, after offering to save the pane's edits.
    void load(const std::string &path);
    // Writes the pane back to its file ("Save Man -->").
    void save();
    // Offers to save a changed text before the window closes; false when it must stay open.
    bool confirmClose();
    // Loads the pane's file again when another program saved it and the pane holds no edits.
    void reloadOutsideChanges();

private:
    Workbench &workbench_;
    FileListBox *files_;
    TextPane *pane_;
};

} // namespace vardo
