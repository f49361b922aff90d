#pragma once

#include <QObject>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
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
    QComboBox *recentRoots; // choosing one enters it
    QLabel *rootName;       // the project root, while it is not the working directory
};

// How the volume selector, the recent project roots, the directory list and the file lists
// follow each other, and the context menus of the file lists.
class NavigationController : public QObject {
    Q_OBJECT

public:
    NavigationController(const NavigationWidgets &widgets, QObject *parent = nullptr);

    // Reads both file lists again, keeping their selections, as when files changed under them.
    void refreshLists();
    // Shows the working directory's project root where it is another folder, and offers the
    // recent roots that are still directories.
    void showProject(const std::string &root, const std::vector<std::string> &recentRoots);

signals:
    // The working directory changed; the lists show it already.
    void directoryChanged(const std::string &directory);

private:
    void volumeChosen();
    void rootChosen(int index);
    void directoryEntered();
    void openWithNotepad();
    void shellOpen();
    void exploreFolder();

    NavigationWidgets widgets_;
};

} // namespace vardo
