#pragma once

#include <functional>
#include <string>

// The desktop's execute service, built on the program starts of tools/programs.h, and the
// batch files it runs.
namespace vardo::tools {

enum class ShowMode { Hidden, Normal };

// What one call of the execute service asked for.
struct Execution {
    std::string file;             // as passed: a program name, a document, a folder, a ".bat" file
    std::string workingDirectory; // the process's current directory at the call
    ShowMode mode = ShowMode::Hidden;
};

// Starts `file` by its default action, fire-and-forget; the result is ignored and nothing is
// reported. A program (such as "frikqcc2.exe") is looked up in the current directory first,
// then along PATH, and started detached in the current directory (through wine for a Windows
// program when wine is installed); a ".bat" file is run by the command processor; any other
// document or folder is opened through the desktop (xdg-open). Not found: nothing happens.
void shellExecute(const std::string &file, ShowMode mode);

// Replaces what shellExecute does, for tests; an empty function restores the real service.
void setExecuteSeam(std::function<void(const Execution &)> seam);

// Writes the batch file `name` in the current directory: `line` followed by CR LF, replacing
// an old file or any other entry of that name but a directory by a new plain file, never
// writing through a link. Throws vardo::IoError (message from the input/output error table) on failure.
void writeBatchFile(const std::string &name, const std::string &line);

} // namespace vardo::tools
