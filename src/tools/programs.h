#pragma once

#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSocketNotifier;

// Starting other programs, the one place that does: finding a program, starting it detached,
// and running it with its output captured. Arguments are passed as exact byte strings and
// never through a shell.
namespace vardo::tools {

// A program and its arguments, ready to start.
struct Command {
    std::string program;
    std::vector<std::string> args;
    bool operator==(const Command &) const = default;
};

// The process's current directory, or "." when the system cannot tell it.
std::string workingDirectory();

bool isExecutableFile(const std::string &path);
// A Windows program: a regular file that begins with the "MZ" signature.
bool isWindowsProgram(const std::string &path);

// The first executable file called `name` along PATH; `name` itself when it holds a separator.
std::optional<std::string> findOnPath(const std::string &name);

// A program as Windows would find it: in the current directory first, then along PATH.
// Windows programs count even without an execute bit.
std::optional<std::string> findProgram(const std::string &name);

// How to start a found program: directly, or through wine for a Windows program. Nothing when
// it is a Windows program and wine is not installed.
std::optional<Command> commandFor(const std::string &program, std::vector<std::string> args = {});

// A path as a program's operand: a leading '-' would be read as an option.
std::string asOperand(const std::string &path);

// Starts the command detached in the current directory, stdin from /dev/null, stdout and
// stderr shared with the editor; nobody waits for it and failures are ignored.
void startDetached(const Command &command);

// Replaces the real detached start, for tests; an empty function restores it. The seam gets
// the command and the directory it would start in.
void setStartSeam(std::function<void(const Command &, const std::string &directory)> seam);

// Opens `path` by its default action through the desktop; nothing when the desktop cannot.
void openByDefaultAction(const std::string &path);

// Runs a command in a directory with its standard output and error merged into one stream,
// without waiting: the output and the end are reported through the signals from the event
// loop. The program, its arguments and the directory reach the system as the exact bytes
// given.
//
// The command runs under a helper process of its own, which adopts every process the command
// starts (PR_SET_CHILD_SUBREAPER), even those that leave its process group or session. When the
// command exits, is stopped, or the editor goes away, the helper ends all of them before it
// reports: nothing the command started outlives the run. Programs started with startDetached()
// have nothing to do with it. The helper is the editor's binary started again under another
// name, which goes to the helper before main() (a forked copy of the editor where
// /proc/self/exe cannot be run): a copy would share the editor's memory for the whole run.
class CapturedRun : public QObject {
    Q_OBJECT

public:
    enum class End { Exited, Crashed, FailedToStart };

    // How much output is read and handed on in one turn of the event loop: as much as the
    // receivers handle in a few milliseconds, so that a flood of output leaves the window
    // answering, between these bounds.
    static constexpr std::size_t kLeastReadPerTurn = 16 * 1024;
    static constexpr std::size_t kMostReadPerTurn = 1024 * 1024;

    CapturedRun();
    // Stops a command still running.
    ~CapturedRun();
    CapturedRun(const CapturedRun &) = delete;
    CapturedRun &operator=(const CapturedRun &) = delete;

    // Starts the command; one still running is stopped first, and reports nothing more.
    void start(const Command &command, const std::string &directory);
    // Ends the running command and every process it started, and waits until they are gone;
    // no end is reported.
    void stop();
    // Started and its end not yet reported.
    bool isRunning() const { return running_; }

signals:
    void outputArrived(std::string_view chunk);
    // How it ended, the exit code, and the system's words for a failed start. Everything the
    // command started has ended by then.
    void ended(vardo::tools::CapturedRun::End end, int exitCode, const std::string &error);

private:
    void readOutput();
    void readReport();
    void endIfDone();
    void closeOutput();
    void closeReport();
    void failToStart(const std::string &error);

    int helper_ = -1;
    int output_ = -1;  // the merged output, read end
    int report_ = -1;  // the helper's report, read end
    int control_ = -1; // closed to tell the helper to stop
    QSocketNotifier *outputNotifier_;
    QSocketNotifier *reportNotifier_;
    bool running_ = false;
    // Counts starts and stops, so that a slot that starts or stops the run is noticed.
    unsigned serial_ = 0;
    // The helper's report as it arrives.
    std::array<char, 12> reportBytes_{};
    std::size_t reportLength_ = 0;
    std::vector<char> buffer_;
    std::size_t readPerTurn_ = 64 * 1024;
};

} // namespace vardo::tools
