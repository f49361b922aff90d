#pragma once

#include "lists/namelist.h"

#include <string>

namespace vardo {

// A list of the ordinary files of one directory that match a mask, sorted without regard to
// case. Raises its click event on every user selection, its change event after a click that
// changed the selected index and after every read, and its double-click event after the click
// handling of the press that began the double click.
class FileListBox : public NameList {
    Q_OBJECT

public:
    FileListBox(const std::string &mask, QWidget *parent = nullptr);

    const std::string &directory() const { return directory_; }
    const std::string &mask() const { return mask_; }
    // Moves the list to a directory, which becomes the process's current directory.
    void setDirectory(const std::string &path);
    // The full path of the selected entry, or empty when none is selected.
    std::string selectedFilePath() const;
    // The index of the selected entry, or -1.
    int selectedIndex() const;
    // Selects the entry of a file, or nothing when the list does not show that file.
    void selectFile(const std::string &path);
    // Reads the entries again (done when the list is first shown and on every directory change).
    void read();
    // Reads the entries again and keeps the selected entry selected while it is there, with
    // no event, as when the files change under the list.
    void refresh();

signals:
    void fileClicked();
    void fileChanged();
    void fileDoubleClicked();

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void raiseClick();
    void raiseChange();

    std::string directory_;
    std::string mask_;
    int lastIndex_ = -1;
    bool shown_ = false;
};

// Makes a directory the process's current directory and returns it as the system reports it.
// Throws IoError when it cannot be entered.
std::string enterDirectory(const std::string &path);

} // namespace vardo
