// The checker's preprocessor and parser: whatever the bytes, the check ends, and every
// diagnostic points at a line of the text.
#include "core/check/projectchecker.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string>

using namespace vardo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i)
        lines += text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
    // A folder that is not there: nothing is read from the disk, #includes find nothing.
    check::ProjectChecker checker("/nonexistent-vardo-fuzz");
    const std::string path = "/nonexistent-vardo-fuzz/a.qc";
    for (const qc::Diagnostic &d : checker.checkFile(path, text)) {
        FUZZ_CHECK(d.file == path);
        FUZZ_CHECK(d.line >= 1 && d.line <= lines);
        FUZZ_CHECK(d.column >= 1);
        FUZZ_CHECK(!d.message.empty());
    }
    for (int line = 1; line <= lines && line <= 8; ++line)
        if (const auto declaration = checker.declarationAt(path, line, 1))
            FUZZ_CHECK(!checker.usesOf(*declaration).empty());
    return 0;
}
