#pragma once

#include <QObject>
#include <string>

class QAction;
class QMenu;

namespace vardo {

class DirectoryListBox;
class DriveComboBox;
class FileListBox;

// The widgets of moving through the file system and acting on its files.
struct NavigationWidgets {
    DriveComboBox *volumes;
    DirectoryListBox *directories;
    FileListBox *qcFiles;
    FileListBox *allFiles;
    QMenu *qcMenu;
    QAction *openWithNotepad;
    QMenu *allMenu;
    QAction *shellOpen;
    QAction *exploreFolder;
};

// How the volume selector, the directory list and the file lists follow each other, and the
// context menus of the file lists.
class NavigationController : public QObject {
    Q_OBJECT

public:
    NavigationController(const NavigationWidgets &widgets, QObject *parent = nullptr);

    // Reads both file lists again, keeping their selections, as when files changed under them.
    void refreshLists();

signals:
    // The working directory changed; the lists show it already.
    void directoryChanged(const std::string &directory);

private:
    void volumeChosen();
    void directoryEntered();
    void openWithNotepad();
    void shellOpen();
    void exploreFolder();

    NavigationWidgets widgets_;
};

} // namespace vardo
