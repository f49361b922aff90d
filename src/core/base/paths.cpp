#include "core/base/paths.h"

#include "core/base/errors.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vardo::paths {

std::string fileNamePart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryPart(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string join(const std::string &directory, const std::string &name)
{
    if (!directory.empty() && directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

std::string relativeTo(const std::string &path, const std::string &folder)
{
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    if (prefix.empty() || path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return path;
    return path.substr(prefix.size());
}

std::string canonical(const std::string &path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

bool isRegularFile(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string currentDirectory()
{
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        throw ioErrorFromErrno(errno);
    return cwd.get();
}

} // namespace vardo::paths
