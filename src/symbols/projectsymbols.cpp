#include "symbols/projectsymbols.h"

#include "core/files/fileio.h"
#include "core/text/textmodel.h"
#include "doc/document.h"
#include "doc/qtext.h"
#include "symbols/folderwatcher.h"

#include <QThreadPool>
#include <filesystem>
#include <sys/stat.h>
#include <type_traits>
#include <unordered_map>

namespace vardo {

namespace {

std::string readSource(const std::string &path)
{
    return fileio::readWholeFile(path, Document::kCapacity);
}

// The bytes of the file the editor's text would be written as, with line feeds for its
// paragraph ends.
std::string editorBytes(QString editorText)
{
    return text::encodeCp1252(u16view(withLineFeeds(std::move(editorText))));
}

std::string canonicalPath(const std::string &path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.native();
}

// The canonical paths of a project's files, which share a few folders: each folder is resolved
// once, and a file that is no link keeps its name in it. Resolving every file on its own
// took a dozen system calls each, on the build's last stretch, which runs on one thread.
class CanonicalPaths {
public:
    std::string of(const std::string &path)
    {
        const std::filesystem::path file(path);
        struct stat st {};
        if (!file.has_parent_path() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return canonicalPath(path);
        auto [folder, added] = folders_.try_emplace(file.parent_path().native());
        if (added)
            folder->second = canonicalPath(folder->first);
        return (std::filesystem::path(folder->second) / file.filename()).native();
    }

private:
    std::unordered_map<std::string, std::string> folders_;
};

std::string folderOf(const std::string &canonicalPath)
{
    return std::filesystem::path(canonicalPath).parent_path().native();
}

// What a change of the directory's entries must alter for the project to be read anew: a list
// that comes or goes, or, in a directory without one, a source. Saves come and go through
// temporary files, which alter nothing here.
std::vector<std::string> projectNames(const std::vector<qc::SourceList> &projects)
{
    std::vector<std::string> out;
    for (const qc::SourceList &p : projects)
        out.push_back(p.listFile);
    if (projects.size() == 1 && projects[0].listFile.empty())
        out.insert(out.end(), projects[0].files.begin(), projects[0].files.end());
    return out;
}

} // namespace

struct ProjectSymbols::Result {
    std::vector<qc::SourceList> projects;
    std::size_t chosen = 0;
    qc::SymbolIndex index;
    std::map<std::string, std::string> byCanonicalPath;
    std::set<std::string> folders;
    std::string canonicalDirectory;
    std::string canonicalListFile;
    std::shared_ptr<const std::vector<std::string>> names;
};

struct ProjectSymbols::Reread {
    std::vector<std::pair<std::string, Scanned>> files; // those that could be read
    bool projectChanged = false;
};

template <class T> void ProjectSymbols::discard(T &&value)
{
    auto box = std::make_shared<std::decay_t<T>>(std::forward<T>(value));
    reader_->start([box = std::move(box)]() mutable { box.reset(); });
}

ProjectSymbols::ProjectSymbols(QObject *parent)
    : QObject(parent), read_(readSource), watcher_(new FolderWatcher(this)), scanner_(new QThreadPool(this)),
      reader_(new QThreadPool(this))
{
    scanner_->setMaxThreadCount(1);
    reader_->setMaxThreadCount(1);
    connect(watcher_, &FolderWatcher::fileChanged, this, &ProjectSymbols::fileChanged);
    connect(watcher_, &FolderWatcher::entriesChanged, this, [this](const std::string &folder) {
        if (folder == canonicalDirectory_)
            directoryChanged();
    });
    connect(watcher_, &FolderWatcher::changesLost, this, &ProjectSymbols::startBuild);
}

ProjectSymbols::~ProjectSymbols()
{
    scanner_->clear();
    reader_->clear();
    scanner_->waitForDone();
    reader_->waitForDone();
    if (worker_.joinable())
        worker_.join();
}

void ProjectSymbols::setFileReader(qc::ReadFile read)
{
    read_ = std::move(read);
}

void ProjectSymbols::setDirectory(const std::string &directory, const std::string &editedFile)
{
    directory_ = directory;
    editedFile_ = editedFile;
    startBuild();
}

void ProjectSymbols::setEditedFile(const std::string &editedFile, bool fromEditor)
{
    editedFromEditor_ = fromEditor;
    if (editedFile == editedFile_)
        return;
    editedFile_ = editedFile;
    if (projects_.size() > 1 && projects_[qc::chooseProject(projects_, editedFile)].listFile != project_.listFile)
        startBuild();
}

void ProjectSymbols::updateFile(const std::string &path, std::string text)
{
    ++updateGeneration_;
    backgroundPending_ = false;
    qc::FileSymbols symbols = qc::scanSymbols(text);
    apply(path, {std::move(text), std::move(symbols)});
}

void ProjectSymbols::updateFromEditor(const std::string &path, const QString &editorText)
{
    updateFile(path, editorBytes(editorText));
}

void ProjectSymbols::updateFromEditorInBackground(const std::string &path, QString editorText)
{
    const unsigned generation = ++updateGeneration_;
    backgroundPending_ = true;
    scanner_->start([this, generation, path, editorText = std::move(editorText)]() mutable {
        Scanned scanned;
        scanned.text = editorBytes(std::move(editorText));
        scanned.symbols = qc::scanSymbols(scanned.text);
        QMetaObject::invokeMethod(
            this,
            [this, generation, path, scanned = std::move(scanned)]() mutable {
                landBackgroundUpdate(generation, path, std::move(scanned));
            },
            Qt::QueuedConnection);
    });
}

void ProjectSymbols::landBackgroundUpdate(unsigned generation, const std::string &path, Scanned scanned)
{
    if (generation == updateGeneration_) {
        backgroundPending_ = false;
        apply(path, std::move(scanned));
    } else {
        discard(std::move(scanned));
    }
    emit backgroundWorkLanded();
}

void ProjectSymbols::apply(const std::string &path, Scanned scanned)
{
    if (building()) {
        pending_[path] = std::move(scanned);
        return;
    }
    const std::string indexPath = indexPathOf(path);
    if (index_.exchange(indexPath, scanned.text, scanned.symbols)) {
        if (scanned.fromDisk)
            diskTexts_.insert(indexPath);
        else
            diskTexts_.erase(indexPath);
    }
    discard(std::move(scanned));
}

bool ProjectSymbols::holdsDiskText(const std::string &path) const
{
    return diskTexts_.contains(indexPathOf(path));
}

std::string ProjectSymbols::indexPathOf(const std::string &path) const
{
    if (index_.contains(path))
        return path;
    const auto found = byCanonicalPath_.find(canonicalPath(path));
    return found == byCanonicalPath_.end() ? path : found->second;
}

void ProjectSymbols::startBuild()
{
    if (building()) {
        again_ = true;
        return;
    }
    if (worker_.joinable())
        worker_.join();
    landed_ = false;
    again_ = false;
    worker_ = std::thread([this, directory = directory_, edited = editedFile_, read = read_] {
        auto result = std::make_shared<Result>();
        try {
            result->projects = qc::readProjects(directory, read);
            result->chosen = qc::chooseProject(result->projects, edited);
            result->index = qc::SymbolIndex::build(result->projects[result->chosen], read);
            CanonicalPaths canonicalPaths;
            for (const std::string &path : result->index.paths())
                result->byCanonicalPath.emplace(canonicalPaths.of(path), path);
            result->canonicalDirectory = canonicalPath(directory);
            result->folders.insert(result->canonicalDirectory);
            const std::string &listFile = result->projects[result->chosen].listFile;
            if (!listFile.empty()) {
                result->canonicalListFile = canonicalPaths.of(listFile);
                result->folders.insert(folderOf(result->canonicalListFile));
            }
            for (const auto &[canonical, path] : result->byCanonicalPath)
                result->folders.insert(folderOf(canonical));
            result->names = std::make_shared<const std::vector<std::string>>(projectNames(result->projects));
        } catch (const std::exception &) {
            // Out of memory, say: the window keeps working without an index.
            *result = Result{{qc::SourceList{}}, 0, {}, {}, {}, {}, {}, {}};
        }
        QMetaObject::invokeMethod(this, [this, result] { land(result); }, Qt::QueuedConnection);
    });
}

void ProjectSymbols::land(std::shared_ptr<Result> result)
{
    landed_ = true;
    if (again_) {
        discard(std::move(*result));
        startBuild();
        return;
    }
    discard(std::exchange(projects_, std::move(result->projects)));
    project_ = projects_[result->chosen];
    discard(std::exchange(index_, std::move(result->index)));
    const std::vector<std::string> paths = index_.paths();
    diskTexts_ = std::set<std::string>(paths.begin(), paths.end());
    discard(std::exchange(byCanonicalPath_, std::move(result->byCanonicalPath)));
    folders_ = std::move(result->folders);
    canonicalDirectory_ = std::move(result->canonicalDirectory);
    canonicalListFile_ = std::move(result->canonicalListFile);
    projectNames_ = std::move(result->names);
    for (auto &[path, scanned] : pending_)
        apply(path, std::move(scanned));
    pending_.clear();
    watchProject();
    emit rebuilt();
}

void ProjectSymbols::watchProject()
{
    watcher_->watch(folders_);
}

std::size_t ProjectSymbols::watchCount() const
{
    return watcher_->watchCount();
}

void ProjectSymbols::directoryChanged()
{
    directoryChanged_ = true;
    startRereading();
}

void ProjectSymbols::fileChanged(const std::string &canonical)
{
    if (canonical == canonicalListFile_) {
        startBuild();
        return;
    }
    const auto indexed = byCanonicalPath_.find(canonical);
    if (indexed == byCanonicalPath_.end())
        return;
    const std::string &path = indexed->second;
    diskTexts_.erase(path);
    if (editedFromEditor_ && path == indexPathOf(editedFile_))
        return; // the editor's text is newer than any write and is indexed from there
    changedFiles_.insert(path);
    startRereading();
}

void ProjectSymbols::startRereading()
{
    if (rereading_ || (changedFiles_.empty() && !directoryChanged_))
        return;
    rereading_ = true;
    std::shared_ptr<const std::vector<std::string>> names = directoryChanged_ ? projectNames_ : nullptr;
    if (directoryChanged_ && !names)
        names = std::make_shared<const std::vector<std::string>>(); // no build has landed yet
    directoryChanged_ = false;
    reader_->start([this, files = std::exchange(changedFiles_, {}), names = std::move(names), read = read_,
                    directory = directory_] {
        auto reread = std::make_shared<Reread>();
        for (const std::string &path : files) {
            try {
                Scanned scanned;
                scanned.text = read(path);
                scanned.symbols = qc::scanSymbols(scanned.text);
                scanned.fromDisk = true;
                reread->files.emplace_back(path, std::move(scanned));
            } catch (const std::exception &) {
                // A file that went away keeps its last symbols until the next build.
            }
        }
        if (names) {
            try {
                const auto now = qc::readProjects(directory, [](const std::string &) { return std::string(); });
                reread->projectChanged = projectNames(now) != *names;
            } catch (const std::exception &) {
                // Out of memory, say: the project stays as it was read last.
            }
        }
        QMetaObject::invokeMethod(this, [this, reread] { landReread(reread); }, Qt::QueuedConnection);
    });
}

void ProjectSymbols::landReread(std::shared_ptr<Reread> reread)
{
    rereading_ = false;
    const std::string edited = editedFromEditor_ ? indexPathOf(editedFile_) : std::string();
    for (auto &[path, scanned] : reread->files) {
        // Opened for editing since it was written: the editor's text is the newer one.
        if (!edited.empty() && indexPathOf(path) == edited)
            discard(std::move(scanned));
        else
            apply(path, std::move(scanned));
    }
    if (reread->projectChanged)
        startBuild();
    startRereading();
    emit backgroundWorkLanded();
}

} // namespace vardo
