#include "help/helppages.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <set>

using vardo::help::helpPageText;

namespace {

// The stored lines of a page: every line is followed by CR LF.
std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

enum Page { Console, Index, Lex, Builtin, Defs, Misc, Examples, MiniHelp };

} // namespace

TEST(HelpPages, CaptionsAndLineCounts)
{
    const std::vector<std::string> captions = {"&Console", "QCman - &Index", "QCMan - &Lex",
                                               "QCman - &Builtin", "QCman  - &Defs", "QCman - &Misc",
                                               "QCman - &Exampl", "VARDO -Minihelp"};
    const std::vector<std::size_t> counts = {290, 66, 185, 494, 170, 1454, 231, 14};
    std::size_t total = 0;
    for (int i = 0; i < vardo::help::kPageCount; ++i) {
        EXPECT_EQ(vardo::help::helpPages()[i].caption, captions[i]);
        const std::string text = helpPageText(i);
        EXPECT_EQ(linesOf(text).size(), counts[i]) << captions[i];
        total += text.size();
    }
    EXPECT_GT(total, 95000u);
    EXPECT_LT(total, 125000u);
}

TEST(HelpPages, PlainAsciiWithCrLfOnly)
{
    for (int i = 0; i < vardo::help::kPageCount; ++i) {
        const std::string text = helpPageText(i);
        for (std::size_t k = 0; k < text.size(); ++k) {
            const auto c = static_cast<unsigned char>(text[k]);
            ASSERT_TRUE(c == '\t' || c == '\r' || c == '\n' || (c >= 32 && c < 127)) << "page " << i << " offset " << k;
            if (c == '\r') {
                ASSERT_EQ(text[k + 1], '\n');
            }
            if (c == '\n') {
                ASSERT_EQ(text[k - 1], '\r');
            }
        }
    }
}

TEST(HelpPages, MiscOpensWithTheDefsPage)
{
    const auto defs = linesOf(helpPageText(Defs));
    const auto misc = linesOf(helpPageText(Misc));
    ASSERT_EQ(defs.size(), 170u);
    EXPECT_TRUE(std::equal(defs.begin(), defs.end(), misc.begin()));
    EXPECT_EQ(misc[170] + misc[171] + misc[172], "");
    EXPECT_EQ(misc[173], "5. Entities");
    EXPECT_EQ(misc[174], "__");
    for (const char *chapter : {"6. Model pragma", "7. Network protocol", "8. Network Builtin functions",
                                "9. Tips & tricks", "10. Types", "11. Compilation of Quake-C",
                                "12. Execution of Quake-C"})
        EXPECT_NE(std::find(misc.begin(), misc.end(), chapter), misc.end()) << chapter;
}

TEST(HelpPages, ConsoleEntriesStartInColumnOneWithDescriptionsInColumnForty)
{
    const auto lines = linesOf(helpPageText(Console));
    std::vector<std::string> names;
    for (const std::string &line : lines) {
        ASSERT_FALSE(line.empty());
        if (line[0] == ' ') {
            EXPECT_EQ(line.find_first_not_of(' ') >= 39, true) << line;
            continue;
        }
        ASSERT_GT(line.size(), 39u) << line;
        EXPECT_EQ(line[38], ' ') << line;
        EXPECT_NE(line[39], ' ') << line;
        names.push_back(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(names.size(), 172u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 160u);
    EXPECT_EQ(std::count(names.begin(), names.end(), "impulse"), 12);
    EXPECT_EQ(std::count(names.begin(), names.end(), "color"), 2);
    EXPECT_EQ(names.front(), "alias");
    EXPECT_EQ(names.back(), "zoom_out");
    // Byte order, so that "cl_yawspeed" comes before "clear".
    const auto unsorted = std::is_sorted_until(names.begin(), names.end());
    EXPECT_TRUE(unsorted == names.end()) << "out of order: " << *unsorted;
}

// Whether a line is a numbered heading: "3. Title" (chapter) or "3.4 Title" (section).
bool isHeading(const std::string &line, bool section)
{
    const std::size_t digits = line.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string::npos || line[digits] != '.')
        return false;
    if (!section)
        return line.compare(digits, 2, ". ") == 0 && line.size() > digits + 2;
    const std::size_t more = line.find_first_not_of("0123456789", digits + 1);
    return more != digits + 1 && more != std::string::npos && line[more] == ' ' &&
           more + 1 < line.size() && std::isupper(static_cast<unsigned char>(line[more + 1]));
}

TEST(HelpPages, ChaptersOpenWithHeadingAndUnderscores)
{
    for (int page : {Lex, Builtin, Defs, Misc, Examples}) {
        const auto lines = linesOf(helpPageText(page));
        EXPECT_TRUE(isHeading(lines[0], false)) << lines[0];
        EXPECT_EQ(lines[1], "__");
    }
    // Numbered sections are followed by an empty line.
    int sections = 0;
    for (int page : {Lex, Builtin, Defs, Examples}) {
        const auto lines = linesOf(helpPageText(page));
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            if (isHeading(lines[i], true)) {
                ++sections;
                EXPECT_EQ(lines[i + 1], "") << lines[i];
            }
    }
    EXPECT_EQ(sections, 15 + 12 + 11 + 6);
}

TEST(HelpPages, BuiltinPageDescribesFiftySixFunctions)
{
    const auto lines = linesOf(helpPageText(Builtin));
    std::set<std::string> names;
    const std::string opening = "Function: ";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("Function", 0) != 0)
            continue;
        ASSERT_EQ(lines[i].rfind(opening, 0), 0u) << lines[i];
        const std::string name = lines[i].substr(opening.size());
        ASSERT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"),
                  std::string::npos) << lines[i];
        names.insert(name);
        // The prototype follows: a QuakeC declaration of a builtin number.
        EXPECT_NE(lines[i + 1].find(name + " = #"), std::string::npos) << lines[i + 1];
    }
    EXPECT_EQ(names.size(), 56u);
}

TEST(HelpPages, ExamplesAndMiniHelpLayout)
{
    const auto examples = linesOf(helpPageText(Examples));
    EXPECT_EQ(examples[229], "__");
    EXPECT_EQ(examples[230], "");
    for (const char *title : {"13.1 Looping between all monster", "13.2 Creating a new entities",
                              "13.3 Setting point of view", "13.4 Teleporting", "13.5 Throwing your eyes",
                              "13.6 Radar"})
        EXPECT_NE(std::find(examples.begin(), examples.end(), title), examples.end()) << title;

    const auto mini = linesOf(helpPageText(MiniHelp));
    EXPECT_EQ(mini[0], "::VARDO::  Mini help");
    EXPECT_EQ(mini[2], " VARDO as a NO-SESION text editor, this concept remove the need for openfile ");
    EXPECT_EQ(mini[7], " Tryit.");
    EXPECT_EQ(mini[9], " 1 saludo");
    for (int empty : {1, 6, 8, 11, 13})
        EXPECT_EQ(mini[empty], "");
    EXPECT_EQ(mini[10][0], ' ');
    EXPECT_EQ(mini[12][0], ' ');
}

TEST(HelpPages, KeysPageGivesEachKeyOneLine)
{
    EXPECT_STREQ(vardo::help::keysPage().caption, "&Keys");
    const auto lines = linesOf(vardo::help::keysPageText());
    for (const std::string key : {"F1", "F4", "Shift+F4", "F7", "F12", "Shift+F12", "Alt+Left", "Alt+Right",
                                  "Ctrl+Space", "Ctrl+J", "Ctrl+F", "Ctrl+H", "Ctrl+G", "Ctrl+P", "Ctrl+S", "F3",
                                  "Shift+F3", "Esc", "Ctrl+/", "Tab", "Shift+Tab", "Home", "Ctrl+click"}) {
        const auto described = [&](const std::string &line) {
            return line.starts_with(key + " ") && line.find_first_not_of(' ', key.size()) != std::string::npos;
        };
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), described), 1) << key;
    }
}
