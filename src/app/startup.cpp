#include "app/startup.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include "ui/errorbox.h"
#include "ui/fonts.h"

#include <QApplication>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardo {

namespace {

std::string fullPath(const std::string &path)
{
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        throw AppError("Cannot open " + path + ": " + std::strerror(errno));
    return resolved;
}

} // namespace

StartPlace startPlaceFor(const std::string &argument)
{
    struct stat st {};
    if (argument.empty() || ::stat(argument.c_str(), &st) != 0)
        throw AppError("Cannot open " + argument + ": " + std::strerror(argument.empty() ? ENOENT : errno));
    if (S_ISDIR(st.st_mode))
        return {fullPath(argument), {}};
    if (!S_ISREG(st.st_mode))
        throw AppError("Cannot open " + argument + ": not a file or a directory");
    const std::string folder = paths::directoryPart(argument);
    const std::string directory = fullPath(folder.empty() ? "." : folder);
    return {directory, paths::join(directory, paths::fileNamePart(argument))};
}

std::string startDirectory(const std::string &current, const std::string &home, const std::string &last,
                           const std::function<bool(const std::string &)> &isDirectory)
{
    if (!current.empty() && current != home)
        return current;
    if (!last.empty() && isDirectory(last))
        return last;
    return home.empty() ? std::string("/") : home;
}

void mapLargeBlocksApart()
{
    // Fixed, the threshold no longer rises to the size of the largest block freed so far.
    mallopt(M_MMAP_THRESHOLD, 256 << 10);
}

void prepareApplication()
{
    mapLargeBlocksApart();
    QApplication::setApplicationName(QStringLiteral("vardo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vardo"));
    registerWindowsFonts();
}

std::string enterStartPlace(int argc, char **argv, const std::string &launched, const std::string &last)
{
    std::string file;
    bool entered = false;
    if (argc >= 2 && argv[1]) {
        runGuarded([&] {
            const StartPlace place = startPlaceFor(argv[1]);
            if (::chdir(place.directory.c_str()) != 0)
                throw AppError("Cannot open " + place.directory + ": " + std::strerror(errno));
            file = place.file;
            entered = true;
        });
    }
    if (!entered) {
        const char *home = std::getenv("HOME");
        const std::string directory =
            startDirectory(launched, home && *home ? paths::canonical(home) : std::string(), last, paths::isDirectory);
        (void)::chdir(directory.c_str());
    }
    return file;
}

} // namespace vardo
