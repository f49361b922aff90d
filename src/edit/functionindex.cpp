#include "edit/functionindex.h"

#include "panes/textmodel.h"

#include <algorithm>
#include <array>

namespace vardo::edit {

namespace {

constexpr std::array<std::u16string_view, 8> kPatterns = {
    u"void", u"float(", u"float (", u"float\t(", u"float  (", u"entity(", u"entity (", u"entity  (",
};

bool looksLikeDefinition(std::u16string_view line)
{
    return std::any_of(kPatterns.begin(), kPatterns.end(),
                       [line](std::u16string_view pattern) { return line.find(pattern) != line.npos; });
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

std::vector<std::u16string> scanFunctionIndex(std::u16string_view text)
{
    std::vector<std::u16string> entries;
    while (!text.empty()) {
        const auto end = text.find(u'\n');
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
