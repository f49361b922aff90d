#include "core/batch/batchline.h"

#include "core/base/errors.h"

namespace vardo::tools {

std::string batchLine(std::string_view command, const std::string &path)
{
    if (path.find_first_of("\r\n") != std::string::npos)
        throw AppError("The file name contains a line break");
    return std::string(command) + " " + path;
}

std::vector<BatchCommand> parseBatchText(std::string_view text)
{
    std::vector<BatchCommand> commands;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const auto blank = line.find(' ');
        commands.push_back({std::string(line.substr(0, blank)),
                            std::string(blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1))});
    }
    return commands;
}

} // namespace vardo::tools
