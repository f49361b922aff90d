#include "tools/programs.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardo::tools {

namespace {

std::function<void(const Command &, const std::string &)> &startSeam()
{
    static std::function<void(const Command &, const std::string &)> seam;
    return seam;
}

// Runs in the forked child, so only async-signal-safe calls until exec. The grandchild is
// orphaned at once, so init reaps it and the editor keeps no zombie; its own session keeps
// it out of the editor's terminal and process group.
[[noreturn]] void execDetached(const char *program, char *const argv[], const char *cwd)
{
    ::setsid();
    if (::fork() != 0)
        ::_exit(0);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (::chdir(cwd) != 0 || devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0)
        ::_exit(127);
    ::close_range(3, ~0U, 0);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(program, argv);
    ::_exit(127);
}

void spawnDetached(const Command &command, const std::string &cwd)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(command.program.c_str()));
    for (const std::string &arg : command.args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0)
        execDetached(command.program.c_str(), argv.data(), cwd.c_str());
    if (child < 0)
        return;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// Where `name` would be found along PATH, in order; just `name` when it holds a separator.
std::vector<std::string> pathCandidates(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return {name};
    const char *path = std::getenv("PATH");
    if (!path)
        return {};
    const std::string directories = path;
    std::vector<std::string> candidates;
    std::string::size_type start = 0;
    while (start <= directories.size()) {
        const auto colon = std::min(directories.find(':', start), directories.size());
        const std::string directory = directories.substr(start, colon - start);
        // An empty entry stands for the current directory.
        candidates.push_back(paths::join(directory.empty() ? "." : directory, name));
        start = colon + 1;
    }
    return candidates;
}

// Windows programs rarely carry an execute bit, so their signature is enough.
bool isProgram(const std::string &path)
{
    return isExecutableFile(path) || isWindowsProgram(path);
}

} // namespace

std::string workingDirectory()
{
    try {
        return paths::currentDirectory();
    } catch (const IoError &) {
        return ".";
    }
}

bool isExecutableFile(const std::string &path)
{
    return paths::isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

bool isWindowsProgram(const std::string &path)
{
    if (!paths::isRegularFile(path))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    char magic[2] = {};
    const bool pe = ::read(fd, magic, sizeof magic) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    ::close(fd);
    return pe;
}

std::optional<std::string> findOnPath(const std::string &name)
{
    for (const std::string &candidate : pathCandidates(name)) {
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<std::string> findProgram(const std::string &name)
{
    if (name.find('/') == std::string::npos) {
        const std::string local = paths::join(workingDirectory(), name);
        if (isProgram(local))
            return local;
    }
    for (const std::string &candidate : pathCandidates(name)) {
        if (isProgram(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::optional<Command> commandFor(const std::string &program, std::vector<std::string> args)
{
    if (!isWindowsProgram(program))
        return Command{program, std::move(args)};
    const auto wine = findOnPath("wine");
    if (!wine)
        return std::nullopt;
    args.insert(args.begin(), program);
    return Command{*wine, std::move(args)};
}

std::string asOperand(const std::string &path)
{
    return !path.empty() && path.front() == '-' ? "./" + path : path;
}

void startDetached(const Command &command)
{
    const std::string cwd = workingDirectory();
    if (startSeam())
        startSeam()(command, cwd);
    else
        spawnDetached(command, cwd);
}

void setStartSeam(std::function<void(const Command &, const std::string &)> seam)
{
    startSeam() = std::move(seam);
}

void openByDefaultAction(const std::string &path)
{
    if (const auto opener = findOnPath("xdg-open"))
        startDetached({*opener, {asOperand(path)}});
}

namespace {

// The helper that runs a captured command. It may be a forked copy of the editor, which has
// threads, so all of it, up to the command's exec, uses only async-signal-safe calls: system
// calls, no allocation, no locks.
namespace helper {

// What the helper writes to the editor when the run is over: three ints.
enum How : int { Exited, Signalled, NotStarted };
enum Stage : int { Setting, Forking, Entering, Executing };

// Prepared before the fork.
struct Launch {
    const char *program;
    char *const *argv;
    const char *directory;
    int output;  // write end of the merged output
    int control; // read end: readable (at its end) when the editor wants the run stopped
    int report;  // write end of the report
};

void writeAll(int fd, const void *data, std::size_t size)
{
    const char *at = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, at, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        at += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Closes every descriptor from 3 up but the given ones, which are in increasing order.
void closeAllBut(std::initializer_list<int> keep)
{
    unsigned from = 3;
    for (const int fd : keep) {
        if (static_cast<unsigned>(fd) > from)
            ::close_range(from, static_cast<unsigned>(fd) - 1, 0);
        from = std::max(from, static_cast<unsigned>(fd) + 1);
    }
    ::close_range(from, ~0U, 0);
}

void sortThree(int (&fds)[3])
{
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 2 - i; ++k) {
            if (fds[k] > fds[k + 1])
                std::swap(fds[k], fds[k + 1]);
        }
    }
}

[[noreturn]] void failStart(int failure, Stage stage)
{
    const int message[2] = {stage, errno};
    writeAll(failure, message, sizeof message);
    ::_exit(127);
}

// The command itself: its own session and so its own process group, stdin from /dev/null,
// stdout and stderr into the output pipe, the signals as a new program expects them.
[[noreturn]] void runCommand(const Launch &launch, int failure)
{
    ::setsid();
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigemptyset(&plain.sa_mask);
    for (const int signal : {SIGCHLD, SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::sigaction(signal, &plain, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0 || ::dup2(devNull, STDIN_FILENO) < 0 || ::dup2(launch.output, STDOUT_FILENO) < 0 ||
        ::dup2(launch.output, STDERR_FILENO) < 0)
        failStart(failure, Setting);
    if (::chdir(launch.directory) != 0)
        failStart(failure, Entering);
    closeAllBut({failure});
    ::execv(launch.program, launch.argv);
    failStart(failure, Executing);
}

// The parent process's id from /proc/PID/stat, or -1.
pid_t parentOf(const char *pid, std::size_t digits)
{
    char path[64] = "/proc/";
    std::memcpy(path + 6, pid, digits);
    std::memcpy(path + 6 + digits, "/stat", 6);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[512];
    const ssize_t length = ::read(fd, text, sizeof text);
    ::close(fd);
    if (length <= 0)
        return -1;
    // "PID (NAME) STATE PPID ...": the name may hold anything, so from its last ')'.
    const char *at = static_cast<const char *>(::memrchr(text, ')', static_cast<std::size_t>(length)));
    const char *const end = text + length;
    if (!at || end - at < 5)
        return -1;
    at += 4;
    pid_t parent = 0;
    while (at < end && *at >= '0' && *at <= '9')
        parent = parent * 10 + (*at++ - '0');
    return parent;
}

// Sends SIGKILL to every child of this process, as /proc lists them.
void killChildren()
{
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return;
    const pid_t self = ::getpid();
    alignas(dirent64) char entries[4096];
    for (;;) {
        const ssize_t length = ::getdents64(proc, entries, sizeof entries);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(entries + at);
            at += entry->d_reclen;
            const char *name = entry->d_name;
            std::size_t digits = 0;
            pid_t pid = 0;
            while (name[digits] >= '0' && name[digits] <= '9' && digits < 20)
                pid = pid * 10 + (name[digits++] - '0');
            if (digits > 0 && name[digits] == '\0' && parentOf(name, digits) == self)
                ::kill(pid, SIGKILL);
        }
    }
    ::close(proc);
}

// Ends the command's process group and every process left under the helper, and reaps them,
// until none is left: the children of one that ends come to the helper, the subreaper.
void endEverything(pid_t command)
{
    bool commandReaped = false;
    sigset_t childSignal;
    ::sigemptyset(&childSignal);
    ::sigaddset(&childSignal, SIGCHLD);
    for (;;) {
        // While the command is unreaped its id cannot be taken by another group.
        if (!commandReaped)
            ::kill(-command, SIGKILL);
        killChildren();
        bool reaped = false;
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, WNOHANG);
            if (pid > 0) {
                reaped = true;
                commandReaped = commandReaped || pid == command;
            } else if (pid < 0 && errno == EINTR) {
                continue;
            } else if (pid < 0) {
                return; // no child left
            } else {
                break;
            }
        }
        if (!reaped) {
            const timespec moment{0, 10 * 1000 * 1000};
            ::sigtimedwait(&childSignal, nullptr, &moment);
        }
    }
}

void onChildSignal(int) {}

[[noreturn]] void run(const Launch &launch)
{
    ::setsid();
    int keep[3] = {launch.output, launch.control, launch.report};
    sortThree(keep);
    closeAllBut({keep[0], keep[1], keep[2]});
    // The standard descriptors open, so that no pipe of the helper's takes their place.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0)
            ::open("/dev/null", O_RDWR);
    }
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGPIPE, &action, nullptr);
    // SIGCHLD is blocked but while the helper waits in ppoll, which it then interrupts.
    action.sa_handler = onChildSignal;
    ::sigaction(SIGCHLD, &action, nullptr);
    sigset_t childSignal, none;
    ::sigemptyset(&childSignal);
    ::sigaddset(&childSignal, SIGCHLD);
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &childSignal, nullptr);

    int report[3] = {NotStarted, 0, Setting};
    int failure[2];
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0 || ::pipe2(failure, O_CLOEXEC) != 0) {
        report[1] = errno;
        writeAll(launch.report, report, sizeof report);
        ::_exit(0);
    }
    const pid_t command = ::fork();
    if (command == 0)
        runCommand(launch, failure[1]);
    const int forkError = errno;
    ::close(launch.output);
    ::close(failure[1]);
    if (command < 0) {
        report[1] = forkError;
        report[2] = Forking;
        writeAll(launch.report, report, sizeof report);
        ::_exit(0);
    }

    bool stopped = false, commandEnded = false, startKnown = false, failed = false;
    int ending[2] = {Exited, 0}, failing[2] = {Setting, 0};
    for (;;) {
        // Orphans that came to the helper and ended are reaped at once, so that none is left a
        // zombie for the length of the run; the command is left unreaped, keeping its group's id.
        for (;;) {
            siginfo_t info{};
            if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == 0 ||
                info.si_pid == command)
                break;
            ::waitpid(info.si_pid, nullptr, 0);
        }
        if (!commandEnded) {
            siginfo_t info{};
            if (::waitid(P_PID, static_cast<id_t>(command), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == command) {
                commandEnded = true;
                ending[0] = info.si_code == CLD_EXITED ? Exited : Signalled;
                ending[1] = info.si_status;
            }
        }
        if (stopped || (commandEnded && startKnown))
            break;
        pollfd watched[2] = {{launch.control, POLLIN, 0}, {failure[0], POLLIN, 0}};
        if (::ppoll(watched, startKnown ? 1 : 2, nullptr, &none) <= 0)
            continue;
        stopped = watched[0].revents != 0;
        if (!startKnown && watched[1].revents != 0) {
            const ssize_t length = ::read(failure[0], failing, sizeof failing);
            if (length < 0 && errno == EINTR)
                continue;
            // An end without a message: the exec went through.
            startKnown = true;
            failed = length == sizeof failing;
        }
    }
    if (failed) {
        report[1] = failing[1];
        report[2] = failing[0];
    } else {
        report[0] = ending[0];
        report[1] = ending[1];
    }
    endEverything(command);
    writeAll(launch.report, report, sizeof report);
    ::_exit(0);
}

} // namespace helper

// The descriptors the helper started by exec finds its pipes at, and the lowest a pipe of the
// editor's takes, so that putting them in place overwrites none of them.
constexpr int kHelperOutput = 3, kHelperControl = 4, kHelperReport = 5, kLowestPipe = 10;

// A pipe whose ends are above the helper's descriptors and closed on exec.
bool makePipe(int (&ends)[2])
{
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    for (int &fd : ends) {
        if (fd < kLowestPipe) {
            const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, kLowestPipe);
            ::close(fd);
            fd = moved;
        }
    }
    if (ends[0] >= 0 && ends[1] >= 0)
        return true;
    for (const int fd : ends) {
        if (fd >= 0)
            ::close(fd);
    }
    return false;
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The helper is started as a program of its own where it can be: the editor's binary again,
// under this name, which goes straight to helper::run() before main(). A forked copy of the
// editor would share the editor's memory for the whole run, and every page the editor then
// wrote (a repaint of the window, say) would be copied.
constexpr const char *kHelperName = "vardo-captured-run";
constexpr const char *kHelperMark = "VARDO_CAPTURED_RUN=1";

// Called before main() with the program's arguments (glibc passes them to constructors):
// "vardo-captured-run DIRECTORY PROGRAM ARGS...", the pipes at 3, 4 and 5.
[[gnu::constructor]] void helperEntry(int argc, char **argv, char **)
{
    if (argc < 3 || std::strcmp(argv[0], kHelperName) != 0 || !std::getenv("VARDO_CAPTURED_RUN"))
        return;
    ::unsetenv("VARDO_CAPTURED_RUN");
    helper::run({argv[2], argv + 2, argv[1], kHelperOutput, kHelperControl, kHelperReport});
}

// Starts the helper by exec; -1 (errno set) when that cannot be done.
pid_t spawnHelper(const helper::Launch &launch)
{
    std::vector<char *> argv = {const_cast<char *>(kHelperName), const_cast<char *>(launch.directory)};
    for (char *const *arg = launch.argv; *arg; ++arg)
        argv.push_back(*arg);
    argv.push_back(nullptr);
    std::vector<char *> environment;
    for (char **variable = environ; *variable; ++variable)
        environment.push_back(*variable);
    environment.push_back(const_cast<char *>(kHelperMark));
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    ::posix_spawn_file_actions_adddup2(&actions, launch.output, kHelperOutput);
    ::posix_spawn_file_actions_adddup2(&actions, launch.control, kHelperControl);
    ::posix_spawn_file_actions_adddup2(&actions, launch.report, kHelperReport);
    pid_t helper = -1;
    const int error = ::posix_spawn(&helper, "/proc/self/exe", &actions, nullptr, argv.data(), environment.data());
    ::posix_spawn_file_actions_destroy(&actions);
    errno = error;
    return error == 0 ? helper : -1;
}

} // namespace

CapturedRun::CapturedRun()
    : outputNotifier_(new QSocketNotifier(QSocketNotifier::Read, this)),
      reportNotifier_(new QSocketNotifier(QSocketNotifier::Read, this))
{
    outputNotifier_->setEnabled(false);
    reportNotifier_->setEnabled(false);
    connect(outputNotifier_, &QSocketNotifier::activated, this, &CapturedRun::readOutput);
    connect(reportNotifier_, &QSocketNotifier::activated, this, &CapturedRun::readReport);
}

CapturedRun::~CapturedRun()
{
    stop();
}

void CapturedRun::failToStart(const std::string &error)
{
    for (int *fd : {&output_, &report_, &control_})
        closeFd(*fd);
    running_ = false;
    emit ended(End::FailedToStart, -1, error);
}

void CapturedRun::start(const Command &command, const std::string &directory)
{
    stop();
    ++serial_;
    running_ = true;
    reportLength_ = 0;
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(command.program.c_str()));
    for (const std::string &arg : command.args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    int output[2] = {-1, -1}, control[2] = {-1, -1}, report[2] = {-1, -1};
    if (!makePipe(output) || !makePipe(control) || !makePipe(report)) {
        const int error = errno;
        for (int fd : {output[0], output[1], control[0], control[1], report[0], report[1]})
            closeFd(fd);
        return failToStart(std::strerror(error));
    }
    // Room for a flood of output between two turns of the event loop; the system may refuse.
    ::fcntl(output[0], F_SETPIPE_SZ, 1 << 20);
    const helper::Launch launch{command.program.c_str(), argv.data(), directory.c_str(), output[1], control[0],
                                report[1]};
    pid_t helper = spawnHelper(launch);
    if (helper < 0) {
        // No binary to start it from (no /proc): a forked copy of the editor serves.
        helper = ::fork();
        if (helper == 0)
            helper::run(launch);
    }
    const int error = errno;
    closeFd(output[1]);
    closeFd(control[0]);
    closeFd(report[1]);
    output_ = output[0];
    control_ = control[1];
    report_ = report[0];
    if (helper < 0)
        return failToStart(std::strerror(error));
    helper_ = helper;
    for (const int fd : {output_, report_})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    outputNotifier_->setSocket(output_);
    outputNotifier_->setEnabled(true);
    reportNotifier_->setSocket(report_);
    reportNotifier_->setEnabled(true);
}

void CapturedRun::stop()
{
    ++serial_;
    running_ = false;
    closeOutput();
    closeFd(control_); // the helper ends everything, reports and exits
    if (report_ >= 0) {
        reportNotifier_->setEnabled(false);
        // Up to the helper's exit, which closes the report's write end.
        QElapsedTimer clock;
        clock.start();
        char discard[64];
        for (;;) {
            const qint64 left = 5000 - clock.elapsed();
            pollfd watched{report_, POLLIN, 0};
            if (left <= 0 || (::poll(&watched, 1, static_cast<int>(left)) < 0 && errno != EINTR))
                break;
            const ssize_t length = ::read(report_, discard, sizeof discard);
            if (length == 0 || (length < 0 && errno != EINTR && errno != EAGAIN))
                break;
        }
        closeReport();
    }
    if (helper_ > 0) {
        // A helper that has not ended in time (a process it cannot end) is ended itself.
        if (::waitpid(helper_, nullptr, WNOHANG) == 0) {
            ::kill(helper_, SIGKILL);
            while (::waitpid(helper_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        helper_ = -1;
    }
}

void CapturedRun::closeOutput()
{
    if (output_ < 0)
        return;
    outputNotifier_->setEnabled(false);
    closeFd(output_);
}

void CapturedRun::closeReport()
{
    if (report_ < 0)
        return;
    reportNotifier_->setEnabled(false);
    closeFd(report_);
}

void CapturedRun::readOutput()
{
    buffer_.resize(readPerTurn_);
    std::size_t filled = 0;
    bool atEnd = false;
    while (filled < buffer_.size()) {
        const ssize_t length = ::read(output_, buffer_.data() + filled, buffer_.size() - filled);
        if (length > 0) {
            filled += static_cast<std::size_t>(length);
        } else if (length < 0 && errno == EINTR) {
            continue;
        } else {
            atEnd = length == 0 || errno != EAGAIN;
            break;
        }
    }
    const unsigned serial = serial_;
    if (filled > 0) {
        QElapsedTimer clock;
        clock.start();
        emit outputArrived(std::string_view(buffer_.data(), filled));
        // Less next time when the receivers took long over it, more when they were quick.
        const qint64 taken = clock.nsecsElapsed();
        if (taken > 5'000'000)
            readPerTurn_ = std::max(readPerTurn_ / 2, kLeastReadPerTurn);
        else if (taken < 1'000'000 && filled == readPerTurn_)
            readPerTurn_ = std::min(readPerTurn_ * 2, kMostReadPerTurn);
    }
    if (serial != serial_ || !atEnd)
        return;
    closeOutput();
    endIfDone();
}

void CapturedRun::readReport()
{
    for (;;) {
        char byte[16];
        char *into = reportLength_ < reportBytes_.size() ? reportBytes_.data() + reportLength_ : byte;
        const std::size_t room = reportLength_ < reportBytes_.size() ? reportBytes_.size() - reportLength_ : sizeof byte;
        const ssize_t length = ::read(report_, into, room);
        if (length > 0) {
            reportLength_ = std::min(reportLength_ + static_cast<std::size_t>(length), reportBytes_.size());
            continue;
        }
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0 && errno == EAGAIN)
            return;
        break;
    }
    // The helper has closed the report: it is exiting, if it has not already.
    closeReport();
    while (::waitpid(helper_, nullptr, 0) < 0 && errno == EINTR) {
    }
    helper_ = -1;
    endIfDone();
}

void CapturedRun::endIfDone()
{
    if (output_ >= 0 || report_ >= 0 || !running_)
        return;
    running_ = false;
    int report[3] = {helper::Signalled, 0, helper::Setting};
    if (reportLength_ == reportBytes_.size())
        std::memcpy(report, reportBytes_.data(), sizeof report);
    switch (report[0]) {
    case helper::Exited:
        emit ended(End::Exited, report[1], {});
        break;
    case helper::Signalled:
        emit ended(End::Crashed, -1, {});
        break;
    default: {
        const std::string reason = std::strerror(report[1]);
        emit ended(End::FailedToStart, -1,
                   report[2] == helper::Entering ? "cannot enter the directory: " + reason : reason);
    }
    }
}

} // namespace vardo::tools
