#include "tools/launch.h"

#include "base/errors.h"
#include "base/paths.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardo::tools::detail {

namespace {

Launcher &launchSeam()
{
    static Launcher seam;
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

void spawnDetached(const std::string &program, const std::vector<std::string> &args,
                   const std::string &cwd)
{
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0)
        execDetached(program.c_str(), argv.data(), cwd.c_str());
    if (child < 0)
        return;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

void setLaunchSeam(Launcher seam)
{
    launchSeam() = std::move(seam);
}

void launch(const std::string &program, const std::vector<std::string> &args)
{
    const std::string cwd = workingDirectory();
    if (launchSeam())
        launchSeam()(program, args, cwd);
    else
        spawnDetached(program, args, cwd);
}

std::string workingDirectory()
{
    try {
        return paths::currentDirectory();
    } catch (const IoError &) {
        return ".";
    }
}

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

bool isExecutableFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findOnPath(const std::string &name)
{
    for (const std::string &candidate : pathCandidates(name)) {
        if (isExecutableFile(candidate))
            return candidate;
    }
    return std::nullopt;
}

std::string asOperand(const std::string &path)
{
    return !path.empty() && path.front() == '-' ? "./" + path : path;
}

void openByDefaultAction(const std::string &path)
{
    if (const auto opener = findOnPath("xdg-open"))
        launch(*opener, {asOperand(path)});
}

} // namespace vardo::tools::detail
