#include "tools/batchprocessor.h"

#include "core/files/fileio.h"
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
