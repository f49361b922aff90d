#include "help/builtinentry.h"

#include "help/helppages.h"

#include <algorithm>

namespace vardo::help {

namespace {

int builtinPage()
{
    const auto &pages = helpPages();
    const auto page = std::find_if(pages.begin(), pages.end(),
                                   [](const HelpPage &p) { return std::string_view(p.memoName) == "Memo4"; });
    return static_cast<int>(page - pages.begin());
}

} // namespace

std::string builtinEntry(std::string_view name)
{
    static const std::string page = [] {
        std::string text = helpPageText(builtinPage());
        std::erase(text, '\r');
        return text;
    }();
    const std::string heading = "Function: " + std::string(name) + "\n";
    std::size_t begin = page.find(heading);
    while (begin != std::string::npos && begin != 0 && page[begin - 1] != '\n')
        begin = page.find(heading, begin + 1);
    if (begin == std::string::npos || name.empty())
        return {};
    const std::size_t end = page.find("\n\n", begin);
    return page.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

} // namespace vardo::help
