#pragma once

#include <string>
#include <string_view>
#include <vector>

// The editor's own command processor for ".bat" files. Each line is a command word and the
// rest of the line, taken as one path: nothing is split, quoted, expanded or given to a shell,
// so no character of a file name can run a command.
namespace vardo::tools {

// The batch-file line that runs `command` on `path`. A CR or LF in the path would end the
// line and start a second command, so such a path throws vardo::AppError instead.
std::string batchLine(std::string_view command, const std::string &path);

// One command of a batch file: its word, and the rest of its line as one operand.
struct BatchCommand {
    std::string word;
    std::string operand;
    bool operator==(const BatchCommand &) const = default;
};

// The commands of a batch file's text, one for each line that is not empty.
std::vector<BatchCommand> parseBatchText(std::string_view text);

// Runs the commands of a batch file's text; lines end in LF or CR LF.
//   notepad PATH   opens PATH in the desktop's plain-text editor (the editor alone when empty)
//   start PATH     opens PATH by its default action
// Other commands are ignored.
void runBatchText(std::string_view text);

// Runs the batch file at `path`; an unreadable file runs nothing.
void runBatchFile(const std::string &path);

} // namespace vardo::tools
