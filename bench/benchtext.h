#pragma once

#include <string>

// A QuakeC source of `lines` lines (about 34 bytes each, CR LF line ends) with a function
// definition every 20 lines, for the benchmarks.
inline std::string quakecSource(int lines)
{
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 36);
    for (int i = 0; i < lines; ++i) {
        if (i % 20 == 0)
            text += "void() monster_think_" + std::to_string(i) + " =\r\n";
        else
            text += "    self.nextthink = time + 0.1;\r\n";
    }
    text += "float() endmarker = { return 1; };";
    return text;
}
