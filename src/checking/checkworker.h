#pragma once

#include "core/check/projectchecker.h"
#include "lists/outputlist.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vardo {

// One check asked of the worker: the edited file's text against the project that `folder`
// belongs to.
struct CheckRequest {
    unsigned long long generation = 0;
    std::string folder;
    std::string path;      // empty: no file is edited, only the project is checked
    QString text;          // the editor's raw text
    bool wholeProject = false; // read and check every file again first
    bool tooLarge = false;     // the edited text is too large to check; `text` stays empty
};

// What a check found: the edited file's diagnostics for its marks, the project's as rows.
struct CheckResult {
    unsigned long long generation = 0;
    std::string path;
    std::vector<qc::Diagnostic> file;
    std::vector<OutputRow> rows;
    int errors = 0;
    int warnings = 0;
    QString failure; // why the project could not be read; empty when it was
};

// Runs checks on a thread of its own with a checker only it uses while a check runs; the
// answers come back to the thread that made the worker through `done`.
class CheckWorker : public QObject {
    Q_OBJECT

public:
    // The most rows the project's problems take.
    static constexpr std::size_t kMaxRows = OutputList::kMaxRows;

    explicit CheckWorker(std::function<void(CheckResult)> done, QObject *parent = nullptr);
    ~CheckWorker() override;

    // Queues a check; the last result comes back through `done` on the worker's owner thread.
    void check(CheckRequest request);

    // Asked of the finished check of `generation`, answered only when that check was the last
    // and no other runs: never waits.
    std::optional<check::Declaration> declarationAt(unsigned long long generation, const std::string &path, int line,
                                                    int column);
    std::vector<check::Place> usesOf(unsigned long long generation, const check::Declaration &declaration);

private:
    CheckResult run(const CheckRequest &request);

    std::function<void(CheckResult)> done_;
    QThread thread_;
    QObject *context_; // lives on thread_: the checks queued to it run there
    std::mutex checking_;
    std::unique_ptr<check::ProjectChecker> checker_;
    std::string editedPath_;
    unsigned long long checked_ = 0; // the generation of the last finished check
    std::vector<qc::Diagnostic> all_;
};

} // namespace vardo
