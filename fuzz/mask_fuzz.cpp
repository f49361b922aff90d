// The file mask matcher and the list order, against plain reference versions.
// Input: a file name, a NUL byte, a mask; without a NUL the input is both the name and the mask.
#include "core/files/listing.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using vardo::nav::lessIgnoringCase;
using vardo::nav::matchesMask;

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

std::string caseSwapped(std::string_view s)
{
    std::string out(s);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        else if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return out;
}

// Whole-string wildcard match by dynamic programming over (name prefix, pattern prefix).
bool referencePattern(std::string_view name, std::string_view pattern)
{
    std::vector<char> row(pattern.size() + 1), next(pattern.size() + 1);
    row[0] = 1;
    for (std::size_t j = 1; j <= pattern.size(); ++j)
        row[j] = row[j - 1] && pattern[j - 1] == '*';
    for (const char n : name) {
        next[0] = 0;
        for (std::size_t j = 1; j <= pattern.size(); ++j) {
            const char p = pattern[j - 1];
            next[j] = p == '*' ? (next[j - 1] || row[j]) : (row[j - 1] && (p == '?' || lower(p) == lower(n)));
        }
        row.swap(next);
    }
    return row[pattern.size()];
}

bool referenceMask(std::string_view name, std::string_view mask)
{
    for (std::size_t from = 0;;) {
        const std::size_t semicolon = std::min(mask.find(';', from), mask.size());
        const std::string_view pattern = mask.substr(from, semicolon - from);
        if (referencePattern(name, pattern))
            return true;
        // "x.*" also stands for "x" without any extension.
        if (pattern.ends_with(".*") && name.find('.') == name.npos &&
            referencePattern(name, pattern.substr(0, pattern.size() - 2)))
            return true;
        if (semicolon == mask.size())
            return false;
        from = semicolon + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::size_t nul = input.find('\0');
    // Names no longer than the file system allows; masks of a sane length keep the reference quick.
    const std::string_view name = input.substr(0, std::min<std::size_t>(nul, 255));
    const std::string_view mask = nul == input.npos ? input.substr(0, 1024) : input.substr(nul + 1, 1024);

    const bool matches = matchesMask(name, mask);
    FUZZ_CHECK(matches == referenceMask(name, mask));
    // Letters match without regard to case, in the name and in the mask.
    FUZZ_CHECK(matchesMask(caseSwapped(name), mask) == matches);
    FUZZ_CHECK(matchesMask(name, caseSwapped(mask)) == matches);
    // The order of the patterns does not matter, nor does a repeated one.
    const std::size_t semicolon = mask.find(';');
    if (semicolon != mask.npos) {
        const std::string swapped =
            std::string(mask.substr(semicolon + 1)) + ";" + std::string(mask.substr(0, semicolon));
        FUZZ_CHECK(matchesMask(name, swapped) == matches);
    }
    FUZZ_CHECK(matchesMask(name, std::string(mask) + ";" + std::string(mask)) == matches);

    FUZZ_CHECK(matchesMask(name, "*") && matchesMask(name, "*.*"));
    FUZZ_CHECK(matchesMask(name, "") == name.empty());
    FUZZ_CHECK(matchesMask(name, std::string(mask) + ";*"));
    if (name.find_first_of("*?;") == name.npos) {
        FUZZ_CHECK(matchesMask(name, name));
        FUZZ_CHECK(matchesMask(name, caseSwapped(name)));
    }

    // The list order: letters compared without regard to case, then the bytes, so it is total.
    const std::string a(name), b(mask);
    const bool less = lessIgnoringCase(a, b);
    const std::string la = lowered(a), lb = lowered(b);
    FUZZ_CHECK(less == (la < lb || (la == lb && a < b)));
    FUZZ_CHECK(!lessIgnoringCase(a, a));
    FUZZ_CHECK(a == b || less != lessIgnoringCase(b, a));
    return 0;
}
