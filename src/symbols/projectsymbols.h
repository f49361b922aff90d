#pragma once

#include "core/qc/sourcelist.h"
#include "core/qc/symbols.h"

#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QFileSystemWatcher;
class QThreadPool;

namespace vardo {

// The symbol index of the working directory's project, kept up to date off the window's
// thread: built on a change of directory, brought up to date when a file of the project is
// written, and for the edited file from the editor's text. Until the first build lands the
// index is empty; the window never waits for it.
class ProjectSymbols : public QObject {
    Q_OBJECT

public:
    explicit ProjectSymbols(QObject *parent = nullptr);
    ~ProjectSymbols() override;

    // Reads the directory's project anew; `editedFile` chooses among several source lists.
    void setDirectory(const std::string &directory, const std::string &editedFile);
    // The edited file changed: with several lists, the project may be another one.
    void setEditedFile(const std::string &editedFile);
    // Re-indexes a file of the project from a text that is newer than the disk's.
    void updateFile(const std::string &path, std::string text);
    // The same from the editor's text as its document holds it (paragraphs end in U+2029).
    void updateFromEditor(const std::string &path, const QString &editorText);
    // The same, read and scanned off the window's thread: a large file is not scanned while the
    // user waits. A later update of the file wins over one still running.
    void updateFromEditorInBackground(const std::string &path, QString editorText);
    // An update in the background has not landed yet.
    bool backgroundUpdatePending() const { return backgroundPending_; }

    const qc::SymbolIndex &index() const { return index_; }
    const std::string &directory() const { return directory_; }
    // The project's source list; empty when none is read yet.
    const qc::SourceList &project() const { return project_; }
    bool building() const { return worker_.joinable() && !landed_; }

signals:
    // A build landed: the index is that of the current directory.
    void rebuilt();
    // An update in the background came back from its scan, whether it landed or a newer text
    // had taken its place meanwhile.
    void backgroundUpdateDone();

private:
    struct Result;
    void startBuild();
    void land(std::shared_ptr<Result> result);
    void landBackgroundUpdate(unsigned generation, const std::string &path, std::string text,
                              qc::FileSymbols symbols);
    void fileChanged(const QString &path);
    void directoryChanged();
    void watchProject();
    // The index's own spelling of a path written another way (through a link, say).
    std::string indexPathOf(const std::string &path) const;

    std::string directory_;
    std::string editedFile_;
    std::vector<qc::SourceList> projects_;
    qc::SourceList project_;
    qc::SymbolIndex index_;
    std::map<std::string, std::string> byCanonicalPath_;
    // Texts that arrived while a build was running, applied when it lands.
    std::map<std::string, std::string> pending_;
    std::thread worker_;
    bool landed_ = true;
    bool again_ = false; // another build was asked for while one was running
    QFileSystemWatcher *watcher_;
    // One thread for the editor's texts, in the order they come; only the newest lands.
    QThreadPool *scanner_;
    unsigned updateGeneration_ = 0;
    bool backgroundPending_ = false;
};

} // namespace vardo
