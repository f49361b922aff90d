#pragma once

#include <stdexcept>
#include <string>

namespace vardo {

// A failure that carries the text the user is shown.
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string &message) : std::runtime_error(message) {}
};

// An input/output failure keyed by a DOS-style error code, as the error box reports it.
class IoError : public AppError {
public:
    explicit IoError(int code);
    IoError(int code, const std::string &message) : AppError(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// The message of the input/output error table for a DOS-style code.
std::string ioErrorMessage(int code);

// The error for a POSIX errno: the mapped DOS-style codes take their table
// message, any other errno n reads "I/O error n".
IoError ioErrorFromErrno(int err);

// The error box text: a full stop is added when the message ends in a character above '.'.
std::string errorBoxText(const std::string &message);

} // namespace vardo
