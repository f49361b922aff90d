#pragma once

#include <string>
#include <string_view>
#include <vector>

// The lines of the editor's ".bat" files: each is a command word and the rest of the line,
// taken as one operand. Free of the toolkit and of any process starting.
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

} // namespace vardo::tools
