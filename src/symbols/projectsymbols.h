#pragma once

#include "core/qc/sourcelist.h"
#include "core/qc/symbols.h"

#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

class QThreadPool;

namespace vardo {

class FolderWatcher;

// The symbol index of the project root's project, kept up to date off the window's thread:
// built on a change of root, brought up to date when a file of the project is
// written, and for the edited file from the editor's text. Until the first build lands the
// index is empty; the window never waits for it. The window's thread reads no file and scans
// no text here but through updateFile(), which the caller keeps to small texts.
class ProjectSymbols : public QObject {
    Q_OBJECT

public:
    explicit ProjectSymbols(QObject *parent = nullptr);
    ~ProjectSymbols() override;

    // Reads the directory's project anew; `editedFile` chooses among several source lists.
    void setDirectory(const std::string &directory, const std::string &editedFile);
    // The edited file changed: with several lists, the project may be another one. With
    // `fromEditor`, its symbols come from the editor's text and writes of it are not read back;
    // without (a text too large to take from the editor), they come from each write of it.
    void setEditedFile(const std::string &editedFile, bool fromEditor = true);
    // Re-indexes a file of the project from a text that is newer than the disk's, scanning it
    // on the caller's thread: for small texts only.
    void updateFile(const std::string &path, std::string text);
    // The same from the editor's text as its document holds it (paragraphs end in U+2029).
    void updateFromEditor(const std::string &path, const QString &editorText);
    // The same, read and scanned off the window's thread: a large file is not scanned while the
    // user waits. A later update of the file wins over one still running.
    void updateFromEditorInBackground(const std::string &path, QString editorText);
    // An update in the background has not landed yet.
    bool backgroundUpdatePending() const { return backgroundPending_; }
    // What reads the project's files (on the background threads only); tests watch it.
    void setFileReader(qc::ReadFile read);

    const qc::SymbolIndex &index() const { return index_; }
    // Whether the index holds the file as the disk has it, as far as the watch tells: read by
    // the last build or again after a write, and taken from no editor since.
    bool holdsDiskText(const std::string &path) const;
    const std::string &directory() const { return directory_; }
    // The project's source list; empty when none is read yet.
    const qc::SourceList &project() const { return project_; }
    bool building() const { return worker_.joinable() && !landed_; }
    // How many folders are watched for changes to the project's files.
    std::size_t watchCount() const;

signals:
    // A build landed: the index is that of the current directory.
    void rebuilt();
    // Work done off the window's thread landed: an editor's text scanned, changed files read
    // again and scanned, the directory read after a change of its entries.
    void backgroundWorkLanded();

private:
    struct Result;
    struct Reread;
    struct Scanned {
        std::string text;
        qc::FileSymbols symbols;
        bool fromDisk = false;
    };
    void startBuild();
    void land(std::shared_ptr<Result> result);
    void landBackgroundUpdate(unsigned generation, const std::string &path, Scanned scanned);
    // Puts a scanned text in the index, or keeps it for the build that is running.
    void apply(const std::string &path, Scanned scanned);
    void fileChanged(const std::string &canonicalPath);
    void directoryChanged();
    // Reads again, off the window's thread, the files and the directory that changed since the
    // last reading started; one reading at a time, which takes all that piled up meanwhile.
    void startRereading();
    void landReread(std::shared_ptr<Reread> reread);
    void watchProject();
    // The index's own spelling of a path written another way (through a link, say).
    std::string indexPathOf(const std::string &path) const;
    // Frees a large value on a background thread.
    template <class T> void discard(T &&value);

    std::string directory_;
    std::string editedFile_;
    bool editedFromEditor_ = true;
    std::vector<qc::SourceList> projects_;
    // What a change of the directory's entries is compared with: the lists, or the sources of a
    // directory without one.
    std::shared_ptr<const std::vector<std::string>> projectNames_;
    qc::SourceList project_;
    qc::SymbolIndex index_;
    std::map<std::string, std::string> byCanonicalPath_;
    // The index's paths whose texts are the disk's (see holdsDiskText).
    std::set<std::string> diskTexts_;
    // The folders of the directory, the list and the indexed files; all canonical.
    std::set<std::string> folders_;
    std::string canonicalDirectory_;
    std::string canonicalListFile_;
    // Texts that arrived while a build was running, applied when it lands.
    std::map<std::string, Scanned> pending_;
    qc::ReadFile read_;
    std::thread worker_;
    bool landed_ = true;
    bool again_ = false; // another build was asked for while one was running
    FolderWatcher *watcher_;
    // One thread for the editor's texts, in the order they come; only the newest lands.
    QThreadPool *scanner_;
    unsigned updateGeneration_ = 0;
    bool backgroundPending_ = false;
    // One thread for reading changed files and the directory again, and for freeing.
    QThreadPool *reader_;
    std::set<std::string> changedFiles_;
    bool directoryChanged_ = false;
    bool rereading_ = false;
};

} // namespace vardo
