#pragma once

#include <QString>
#include <array>
#include <string>

namespace vardo::help {

// One page of the help notebook: its tab caption, its memo and the memo's font.
struct HelpPage {
    const char *caption;
    const char *memoName;
    const char *fontFamily;
    int fontPixels;
    bool bold;
    bool verticalScrollBar;
};

constexpr int kPageCount = 8;
// The page in front when the window is built: the mini-help.
constexpr int kFirstPage = 7;

const std::array<HelpPage, kPageCount> &helpPages();

// The stored text of a page: 7-bit ASCII with CR LF line ends, built into the program.
std::string helpPageText(int index);

} // namespace vardo::help
