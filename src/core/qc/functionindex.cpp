#include "core/qc/functionindex.h"

#include "core/qc/lexer.h"
#include "core/text/textmodel.h"

#include <algorithm>
#include <array>

namespace vardo::edit {

namespace {

constexpr std::array<std::u16string_view, 8> kPatterns = {
    u"void", u"float(", u"float (", u"float\t(", u"float  (", u"entity(", u"entity (", u"entity  (",
};

// One pass over the line, since a pattern can only begin at a 'v', 'f' or 'e': searching the
// whole line once per pattern made the scan of a large file take nearly twice as long.
bool looksLikeDefinition(std::u16string_view line)
{
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char16_t c = line[at];
        if (c != u'v' && c != u'f' && c != u'e')
            continue;
        const std::u16string_view rest = line.substr(at);
        if (std::any_of(kPatterns.begin(), kPatterns.end(),
                        [rest](std::u16string_view pattern) { return rest.starts_with(pattern); }))
            return true;
    }
    return false;
}

} // namespace

std::u16string indexEntryOf(std::u16string_view line)
{
    if (!looksLikeDefinition(line))
        return {};
    const auto equals = line.find(u'=');
    if (equals == line.npos)
        return {};
    std::u16string entry(line.substr(0, equals + 1));
    std::erase(entry, u'\r');
    return entry;
}

std::u16string_view indexEntryName(std::u16string_view entry)
{
    std::size_t end = entry.size();
    if (end > 0 && entry[end - 1] == u'=')
        --end;
    while (end > 0 && (entry[end - 1] == u' ' || entry[end - 1] == u'\t'))
        --end;
    std::size_t begin = end;
    while (begin > 0 && qc::isNameChar(entry[begin - 1]))
        --begin;
    return entry.substr(begin, end - begin);
}

std::vector<std::u16string> scanFunctionIndex(std::u16string_view text)
{
    std::vector<std::u16string> entries;
    const auto isLineEnd = [](char16_t c) { return c == u'\n' || c == text::kParagraphSeparator; };
    while (!text.empty()) {
        const auto found = std::find_if(text.begin(), text.end(), isLineEnd);
        const auto end = found == text.end() ? text.npos : static_cast<std::size_t>(found - text.begin());
        std::u16string_view line = text.substr(0, end);
        if (end != text.npos && !line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        std::u16string entry = indexEntryOf(line.substr(0, text::kLineReadLimit));
        if (!entry.empty())
            entries.push_back(std::move(entry));
        if (end == text.npos)
            break;
        text.remove_prefix(end + 1);
    }
    return entries;
}

} // namespace vardo::edit
