#include "tools/shellexec.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include "core/files/fileio.h"
#include "tools/batchprocessor.h"
#include "tools/programs.h"

#include <cerrno>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

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

bool exists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void execute(const std::string &file)
{
    if (file.empty())
        return;
    if (isBatchFile(file)) {
        runBatchFile(file);
    } else if (const auto program = findProgram(file)) {
        // A Windows program without wine cannot run; opening it instead would be a surprise.
        if (const auto command = commandFor(*program))
            startDetached(*command);
    } else if (exists(file)) {
        openByDefaultAction(file);
    }
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
        executeSeam()(Execution{file, workingDirectory(), mode});
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
