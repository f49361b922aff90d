// The QuakeC lexer, the source-list reader and the symbol scan: whatever the bytes, they end,
// and what they give points inside the text.
#include "core/qc/lexer.h"
#include "core/qc/sourcelist.h"
#include "core/qc/symbols.h"
#include "core/qc/textlines.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace vardo::qc;

namespace {

// Tokens lie in the line, in order, without overlapping; the narrow and the wide lexer agree.
void checkLexer(std::string_view text)
{
    LineState state = LineState::Code, wideState = LineState::Code;
    std::vector<Token> tokens, wideTokens;
    forEachLine(text, [&](std::string_view line, std::size_t) {
        tokens.clear();
        wideTokens.clear();
        const LineState before = state;
        state = lexLine(line, state, tokens);
        const std::u16string wide(line.begin(), line.end());
        wideState = lexLine(std::u16string_view(wide), wideState, wideTokens);
        FUZZ_CHECK(state == wideState);
        std::size_t end = 0;
        for (const Token &t : tokens) {
            FUZZ_CHECK(t.length > 0 && t.begin >= end && t.begin + t.length <= line.size());
            end = t.begin + t.length;
        }
        // Wide characters above 0x7f are name characters, as are those bytes: the same tokens.
        FUZZ_CHECK(tokens == wideTokens);
        // A line that starts in code and has no "/*" cannot end in a comment.
        if (before == LineState::Code && line.find("/*") == std::string_view::npos)
            FUZZ_CHECK(state == LineState::Code);
    });
}

void checkSymbols(std::string_view text)
{
    std::size_t lines = 0;
    forEachLine(text, [&](std::string_view, std::size_t) { ++lines; });
    const FileSymbols file = scanSymbols(text);
    for (const Symbol &s : file.symbols) {
        FUZZ_CHECK(!s.name.empty());
        FUZZ_CHECK(s.line < lines);
        FUZZ_CHECK(!s.declaration.empty());
    }
    localNames(text, static_cast<std::uint32_t>(lines / 2));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    checkLexer(text);
    checkSymbols(text);
    // A directory that is not there: every name is missing, nothing is read.
    const SourceList list = parseSourceList(text, "/nonexistent-vardo-fuzz");
    FUZZ_CHECK(list.files.empty());
    return 0;
}
