#include "checking/checkworker.h"

#include "core/qc/sourcelist.h"
#include "core/text/textmodel.h"
#include "doc/qtext.h"

#include <algorithm>
#include <filesystem>

namespace vardo {

namespace {

std::string normal(const std::string &path)
{
    return std::filesystem::absolute(std::filesystem::path(path)).lexically_normal().native();
}

OutputRow problemRow(const qc::Diagnostic &d, const std::string &root)
{
    OutputRow row;
    const std::string shown = std::filesystem::path(d.file).lexically_relative(root).native();
    row.text = QStringLiteral("%1:%2:%3: %4: %5")
                   .arg(displayText(shown.empty() ? d.file : shown))
                   .arg(d.line)
                   .arg(d.column)
                   .arg(d.severity == qc::Severity::Error ? QStringLiteral("error") : QStringLiteral("warning"),
                        QString::fromStdString(qc::shownText(d.message)));
    row.severity = d.severity;
    row.file = d.file;
    row.line = d.line;
    row.column = d.column;
    return row;
}

} // namespace

CheckWorker::CheckWorker(std::function<void(CheckResult)> done, QObject *parent)
    : QObject(parent), done_(std::move(done)), context_(new QObject)
{
    thread_.setObjectName(QStringLiteral("checker"));
    context_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.start(QThread::LowPriority);
}

CheckWorker::~CheckWorker()
{
    thread_.quit();
    thread_.wait();
}

void CheckWorker::check(CheckRequest request)
{
    QMetaObject::invokeMethod(context_, [this, request = std::move(request)] {
        CheckResult result = run(request);
        QMetaObject::invokeMethod(this, [this, result = std::move(result)]() mutable { done_(std::move(result)); });
    });
}

CheckResult CheckWorker::run(const CheckRequest &request)
{
    const std::lock_guard lock(checking_);
    CheckResult result;
    result.generation = request.generation;
    result.path = request.path.empty() ? std::string() : normal(request.path);
    if (request.tooLarge) {
        // Nothing of the project is checked meanwhile, so nothing stale is answered.
        checker_.reset();
        all_.clear();
        checked_ = 0;
        result.failure = QString::fromStdString(check::tooLargeToCheck(result.path));
        return result;
    }
    std::string text = text::encodeLines(u16view(request.text), text::kParagraphSeparator, "\n");
    // Finding the root reads the folders above: here rather than on the window's thread.
    const std::string root = qc::findProjectRoot(request.folder);
    try {
        // An unlisted file leaves the project with its editor: the project is read again.
        if (!checker_ || checker_->root() != root || request.wholeProject || result.path != editedPath_) {
            checker_.reset();
            all_.clear();
            auto checker = std::make_unique<check::ProjectChecker>(root);
            std::map<std::string, std::string> open;
            if (!result.path.empty())
                open.emplace(result.path, text);
            all_ = checker->checkAll(open);
            checker_ = std::move(checker);
            editedPath_ = result.path;
        }
        if (!result.path.empty()) {
            result.file = checker_->checkFile(result.path, std::move(text));
            std::erase_if(all_, [&](const qc::Diagnostic &d) { return d.file == result.path; });
            all_.insert(all_.end(), result.file.begin(), result.file.end());
        }
    } catch (const std::exception &e) {
        result.failure = QString::fromStdString(e.what());
    }
    checked_ = checker_ ? request.generation : 0;
    for (const qc::Diagnostic &d : all_) {
        (d.severity == qc::Severity::Error ? result.errors : result.warnings)++;
        if (result.rows.size() < kMaxRows)
            result.rows.push_back(problemRow(d, root));
    }
    return result;
}

std::optional<check::Declaration> CheckWorker::declarationAt(unsigned long long generation, const std::string &path,
                                                             int line, int column)
{
    const std::unique_lock lock(checking_, std::try_to_lock);
    if (!lock.owns_lock() || !checker_ || checked_ != generation)
        return std::nullopt;
    return checker_->declarationAt(path, line, column);
}

std::vector<check::Place> CheckWorker::usesOf(unsigned long long generation, const check::Declaration &declaration)
{
    const std::unique_lock lock(checking_, std::try_to_lock);
    if (!lock.owns_lock() || !checker_ || checked_ != generation)
        return {};
    return checker_->usesOf(declaration);
}

} // namespace vardo
