#include "core/text/textmodel.h"

#include <algorithm>
#include <array>

namespace vardo::text {

namespace {

// Code points of the bytes 0x80 to 0x9F; the unassigned ones keep their own value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int byteForCodePoint(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    const auto *it = std::find(kHighControls.begin(), kHighControls.end(), c);
    if (it == kHighControls.end())
        return -1;
    return 0x80 + static_cast<int>(it - kHighControls.begin());
}

bool isLetter(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        return true;
    if (c >= 0xC0 && c <= 0xFF)
        return c != 0xD7 && c != 0xF7;
    switch (c) {
    case 0x00AA: case 0x00B5: case 0x00BA: case 0x0152: case 0x0153: case 0x0160:
    case 0x0161: case 0x0178: case 0x017D: case 0x017E: case 0x0192:
        return true;
    default:
        return false;
    }
}

bool isWordChar(char16_t c)
{
    return c == u'_' || (c >= u'0' && c <= u'9') || isLetter(c);
}

bool isWholeWordAt(std::u16string_view text, std::size_t pos, std::size_t len)
{
    const bool startsWord = pos == 0 || !isWordChar(text[pos - 1]);
    const bool endsWord = pos + len >= text.size() || !isWordChar(text[pos + len]);
    return startsWord && endsWord;
}

} // namespace

char16_t decodeCp1252Byte(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

std::u16string decodeCp1252(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), out.begin(),
                   [](char ch) { return decodeCp1252Byte(static_cast<unsigned char>(ch)); });
    return out;
}

std::u16string decodeLines(std::string_view bytes)
{
    std::u16string text(bytes.size(), u'\0');
    auto out = text.begin();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        *out++ = (byte == '\r' || byte == '\n') ? u'\n' : decodeCp1252Byte(byte);
    }
    text.erase(out, text.end());
    return text;
}

namespace {

LineEnds styleOf(LineEnd end)
{
    return end == LineEnd::CrLf ? LineEnds::CrLf : end == LineEnd::Lf ? LineEnds::Lf : LineEnds::Cr;
}

} // namespace

std::string_view bytesOf(LineEnd end)
{
    return end == LineEnd::CrLf ? "\r\n" : end == LineEnd::Lf ? "\n" : "\r";
}

FileLineEnds fileLineEnds(std::string_view bytes)
{
    LineEndTally tally;
    tally.add(bytes);
    return tally.ends();
}

void LineEndTally::count(LineEnd end)
{
    const auto kind = static_cast<std::size_t>(end);
    if (each_.empty() && counts_[kind] != total_)
        each_.assign(total_, LineEnd(std::max_element(counts_.begin(), counts_.end()) - counts_.begin()));
    if (!each_.empty())
        each_.push_back(end);
    ++counts_[kind];
    ++total_;
}

void LineEndTally::add(std::string_view slice)
{
    const std::size_t size = slice.size();
    for (std::size_t i = 0; i < size; ++i) {
        if (slice[i] == '\n') {
            count(LineEnd::Lf);
        } else if (slice[i] == '\r') {
            const bool pair = i + 1 < size && slice[i + 1] == '\n';
            count(pair ? LineEnd::CrLf : LineEnd::Cr);
            i += pair;
        }
    }
}

FileLineEnds LineEndTally::ends() const
{
    FileLineEnds ends;
    if (total_ == 0)
        return ends;
    const auto most = std::max_element(counts_.begin(), counts_.end());
    ends.common = static_cast<LineEnd>(most - counts_.begin());
    ends.style = each_.empty() ? styleOf(ends.common) : LineEnds::Mixed;
    ends.each = each_;
    return ends;
}

std::string encodeLines(std::u16string_view text, char16_t separator, std::string_view end)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char16_t c : text) {
        if (c == separator) {
            out += end;
        } else {
            const int b = byteForCodePoint(c);
            out += static_cast<char>(b < 0 ? '?' : b);
        }
    }
    return out;
}

bool cutLongLines(std::u16string &lines, std::size_t limit)
{
    std::size_t cuts = 0, run = 0;
    for (const char16_t c : lines) {
        run = c == u'\n' ? 0 : run + 1;
        cuts += run > limit && (run - 1) % limit == 0;
    }
    if (cuts == 0)
        return false;
    std::u16string out;
    out.reserve(lines.size() + cuts);
    run = 0;
    for (const char16_t c : lines) {
        if (c == u'\n') {
            run = 0;
        } else if (run == limit) {
            out += u'\n';
            run = 1;
        } else {
            ++run;
        }
        out += c;
    }
    lines = std::move(out);
    return true;
}

bool isCp1252Encodable(char16_t c)
{
    return byteForCodePoint(c) >= 0;
}

std::string encodeCp1252(std::u16string_view text)
{
    std::string out(text.size(), '\0');
    std::transform(text.begin(), text.end(), out.begin(), [](char16_t c) {
        const int b = byteForCodePoint(c);
        return static_cast<char>(b < 0 ? '?' : b);
    });
    return out;
}

char16_t foldCase(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    switch (c) {
    case 0x0160: return 0x0161;
    case 0x0152: return 0x0153;
    case 0x017D: return 0x017E;
    case 0x0178: return 0x00FF;
    default: return c;
    }
}

long long findText(std::u16string_view text, std::u16string_view what, std::size_t start,
                   std::size_t length, FindOptions options)
{
    if (what.empty() || start >= text.size())
        return -1;
    const std::size_t end = start + std::min(length, text.size());
    const std::size_t found = TextSearch(what, options).next(text, start, end);
    return found == TextSearch::npos ? -1 : static_cast<long long>(found);
}

TextSearch::TextSearch(std::u16string_view what, FindOptions options) : what_(what), options_(options)
{
    for (char16_t &c : what_)
        c = key(c);
    const std::size_t m = what_.size();
    forwardShift_.fill(std::max<std::size_t>(m, 1));
    backwardShift_.fill(std::max<std::size_t>(m, 1));
    for (std::size_t i = 0; i + 1 < m; ++i)
        forwardShift_[what_[i] & 0xFF] = m - 1 - i;
    for (std::size_t i = m - 1; i >= 1 && m > 1; --i)
        backwardShift_[what_[i] & 0xFF] = i;
}

bool TextSearch::sameAt(std::u16string_view text, std::size_t position) const
{
    for (std::size_t i = 0; i < what_.size(); ++i)
        if (key(text[position + i]) != what_[i])
            return false;
    return true;
}

bool TextSearch::matchesAt(std::u16string_view text, std::size_t position) const
{
    return !what_.empty() && position <= text.size() && what_.size() <= text.size() - position &&
           sameAt(text, position) && (!options_.wholeWord || isWholeWordAt(text, position, what_.size()));
}

std::size_t TextSearch::next(std::u16string_view text, std::size_t from, std::size_t end) const
{
    const std::size_t m = what_.size();
    end = std::min(end, text.size());
    if (m == 0 || end < m)
        return npos;
    for (std::size_t at = from; at <= end - m;) {
        const char16_t last = key(text[at + m - 1]);
        if (last == what_[m - 1] && sameAt(text, at) &&
            (!options_.wholeWord || isWholeWordAt(text, at, m)))
            return at;
        at += forwardShift_[last & 0xFF];
    }
    return npos;
}

std::size_t TextSearch::previous(std::u16string_view text, std::size_t before) const
{
    const std::size_t m = what_.size();
    if (m == 0 || text.size() < m || before == 0)
        return npos;
    for (std::size_t at = std::min(before - 1, text.size() - m);;) {
        const char16_t first = key(text[at]);
        if (first == what_[0] && sameAt(text, at) && (!options_.wholeWord || isWholeWordAt(text, at, m)))
            return at;
        const std::size_t shift = backwardShift_[first & 0xFF];
        if (at < shift)
            return npos;
        at -= shift;
    }
}

} // namespace vardo::text
