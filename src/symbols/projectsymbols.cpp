#include "symbols/projectsymbols.h"

#include "core/files/fileio.h"
#include "core/text/textmodel.h"
#include "doc/document.h"
#include "doc/qtext.h"

#include <QFileSystemWatcher>
#include <QThreadPool>
#include <filesystem>
#include <QFileInfo>

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
    editorText.replace(QChar(0x2029), u'\n');
    return text::encodeCp1252(u16view(editorText));
}

} // namespace

struct ProjectSymbols::Result {
    std::vector<qc::SourceList> projects;
    std::size_t chosen = 0;
    qc::SymbolIndex index;
    std::map<std::string, std::string> byCanonicalPath;
};

namespace {

std::string canonicalPath(const std::string &path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.native();
}

} // namespace

ProjectSymbols::ProjectSymbols(QObject *parent)
    : QObject(parent), watcher_(new QFileSystemWatcher(this)), scanner_(new QThreadPool(this))
{
    scanner_->setMaxThreadCount(1);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &ProjectSymbols::fileChanged);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &ProjectSymbols::directoryChanged);
}

ProjectSymbols::~ProjectSymbols()
{
    scanner_->clear();
    scanner_->waitForDone();
    if (worker_.joinable())
        worker_.join();
}

void ProjectSymbols::setDirectory(const std::string &directory, const std::string &editedFile)
{
    directory_ = directory;
    editedFile_ = editedFile;
    startBuild();
}

void ProjectSymbols::setEditedFile(const std::string &editedFile)
{
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
    if (building())
        pending_[path] = std::move(text);
    else
        index_.update(indexPathOf(path), std::move(text));
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
        std::string text = editorBytes(std::move(editorText));
        qc::FileSymbols symbols = qc::scanSymbols(text);
        QMetaObject::invokeMethod(
            this,
            [this, generation, path, text = std::move(text), symbols = std::move(symbols)]() mutable {
                landBackgroundUpdate(generation, path, std::move(text), std::move(symbols));
                emit backgroundUpdateDone();
            },
            Qt::QueuedConnection);
    });
}

void ProjectSymbols::landBackgroundUpdate(unsigned generation, const std::string &path, std::string text,
                                          qc::FileSymbols symbols)
{
    if (generation != updateGeneration_)
        return;
    backgroundPending_ = false;
    if (building())
        pending_[path] = std::move(text);
    else
        index_.replace(indexPathOf(path), std::move(text), std::move(symbols));
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
    worker_ = std::thread([this, directory = directory_, edited = editedFile_] {
        auto result = std::make_shared<Result>();
        try {
            result->projects = qc::readProjects(directory, readSource);
            result->chosen = qc::chooseProject(result->projects, edited);
            result->index = qc::SymbolIndex::build(result->projects[result->chosen], readSource);
            for (const std::string &path : result->index.paths())
                result->byCanonicalPath.emplace(canonicalPath(path), path);
        } catch (const std::exception &) {
            // Out of memory, say: the window keeps working without an index.
            *result = Result{{qc::SourceList{}}, 0, {}, {}};
        }
        QMetaObject::invokeMethod(this, [this, result] { land(result); }, Qt::QueuedConnection);
    });
}

void ProjectSymbols::land(std::shared_ptr<Result> result)
{
    landed_ = true;
    if (again_) {
        startBuild();
        return;
    }
    projects_ = std::move(result->projects);
    project_ = projects_[result->chosen];
    index_ = std::move(result->index);
    byCanonicalPath_ = std::move(result->byCanonicalPath);
    for (auto &[path, text] : pending_)
        index_.update(indexPathOf(path), std::move(text));
    pending_.clear();
    watchProject();
    emit rebuilt();
}

void ProjectSymbols::watchProject()
{
    if (!watcher_->files().isEmpty())
        watcher_->removePaths(watcher_->files());
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    QStringList paths{displayText(directory_)};
    if (!project_.listFile.empty())
        paths << displayText(project_.listFile);
    for (const std::string &path : index_.paths())
        paths << displayText(path);
    if (!paths.isEmpty())
        watcher_->addPaths(paths);
}

void ProjectSymbols::directoryChanged()
{
    // Saves come and go through temporary files; only a new or vanished list counts, or, in a
    // directory without one, a new or vanished source.
    const auto names = [](const std::vector<qc::SourceList> &projects) {
        std::vector<std::string> out;
        for (const qc::SourceList &p : projects)
            out.push_back(p.listFile);
        if (projects.size() == 1 && projects[0].listFile.empty())
            out.insert(out.end(), projects[0].files.begin(), projects[0].files.end());
        return out;
    };
    const auto now = qc::readProjects(directory_, [](const std::string &) { return std::string(); });
    if (names(now) != names(projects_))
        startBuild();
}

void ProjectSymbols::fileChanged(const QString &changed)
{
    const std::string path = QFile::encodeName(changed).toStdString();
    // A safe save renames a new file over the old one, which ends the watch: watch it again.
    if (QFileInfo::exists(changed) && !watcher_->files().contains(changed))
        watcher_->addPath(changed);
    if (path == project_.listFile) {
        startBuild();
        return;
    }
    if (path == indexPathOf(editedFile_))
        return; // the editor's text is newer than any write and is indexed from there
    try {
        updateFile(path, readSource(path));
    } catch (const std::exception &) {
        // A file that went away keeps its last symbols until the next build.
    }
}

} // namespace vardo
