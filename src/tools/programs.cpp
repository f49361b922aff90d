#include "tools/programs.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include "doc/qtext.h"

#include <QProcess>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
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

QStringList argumentList(const std::vector<std::string> &args)
{
    QStringList list;
    for (const std::string &arg : args)
        list << displayText(arg);
    return list;
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

CapturedRun::CapturedRun() = default;

CapturedRun::~CapturedRun()
{
    stop();
}

void CapturedRun::start(const Command &command, const std::string &directory)
{
    stop();
    process_ = std::make_unique<QProcess>();
    QProcess *process = process_.get();
    process->setProgram(displayText(command.program));
    process->setArguments(argumentList(command.args));
    process->setWorkingDirectory(displayText(directory));
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] { ::setsid(); });
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [this, process] {
        const QByteArray chunk = process->readAllStandardOutput();
        emit outputArrived(std::string_view(chunk.constData(), static_cast<std::size_t>(chunk.size())));
    });
    QObject::connect(process, &QProcess::finished, process, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (const QByteArray rest = process->readAllStandardOutput(); !rest.isEmpty())
            emit outputArrived(std::string_view(rest.constData(), static_cast<std::size_t>(rest.size())));
        emit ended(status == QProcess::CrashExit ? End::Crashed : End::Exited, exitCode, {});
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            emit ended(End::FailedToStart, -1, process->errorString().toStdString());
    });
    process->start();
}

void CapturedRun::stop()
{
    if (!process_)
        return;
    QProcess *process = process_.release();
    process->disconnect();
    if (process->state() != QProcess::NotRunning) {
        if (const qint64 pid = process->processId(); pid > 0)
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
        process->kill();
        process->waitForFinished(5000);
    }
    // Later: this may run inside one of the process's own signals.
    process->deleteLater();
}

bool CapturedRun::isRunning() const
{
    return process_ && process_->state() != QProcess::NotRunning;
}

} // namespace vardo::tools
