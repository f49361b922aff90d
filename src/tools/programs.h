#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QProcess;

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
// without waiting: the output and the end are reported through the callbacks from the event
// loop. The command runs in a process group of its own, so that stopping it also ends the
// programs it started in turn.
class CapturedRun : public QObject {
    Q_OBJECT

public:
    enum class End { Exited, Crashed, FailedToStart };

    CapturedRun();
    // Stops a command still running.
    ~CapturedRun();
    CapturedRun(const CapturedRun &) = delete;
    CapturedRun &operator=(const CapturedRun &) = delete;

    // Starts the command; one still running is stopped first, and reports nothing more.
    void start(const Command &command, const std::string &directory);
    // Ends the running command and its process group at once; no end is reported.
    void stop();
    bool isRunning() const;

signals:
    void outputArrived(std::string_view chunk);
    // How it ended, the exit code, and the system's words for a failed start.
    void ended(vardo::tools::CapturedRun::End end, int exitCode, const std::string &error);

private:
    std::unique_ptr<QProcess> process_;
};

} // namespace vardo::tools
