#pragma once

#include "core/batch/batchline.h"

#include <string>
#include <string_view>

// The editor's own command processor for ".bat" files. Each line is a command word and the
// rest of the line, taken as one path: nothing is split, quoted, expanded or given to a shell,
// so no character of a file name can run a command.
namespace vardo::tools {

// Runs the commands of a batch file's text; lines end in LF or CR LF.
//   notepad PATH   opens PATH in the desktop's plain-text editor (the editor alone when empty)
//   start PATH     opens PATH by its default action
// Other commands are ignored.
void runBatchText(std::string_view text);

// Runs the batch file at `path`; an unreadable file runs nothing.
void runBatchFile(const std::string &path);

} // namespace vardo::tools
