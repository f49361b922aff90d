#pragma once

#include "compile/compiler.h"
#include "core/qc/compileroutput.h"
#include "lists/outputlist.h"
#include "tools/programs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <string>
#include <vector>

namespace vardo {

// One compile at a time in a directory, its output streamed into the output list as it
// arrives (gathered for up to kShowEvery, so that a flood of output is not painted line by
// line) and closed by a summary row. Owned by the window: destroying it stops the compiler.
class CompileRun : public QObject {
    Q_OBJECT

public:
    static constexpr int kShowEvery = 50; // milliseconds

    CompileRun(OutputList *output, QObject *parent);

    // Starts the chosen compiler (or, without a choice, the one found) in `directory`; a
    // compile still running is stopped first. Without a compiler the list says so and `ended`
    // is not emitted.
    void start(const std::string &directory, const build::CompilerChoice &choice);
    bool isRunning() const { return run_.isRunning(); }

signals:
    // After the summary row is shown.
    void ended();

private:
    void show(std::vector<qc::OutputReader::Line> lines);
    void flush();
    void end(tools::CapturedRun::End how, int exitCode, const std::string &error);

    OutputList *output_;
    tools::CapturedRun run_;
    qc::OutputReader reader_;
    std::string directory_;
    std::string program_;
    // fteqcc said what only its old version says.
    bool tooOld_ = false;
    bool isFteqcc_ = false;
    QElapsedTimer clock_;
    // Rows not yet in the list, no more than it keeps, and the timer that brings them.
    std::deque<OutputRow> pending_;
    QTimer flushTimer_;
};

// What the summary adds when Debian's fteqcc cannot compile the mod.
inline constexpr const char *kNeedsNewerCompiler =
    "This mod needs a newer compiler than fteqcc 3343 (2009): choose one with right-click on QCC!.";

// The closing row of a compile, e.g. "2 errors, 1 warning, exit code 1, 0.25 s", and the advice
// for a compiler too old for the mod after it.
QString compileSummary(int errors, int warnings, tools::CapturedRun::End how, int exitCode, double seconds,
                       bool tooOld = false);

} // namespace vardo
