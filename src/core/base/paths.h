#pragma once

#include <string>

// Paths are byte strings as the file system stores them; empty means none.
namespace vardo::paths {

// The text after the last separator.
std::string fileNamePart(const std::string &path);

// The text up to and including the last separator; empty when there is none.
std::string directoryPart(const std::string &path);

// A directory joined with a name: directly after a trailing separator (the root), else with one.
std::string join(const std::string &directory, const std::string &name);

// The part of `path` below `folder` ("monsters/ogre.qc"); `path` itself when it does not lie
// below it. Both are compared as written.
std::string relativeTo(const std::string &path, const std::string &folder);

// A path made absolute against the current directory, without "." and "..", and with symbolic
// links resolved as far as it exists: two names of one file give the same text.
std::string canonical(const std::string &path);

// Whether the path names a regular file, symbolic links followed.
bool isRegularFile(const std::string &path);

// Whether the path names a directory, symbolic links followed.
bool isDirectory(const std::string &path);

// The process's current directory as the system reports it; throws IoError on failure.
std::string currentDirectory();

} // namespace vardo::paths
