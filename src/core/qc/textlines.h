#pragma once

#include <cstddef>
#include <string_view>

namespace vardo::qc {

// Calls `visit(line, index)` for each line of a text, without its line end; CR LF, a lone LF
// and a lone CR each end a line. A last line without a line end is visited too, an empty one
// after a final line end is not.
template <class Char, class Visit>
void forEachLine(std::basic_string_view<Char> text, Visit &&visit)
{
    std::size_t index = 0;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != Char('\n') && text[i] != Char('\r'))
            continue;
        visit(text.substr(begin, i - begin), index++);
        if (text[i] == Char('\r') && i + 1 < text.size() && text[i + 1] == Char('\n'))
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        visit(text.substr(begin), index);
}

} // namespace vardo::qc
