#include "core/qc/compilerversion.h"

#include "core/base/paths.h"
#include "core/files/fileio.h"

#include <algorithm>
#include <dirent.h>
#include <sstream>

namespace vardo::qc {

namespace {

// More than any compiler's size, and the package manager's status file.
constexpr std::size_t kLargestRead = 64 * 1024 * 1024;

std::string readOrEmpty(const std::string &path)
{
    try {
        return fileio::readWholeFile(path, kLargestRead);
    } catch (const std::exception &) {
        return {};
    }
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The program's name as people say it: its file name without ".exe".
std::string programName(const std::string &program)
{
    std::string name = paths::fileNamePart(program);
    std::string folded = name;
    std::ranges::transform(folded, folded.begin(), lower);
    if (folded.ends_with(".exe"))
        name.resize(name.size() - 4);
    return name;
}

// Whether the package's file list (info/PACKAGE.list or info/PACKAGE:ARCH.list) names the
// program, by any of its paths.
bool packageOwns(const std::string &dpkgDirectory, const std::string &package, const std::string &program)
{
    const std::string info = dpkgDirectory + "/info";
    DIR *dir = ::opendir(info.c_str());
    if (!dir)
        return false;
    const std::string canonical = paths::canonical(program), name = paths::fileNamePart(program);
    bool owns = false;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view file = entry->d_name;
        if (!owns && file.ends_with(".list") &&
            (file == package + ".list" || file.starts_with(package + ":"))) {
            std::istringstream lines(readOrEmpty(info + "/" + std::string(file)));
            for (std::string line; !owns && std::getline(lines, line);)
                owns = paths::fileNamePart(line) == name && paths::canonical(line) == canonical;
        }
    }
    ::closedir(dir);
    return owns;
}

// The Version field of an installed package in the status file.
std::string statusVersion(const std::string &status, const std::string &package)
{
    std::istringstream lines(status);
    bool inPackage = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("Package: "))
            inPackage = line.substr(9) == package;
        else if (inPackage && line.starts_with("Version: "))
            return line.substr(9);
    }
    return {};
}

} // namespace

std::string upstreamVersion(std::string_view debianVersion)
{
    if (const std::size_t epoch = debianVersion.find(':'); epoch != std::string_view::npos)
        debianVersion.remove_prefix(epoch + 1);
    return std::string(debianVersion.substr(0, debianVersion.find_first_of("+~-")));
}

std::string packagedVersion(const std::string &program, const std::string &dpkgDirectory)
{
    const std::string package = programName(program);
    if (package.empty() || !packageOwns(dpkgDirectory, package, program))
        return {};
    return upstreamVersion(statusVersion(readOrEmpty(dpkgDirectory + "/status"), package));
}

std::string versionInProgram(const std::string &program)
{
    const std::string name = programName(program);
    const std::string bytes = readOrEmpty(program);
    const auto sameLetters = [](char a, char b) { return lower(a) == lower(b); };
    for (auto at = bytes.begin(); !name.empty(); at += static_cast<std::ptrdiff_t>(name.size())) {
        at = std::search(at, bytes.end(), name.begin(), name.end(), sameLetters);
        if (at == bytes.end())
            break;
        std::size_t i = static_cast<std::size_t>(at - bytes.begin()) + name.size();
        while (i < bytes.size() && bytes[i] == ' ')
            ++i;
        if (i < bytes.size() && lower(bytes[i]) == 'v')
            ++i;
        const std::size_t start = i;
        while (i < bytes.size() && (isDigit(bytes[i]) || (bytes[i] == '.' && i > start)))
            ++i;
        if (i > start)
            return bytes.substr(start, i - start - (bytes[i - 1] == '.' ? 1 : 0));
    }
    return {};
}

std::string compilerVersion(const std::string &program, const std::string &dpkgDirectory)
{
    std::string version = packagedVersion(program, dpkgDirectory);
    if (version.empty())
        version = versionInProgram(program);
    const std::string name = programName(program);
    return version.empty() ? name : name + " " + version;
}

} // namespace vardo::qc
