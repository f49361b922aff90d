#pragma once

#include "lists/namelist.h"

#include <string>
#include <vector>

namespace vardo {

class FileListBox;

// The directory list: the path from the root down to the current directory, then its
// subdirectories. A single click or an arrow key only moves the highlight; a double click or
// Enter opens the row. Changing the directory makes it the process's current directory, moves
// the linked file list there, then raises the change event.
class DirectoryListBox : public NameList {
    Q_OBJECT

public:
    explicit DirectoryListBox(QWidget *parent = nullptr);

    const std::string &directory() const { return directory_; }
    void setLinkedFileList(FileListBox *list) { linked_ = list; }
    // Changes the current directory; nothing happens when the path is empty or current.
    // Throws IoError when it cannot be entered or read; nothing changes then.
    void changeDirectory(const std::string &path);
    // The directory a row stands for.
    std::string rowPath(int row) const;
    // Opens a row: the directory list changes to its path.
    void openRow(int row);

signals:
    // After the linked file list moved to the new directory.
    void directoryChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    class Rows;

    Rows *directoryRows() const;
    void rebuildRows(std::vector<std::string> subdirectories);

    std::string directory_;
    // The directories from the root down to the current one: the first rows.
    std::vector<std::string> ancestry_;
    FileListBox *linked_ = nullptr;
    bool built_ = false;
};

} // namespace vardo
