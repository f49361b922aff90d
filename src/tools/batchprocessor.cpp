#include "tools/batchprocessor.h"

#include "base/errors.h"
#include "panes/fileio.h"
#include "tools/programs.h"

#include <array>
#include <cctype>
#include <stdexcept>

namespace vardo::tools {

namespace {

// Batch files are a line or two; anything larger is not one of ours.
constexpr std::size_t batchFileLimit = 1 << 20;

// Graphical editors only: $VISUAL and $EDITOR name terminal editors, and no terminal is open.
constexpr std::array textEditors = {"gnome-text-editor", "gedit", "kate", "mousepad",
                                    "xed", "pluma", "leafpad", "featherpad"};

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

void openInTextEditor(const std::string &path)
{
    for (const char *editor : textEditors) {
        if (const auto program = findOnPath(editor)) {
            if (path.empty())
                startDetached({*program, {}});
            else
                startDetached({*program, {asOperand(path)}});
            return;
        }
    }
    if (!path.empty())
        openByDefaultAction(path);
}

void runCommand(const BatchCommand &command)
{
    const std::string word = lowerAscii(command.word);
    if (word == "notepad")
        openInTextEditor(command.operand);
    else if (word == "start" && !command.operand.empty())
        openByDefaultAction(command.operand);
}

} // namespace

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

void runBatchText(std::string_view text)
{
    for (const BatchCommand &command : parseBatchText(text))
        runCommand(command);
}

void runBatchFile(const std::string &path)
{
    std::string text;
    try {
        text = fileio::readWholeFile(path, batchFileLimit);
    } catch (const std::runtime_error &) {
        return;
    }
    runBatchText(text);
}

} // namespace vardo::tools
