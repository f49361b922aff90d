// The function index scan: what the entries must be, whatever the text.
#include "core/qc/functionindex.h"
#include "core/text/textmodel.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace text = vardo::text;
using vardo::edit::indexEntryOf;
using vardo::edit::scanFunctionIndex;

namespace {

std::u16string withoutCr(std::u16string_view s)
{
    std::u16string out(s);
    std::erase(out, u'\r');
    return out;
}

std::vector<std::u16string_view> linesOf(std::u16string_view text)
{
    std::vector<std::u16string_view> lines;
    while (!text.empty()) {
        const auto end = text.find(u'\n');
        lines.push_back(text.substr(0, end));
        if (end == text.npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The entry of one line, checked against what any entry must be.
std::u16string checkedEntryOf(std::u16string_view line)
{
    std::u16string entry = indexEntryOf(line);
    const auto equals = line.find(u'=');
    if (equals == line.npos) {
        FUZZ_CHECK(entry.empty());
        return entry;
    }
    if (line.find(u"void") != line.npos)
        FUZZ_CHECK(!entry.empty());
    if (entry.empty())
        return entry;
    FUZZ_CHECK(entry == withoutCr(line.substr(0, equals + 1)));
    // Whatever follows the first "=" does not change the entry.
    FUZZ_CHECK(indexEntryOf(std::u16string(line) + u"=void float( entity(\r") == entry);
    return entry;
}

void checkScan(std::u16string_view text)
{
    const std::vector<std::u16string> entries = scanFunctionIndex(text);
    const std::vector<std::u16string_view> lines = linesOf(text);
    FUZZ_CHECK(entries.size() <= lines.size());

    for (const std::u16string &entry : entries) {
        FUZZ_CHECK(!entry.empty() && entry.back() == u'=');
        FUZZ_CHECK(std::count(entry.begin(), entry.end(), u'=') == 1);
        FUZZ_CHECK(entry.find_first_of(u"\r\n") == entry.npos);
    }

    // The entries are those of the lines in order, each line as the editor reads it: without the
    // CR of a CR LF, cut at the line limit. So each entry is its line up to the first "=", CRs
    // dropped, and that "=" lies within the part of the line that is read.
    std::vector<std::u16string> expected;
    std::size_t mustGive = 0;
    for (std::u16string_view line : lines) {
        if (line.data() + line.size() < text.data() + text.size() && line.ends_with(u'\r'))
            line.remove_suffix(1);
        line = line.substr(0, text::kLineReadLimit);
        std::u16string entry = checkedEntryOf(line);
        if (!entry.empty())
            expected.push_back(std::move(entry));
        const std::u16string_view head = line.substr(0, 4000);
        mustGive += head.find(u"void") != head.npos && head.find(u'=') != head.npos;
    }
    FUZZ_CHECK(entries == expected);
    FUZZ_CHECK(entries.size() >= mustGive);
}

// As the editor runs it: the loaded file's lines joined by CR LF. The entries are the same as with
// bare LF line ends, and each one is found again by the jump's search.
void checkEditorText(std::string_view bytes)
{
    const std::u16string lines = text::decodeLines(bytes);
    const std::u16string whole = withCrLf(lines);
    const std::vector<std::u16string> entries = scanFunctionIndex(whole);
    FUZZ_CHECK(entries == scanFunctionIndex(lines));
    std::vector<std::u16string> tried;
    for (const std::u16string &entry : entries) {
        if (tried.size() == 16 || std::find(tried.begin(), tried.end(), entry) != tried.end())
            continue;
        tried.push_back(entry);
        FUZZ_CHECK(text::findText(whole, entry, 0, whole.size()) >= 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    // The raw bytes, lone CRs and all, as one text.
    const std::u16string raw = text::decodeCp1252(bytes);
    checkScan(raw);
    checkedEntryOf(raw);
    checkEditorText(bytes);

    // The same text with its first line pushed out to about the line limit, so that the cut at the
    // limit falls among the fuzzed characters; an odd last byte chooses how far.
    if (size > 0 && bytes.back() % 2 != 0) {
        const std::size_t pad = text::kLineReadLimit - 128 + static_cast<unsigned char>(bytes.back());
        checkScan(std::u16string(pad, u' ') + raw);
    }
    return 0;
}
