// The batch-file line: a selected path reaches the command processor as the one operand of
// one command, or, holding a line break, is refused; any batch text parses into commands
// whose operands hold no line break.
#include "core/base/errors.h"
#include "core/batch/batchline.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string>

namespace tools = vardo::tools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::string command = size % 2 == 0 ? "notepad" : "start";
    const bool breaksLine = bytes.find_first_of("\r\n") != std::string::npos;
    try {
        const std::string line = tools::batchLine(command, bytes);
        FUZZ_CHECK(!breaksLine);
        const auto commands = tools::parseBatchText(line + "\r\n");
        FUZZ_CHECK(commands.size() == 1);
        FUZZ_CHECK(commands[0].word == command && commands[0].operand == bytes);
    } catch (const vardo::AppError &) {
        FUZZ_CHECK(breaksLine);
    }

    std::size_t lines = 1;
    for (const char c : bytes)
        lines += c == '\n';
    const auto commands = tools::parseBatchText(bytes);
    FUZZ_CHECK(commands.size() <= lines);
    for (const auto &parsed : commands) {
        FUZZ_CHECK(parsed.word.find_first_of(" \n") == std::string::npos);
        FUZZ_CHECK(parsed.operand.find('\n') == std::string::npos);
    }
    return 0;
}
