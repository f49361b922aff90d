#include "core/base/errors.h"

#include <cerrno>

namespace vardo {

IoError::IoError(int code) : AppError(ioErrorMessage(code)), code_(code) {}

std::string ioErrorMessage(int code)
{
    switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

namespace {

int dosCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS: return 5;
    case ENOSPC:
    case EDQUOT: return 101;
    default: return 0;
    }
}

} // namespace

IoError ioErrorFromErrno(int err)
{
    const int code = dosCodeFromErrno(err);
    if (code == 0)
        return IoError(err, "I/O error " + std::to_string(err));
    return IoError(code);
}

std::string errorBoxText(const std::string &message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

} // namespace vardo
