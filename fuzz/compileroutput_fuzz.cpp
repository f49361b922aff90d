// The compiler-output reader: whatever the bytes and wherever the chunks break, the same lines
// and diagnostics come out, no control sequence is left in them, a row shows them as printable
// UTF-8, and every place it reports lies within its own line.
// Input: one byte that says where to cut the output, then the output.
#include "core/qc/compileroutput.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <string>
#include <vector>

using vardo::qc::OutputReader;

namespace {

struct Reading {
    std::vector<OutputReader::Line> lines;
    int errors = 0, warnings = 0;
};

// The output fed in chunks of `size` bytes from `cut` on, the part before it in one.
Reading readAll(std::string_view output, std::size_t cut, std::size_t size)
{
    OutputReader reader;
    Reading reading;
    const auto add = [&](std::vector<OutputReader::Line> some) {
        reading.lines.insert(reading.lines.end(), some.begin(), some.end());
    };
    add(reader.feed(output.substr(0, cut)));
    for (std::size_t at = cut; at < output.size(); at += size)
        add(reader.feed(output.substr(at, size)));
    add(reader.finish());
    reading.errors = reader.errors();
    reading.warnings = reader.warnings();
    return reading;
}

// Well-formed UTF-8 with no control characters but TAB: what a row may show.
bool printableUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : byte >= 0xC2 && byte <= 0xDF ? 2 : byte >= 0xE0 && byte <= 0xEF ? 3
                                                                          : byte >= 0xF0 && byte <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return false;
        if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view output(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::size_t cut = output.empty() ? 0 : data[0] % (output.size() + 1);

    const Reading whole = readAll(output, output.size(), 1);
    for (const Reading &other : {readAll(output, cut, output.size() + 1), readAll(output, cut, 1)}) {
        FUZZ_CHECK(whole.lines.size() == other.lines.size());
        FUZZ_CHECK(whole.errors == other.errors && whole.warnings == other.warnings);
        for (std::size_t i = 0; i < whole.lines.size(); ++i) {
            FUZZ_CHECK(whole.lines[i].text == other.lines[i].text);
            FUZZ_CHECK(whole.lines[i].cut == other.lines[i].cut);
            FUZZ_CHECK(whole.lines[i].diagnostic == other.lines[i].diagnostic);
        }
    }
    FUZZ_CHECK(whole.errors + whole.warnings <= static_cast<int>(whole.lines.size()));
    for (const OutputReader::Line &line : whole.lines) {
        FUZZ_CHECK(line.text.size() <= OutputReader::kLongestLine);
        FUZZ_CHECK(line.text.find_first_of("\n\r\x1b") == std::string::npos);
        // Nothing left to strip: the text is its own stripped form.
        FUZZ_CHECK(vardo::qc::withoutEscapes(line.text) == line.text);
        const std::string shown = vardo::qc::shownText(line.text, line.cut);
        FUZZ_CHECK(printableUtf8(shown));
        FUZZ_CHECK(shown.size() <= 4 * vardo::qc::kShownLength + 3);
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
