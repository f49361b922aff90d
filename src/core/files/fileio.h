#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// Whole-file reads and the safe save. Paths are byte strings, as the file system stores them.
namespace vardo::fileio {

// The file could not be opened for reading: missing, not a regular file, denied, unreadable.
class OpenError : public std::runtime_error {
public:
    explicit OpenError(const std::string &path, int error = 0) : std::runtime_error(path), error_(error) {}
    // The system's words for the cause; an error of 0 means a path that is not a regular file.
    std::string reason() const;

private:
    int error_;
};

// The path names a FIFO, socket, device or directory: nothing is read from or written to it.
class NotRegularFileError : public OpenError {
public:
    using OpenError::OpenError;
};

// The file is larger than the limit given to the read.
class TooLargeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The target could not be created (read-only, denied, missing directory) or the write failed.
class SaveError : public std::runtime_error {
public:
    enum class Kind { CannotCreate, WriteFailed, NotRegularFile };
    SaveError(Kind kind, const std::string &path, int error)
        : std::runtime_error(path), kind_(kind), error_(error)
    {
    }
    Kind kind() const { return kind_; }
    // The errno of the failed call; 0 for a target that is not a regular file.
    int error() const { return error_; }
    // The system's words for the cause, such as "Permission denied".
    std::string reason() const;

private:
    Kind kind_;
    int error_;
};

// Throws NotRegularFileError, OpenError or TooLargeError; never blocks on a FIFO or device.
std::string readWholeFile(const std::string &path, std::size_t limit);

// Called after each piece of a read with the bytes read so far and the file's size.
using ReadProgress = std::function<void(std::size_t read, std::size_t size)>;
// Reads as above, reporting its progress; an exception thrown by `progress` ends the read.
std::string readWholeFile(const std::string &path, std::size_t limit, const ReadProgress &progress);

// Which file a path names and which version of it: any write by any program changes it.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileIdentity &) const = default;
};

// The identity of the regular file a path names (symbolic links followed); nothing when there
// is none.
std::optional<FileIdentity> identityOf(const std::string &path);

// How the file at a path differs from the version a pane last read or wrote.
enum class DiskChange { None, Modified, Removed };
DiskChange diskChange(const std::optional<FileIdentity> &remembered, const std::optional<FileIdentity> &now);

// Writes all bytes to a file descriptor, resuming after interruptions; false with errno set on
// failure.
bool writeAll(int fd, std::string_view bytes);

// The file was not the version a save was to replace: another program wrote, replaced,
// created or removed it meanwhile. Nothing was replaced.
class ChangedMeanwhileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The version of a file that a save may replace: a file of this identity, or, with none, no
// file at all.
struct ReplaceOnly {
    std::optional<FileIdentity> version;
};

// Replaces the file's contents with `bytes` so that a failure leaves the old contents whole:
// a temporary file in the same directory is written, flushed and renamed over the target,
// keeping its permission bits; a symbolic link is followed. Where a rename would change the
// file's owner, break hard links or is impossible, the file is written in place, after its
// new size was reserved so that a full disk fails before the old bytes are touched. Only a
// regular file is ever written (or a new one created).
void saveFileSafely(const std::string &path, std::string_view bytes);
// The same, replacing only the version named: the file's identity is checked again just before
// the new bytes take its place and, where the file system can swap the two atomically, once
// more right after the swap (swapping back when it was another version). Throws
// ChangedMeanwhileError when the file changed; it then stays as the other program left it.
void saveFileSafely(const std::string &path, std::string_view bytes, const ReplaceOnly &only);

// Called just before a save checks the version it replaces, for tests; empty removes it.
void setBeforeReplaceHook(std::function<void(const std::string &target)> hook);

// Creates or replaces `path` with a new plain file holding `bytes`. Whatever entry has that
// name (a file, a symbolic link, a FIFO, a socket) is replaced, never opened or written
// through; a directory of that name stays and fails with EISDIR.
void replaceEntry(const std::string &path, std::string_view bytes);

// Reserves `size` bytes for the file open as `fd`; returns 0 or an errno value.
using SpaceReserver = std::function<int(int fd, std::size_t size)>;
// Replaces the reservation made before a write in place, for tests; empty restores it.
void setSpaceReserver(SpaceReserver reserver);

// Whether the user may write to an existing path. The superuser bypasses permission bits,
// but a file or directory without any write bit still counts as read-only for the editor.
// When it may not, errno tells why.
bool isWritable(const std::string &path);

} // namespace vardo::fileio
