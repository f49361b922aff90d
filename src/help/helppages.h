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

// The stored reference pages; the list of the editor's keys follows them.
constexpr int kPageCount = 8;
constexpr int kKeysPage = kPageCount;
constexpr int kMemoCount = kPageCount + 1;
// The page in front when the window is built: the mini-help.
constexpr int kFirstPage = 7;

const std::array<HelpPage, kPageCount> &helpPages();
const HelpPage &keysPage();

// The stored text of a page: 7-bit ASCII with CR LF line ends, built into the program.
std::string helpPageText(int index);
// The list of keys, stored as the pages are: one key and what it does to a line.
std::string keysPageText();

} // namespace vardo::help
