#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Starting other programs: detached, fire-and-forget, arguments passed as exact byte strings
// and never through a shell.
namespace vardo::tools::detail {

// Starts `program` (a path) with `args` in the directory `cwd`.
using Launcher = std::function<void(const std::string &program,
                                    const std::vector<std::string> &args, const std::string &cwd)>;

// Replaces the real process start, for tests; an empty function restores it.
void setLaunchSeam(Launcher seam);

// Starts `program` detached in the current directory, stdin from /dev/null, stdout and stderr
// shared with the editor; nobody waits for it and failures are ignored.
void launch(const std::string &program, const std::vector<std::string> &args);

// The process's current directory, or "." when the system cannot tell it.
std::string workingDirectory();

// Where `name` would be found along PATH, in order; just `name` when it holds a separator.
std::vector<std::string> pathCandidates(const std::string &name);

bool isExecutableFile(const std::string &path);

// The first executable file called `name` along PATH.
std::optional<std::string> findOnPath(const std::string &name);

// A path as a program's operand: a leading '-' would be read as an option.
std::string asOperand(const std::string &path);

// Opens `path` by its default action through the desktop; nothing when the desktop cannot.
void openByDefaultAction(const std::string &path);

} // namespace vardo::tools::detail
