// The compiler-output reader: whatever the bytes and wherever the chunks break, the same lines
// and diagnostics come out, and every place it reports lies within its own line.
// Input: one byte that says where to cut the output, then the output.
#include "core/qc/compileroutput.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string>
#include <vector>

using vardo::qc::OutputReader;

namespace {

std::vector<OutputReader::Line> readAll(std::string_view output, std::size_t cut, int &errors, int &warnings)
{
    OutputReader reader;
    std::vector<OutputReader::Line> lines;
    for (std::string_view part : {output.substr(0, cut), output.substr(cut)}) {
        auto some = reader.feed(part);
        lines.insert(lines.end(), some.begin(), some.end());
    }
    auto rest = reader.finish();
    lines.insert(lines.end(), rest.begin(), rest.end());
    errors = reader.errors();
    warnings = reader.warnings();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view output(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::size_t cut = output.empty() ? 0 : data[0] % (output.size() + 1);

    int errors = 0, warnings = 0, cutErrors = 0, cutWarnings = 0;
    const auto lines = readAll(output, output.size(), errors, warnings);
    const auto cutLines = readAll(output, cut, cutErrors, cutWarnings);
    FUZZ_CHECK(lines.size() == cutLines.size());
    FUZZ_CHECK(errors == cutErrors && warnings == cutWarnings);
    FUZZ_CHECK(errors + warnings <= static_cast<int>(lines.size()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const OutputReader::Line &line = lines[i];
        FUZZ_CHECK(line.text == cutLines[i].text);
        FUZZ_CHECK(line.diagnostic == cutLines[i].diagnostic);
        FUZZ_CHECK(line.text.size() <= OutputReader::kLongestLine);
        FUZZ_CHECK(line.text.find('\n') == std::string::npos && line.text.find('\x1b') == std::string::npos);
        const auto &found = line.diagnostic;
        FUZZ_CHECK(found.line >= 0 && found.column >= 0);
        FUZZ_CHECK(found.hasPlace() == !found.file.empty());
        if (found.hasPlace())
            FUZZ_CHECK(line.text.find(found.file) != std::string::npos);
        else
            FUZZ_CHECK(found.column == 0);
    }
    return 0;
}
