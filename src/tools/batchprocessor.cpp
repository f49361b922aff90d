#include "tools/batchprocessor.h"

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

void runCommand(std::string_view line)
{
    const auto blank = line.find(' ');
    const std::string command = lowerAscii(line.substr(0, blank));
    const std::string rest(blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1));
    if (command == "notepad")
        openInTextEditor(rest);
    else if (command == "start" && !rest.empty())
        openByDefaultAction(rest);
}

} // namespace

void runBatchText(std::string_view text)
{
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            runCommand(line);
    }
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
