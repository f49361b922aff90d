#pragma once

#include <QObject>
#include <map>
#include <set>
#include <string>

class QSocketNotifier;

namespace vardo {

// Tells of changes to the files of a set of folders with one watch per folder: a watch per file
// would make a project of many thousands of files slow to watch and use up the system's watches.
class FolderWatcher : public QObject {
    Q_OBJECT

public:
    explicit FolderWatcher(QObject *parent = nullptr);
    ~FolderWatcher() override;

    // Watches these folders and no others.
    void watch(const std::set<std::string> &folders);
    std::size_t watchCount() const { return folders_.size(); }

signals:
    // A file in a watched folder was written, made, removed or renamed; its path is the folder
    // as given to watch(), a slash and the file's name.
    void fileChanged(const std::string &path);
    // An entry of a watched folder came, went or was renamed.
    void entriesChanged(const std::string &folder);
    // The system dropped changes it could not queue: any file may have changed.
    void changesLost();

private:
    void readEvents();

    int descriptor_;
    QSocketNotifier *notifier_ = nullptr;
    // The watched folders by their watch.
    std::map<int, std::string> folders_;
};

} // namespace vardo
