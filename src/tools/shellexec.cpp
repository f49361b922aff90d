#include "tools/shellexec.h"

#include "base/errors.h"
#include "base/paths.h"
#include "panes/fileio.h"
#include "tools/batchprocessor.h"
#include "tools/launch.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardo::tools {

namespace {

std::function<void(const Execution &)> &executeSeam()
{
    static std::function<void(const Execution &)> seam;
    return seam;
}

bool isBatchFile(const std::string &file)
{
    const std::string suffix = ".bat";
    return file.size() >= suffix.size() &&
           ::strcasecmp(file.c_str() + file.size() - suffix.size(), suffix.c_str()) == 0;
}

bool isWindowsProgram(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    char magic[2] = {};
    const bool pe = ::read(fd, magic, sizeof magic) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    ::close(fd);
    return pe;
}

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Windows programs rarely carry an execute bit, so their signature is enough.
bool isProgram(const std::string &path)
{
    return detail::isExecutableFile(path) || (isRegularFile(path) && isWindowsProgram(path));
}

// The current directory comes first, as the Windows loader searches it.
std::optional<std::string> findProgram(const std::string &name)
{
    if (name.find('/') == std::string::npos) {
        const std::string local = paths::join(detail::workingDirectory(), name);
        if (isProgram(local))
            return local;
    }
    for (const std::string &candidate : detail::pathCandidates(name)) {
        if (isProgram(candidate))
            return candidate;
    }
    return std::nullopt;
}

void startProgram(const std::string &program)
{
    if (!isWindowsProgram(program)) {
        detail::launch(program, {});
        return;
    }
    if (const auto wine = detail::findOnPath("wine"))
        detail::launch(*wine, {program});
}

bool exists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void execute(const std::string &file)
{
    if (file.empty())
        return;
    if (isBatchFile(file))
        runBatchFile(file);
    else if (const auto program = findProgram(file))
        startProgram(*program);
    else if (exists(file))
        detail::openByDefaultAction(file);
}

// The directory `name` would be created in.
std::string directoryOf(const std::string &name)
{
    const std::string directory = paths::directoryPart(name);
    return directory.empty() ? "." : directory;
}

// Root passes the kernel's permission checks, so the editor's own read-only rule is checked
// first. Only a regular file of that name is kept: any other entry is replaced, which is the
// directory's say.
void requireWritable(const std::string &name)
{
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0 && errno != ENOENT)
        throw ioErrorFromErrno(errno);
    if (!fileio::isWritable(S_ISREG(st.st_mode) ? name : directoryOf(name)))
        throw ioErrorFromErrno(EACCES);
}

} // namespace

void shellExecute(const std::string &file, ShowMode mode)
{
    if (executeSeam())
        executeSeam()(Execution{file, detail::workingDirectory(), mode});
    else
        execute(file);
}

void setExecuteSeam(std::function<void(const Execution &)> seam)
{
    executeSeam() = std::move(seam);
}

void writeBatchFile(const std::string &name, const std::string &line)
{
    requireWritable(name);
    try {
        fileio::replaceEntry(name, line + "\r\n");
    } catch (const fileio::SaveError &error) {
        throw ioErrorFromErrno(error.error());
    }
}

} // namespace vardo::tools
