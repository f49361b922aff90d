#include "core/text/textmodel.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace vardo::text;

TEST(LineEnds, EveryKindIsOneLineEnd)
{
    EXPECT_EQ(decodeLines("a\r\nb"), u"a\nb");
    EXPECT_EQ(decodeLines("a\nb\n"), u"a\nb\n");
    EXPECT_EQ(decodeLines("a\rb"), u"a\nb");
    EXPECT_EQ(decodeLines("\n\r"), u"\n\n");
    EXPECT_EQ(decodeLines("\r\r\n"), u"\n\n");
    EXPECT_EQ(decodeLines("\r\n\r\n\n"), u"\n\n\n");
    EXPECT_EQ(decodeLines("no end\x80"), u"no end\u20AC");
    EXPECT_EQ(decodeLines(""), u"");
}

TEST(LineEnds, StyleOfAFile)
{
    const std::pair<std::string_view, LineEnds> cases[] = {
        {"", LineEnds::None},           {"no end", LineEnds::None},  {"a\r\nb\r\n", LineEnds::CrLf},
        {"a\nb\n", LineEnds::Lf},        {"a\rb\r", LineEnds::Cr},     {"a\r\nb\n", LineEnds::Mixed},
        {"a\nb\r\n", LineEnds::Mixed},  {"\r\r\n", LineEnds::Mixed}, {"a\r", LineEnds::Cr},
        {"\r\n\r\n", LineEnds::CrLf},
    };
    for (const auto &[bytes, style] : cases) {
        const FileLineEnds whole = fileLineEnds(bytes);
        EXPECT_EQ(whole.style, style) << bytes;
        // Learnt a slice at a time, split anywhere but inside a CR LF, the ends are the same.
        for (std::size_t split = 0; split <= bytes.size(); ++split) {
            if (split > 0 && split < bytes.size() && bytes[split - 1] == '\r' && bytes[split] == '\n')
                continue;
            LineEndTally tally;
            tally.add(bytes.substr(0, split));
            tally.add(bytes.substr(split));
            const FileLineEnds sliced = tally.ends();
            EXPECT_EQ(sliced.style, whole.style) << bytes << " split at " << split;
            EXPECT_EQ(sliced.common, whole.common) << bytes << " split at " << split;
            EXPECT_EQ(sliced.each, whole.each) << bytes << " split at " << split;
        }
    }
}

// A file's line ends as a save needs them: the most common for new lines, each one of a file
// that mixes them.
TEST(LineEnds, WhatASaveKeeps)
{
    const FileLineEnds crlf = fileLineEnds("a\r\nb\r\n\n");
    EXPECT_EQ(crlf.style, LineEnds::Mixed);
    EXPECT_EQ(crlf.common, LineEnd::CrLf);
    EXPECT_EQ(crlf.each, (std::vector{LineEnd::CrLf, LineEnd::CrLf, LineEnd::Lf}));
    EXPECT_EQ(fileLineEnds("a\rb\nc\n").common, LineEnd::Lf);
    EXPECT_EQ(fileLineEnds("a\r\nb\n").common, LineEnd::CrLf) << "a tie keeps CR LF";
    EXPECT_EQ(fileLineEnds("none").common, LineEnd::Lf);
    EXPECT_TRUE(fileLineEnds("a\nb\n").each.empty()) << "kept only for mixed files";
    EXPECT_EQ(encodeLines(u"a\u2029\u20AC\u2029\u4E2D", u'\u2029', "\r"), "a\r\x80\r?");
}

TEST(CodePage, EveryByteRoundTrips)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::u16string decoded = decodeCp1252(all);
    ASSERT_EQ(decoded.size(), 256u);
    EXPECT_EQ(encodeCp1252(decoded), all);
    for (char16_t c : decoded)
        EXPECT_TRUE(isCp1252Encodable(c));
}

TEST(CodePage, DecodesTheWindowsCharacters)
{
    EXPECT_EQ(decodeCp1252("\x80\x85\x99\xe9"), std::u16string(u"\u20AC\u2026\u2122\u00E9"));
    // The five unassigned bytes keep their own value.
    EXPECT_EQ(decodeCp1252("\x81\x8d\x8f\x90\x9d"), std::u16string(u"\u0081\u008D\u008F\u0090\u009D"));
}

TEST(CodePage, CharactersOutsideItAreRefused)
{
    EXPECT_FALSE(isCp1252Encodable(u'\u0100'));
    EXPECT_FALSE(isCp1252Encodable(u'\u4E2D'));
    EXPECT_FALSE(isCp1252Encodable(u'\u0080')); // its byte stands for the euro sign
    EXPECT_EQ(encodeCp1252(u"a\u4E2Db"), "a?b");
}

TEST(Find, IgnoresCaseUnlessAsked)
{
    const std::u16string text = u"void() main =\r\n{\r\n};";
    EXPECT_EQ(findText(text, u"VOID", 0, text.size()), 0);
    EXPECT_EQ(findText(text, u"VOID", 0, text.size(), {.matchCase = true}), -1);
    EXPECT_EQ(findText(u"ab\r\ncd", u"cd", 0, 6), 4);
    EXPECT_EQ(findText(u"\u00C9T\u00C9", u"\u00E9t\u00E9", 0, 3), 0);
}

TEST(Find, StaysWithinTheRange)
{
    const std::u16string text = u"abc abc";
    EXPECT_EQ(findText(text, u"abc", 1, 6), 4);
    EXPECT_EQ(findText(text, u"abc", 0, 2), -1);  // would reach past start + length
    EXPECT_EQ(findText(text, u"abc", 4, 100), 4); // a length past the end is clipped
    EXPECT_EQ(findText(text, u"abc", 7, 3), -1);
    EXPECT_EQ(findText(u"", u"x", 0, 0), -1);
    EXPECT_EQ(findText(text, u"", 0, 7), -1);
}

TEST(Find, WholeWordSkipsPiecesOfLongerWords)
{
    const std::u16string text = u"voids void_x void";
    EXPECT_EQ(findText(text, u"void", 0, text.size(), {.wholeWord = true}), 13);
    EXPECT_EQ(findText(text, u"void", 0, text.size()), 0);
    EXPECT_EQ(findText(u"(void)", u"void", 0, 6, {.wholeWord = true}), 1);
}

TEST(LongLines, AreCutIntoPiecesOfTheLimitAndShortOnesStay)
{
    const struct {
        std::u16string in, out;
        bool cut;
    } cases[] = {
        {u"", u"", false},
        {u"abc\nabcd\n", u"abc\nabcd\n", false},
        {u"abcde", u"abcd\ne", true},
        {u"abcdefghi\nxy\n123456789", u"abcd\nefgh\ni\nxy\n1234\n5678\n9", true},
        {u"abcdefgh\n", u"abcd\nefgh\n", true},
    };
    for (const auto &c : cases) {
        std::u16string text = c.in;
        EXPECT_EQ(cutLongLines(text, 4), c.cut);
        EXPECT_EQ(text, c.out);
    }
    std::u16string one(5 * kLongLineLimit + 1, u'x');
    EXPECT_TRUE(cutLongLines(one));
    EXPECT_EQ(std::count(one.begin(), one.end(), u'\n'), 5);
    EXPECT_EQ(one.find(u'\n'), kLongLineLimit);
}

TEST(Search, FindsForwardsAndBackwardsWithItsOptions)
{
    // Occurrences of "self" (any case): 0, 7 (in "myself"), 12 (SELF), 18 (in "self_x").
    const std::u16string text = u"self myself SELF; self_x\u2029";
    constexpr auto npos = TextSearch::npos;
    struct Case {
        FindOptions options;
        std::size_t from, expectedNext, before, expectedPrevious;
    };
    const Case cases[] = {
        {{}, 0, 0, npos, 18},
        {{}, 1, 7, 18, 12},
        {{}, 19, npos, 1, 0},
        {{}, 0, 0, 0, npos},
        {{.matchCase = true}, 8, 18, 18, 7},
        {{.wholeWord = true}, 1, 12, npos, 12},
        {{.matchCase = true, .wholeWord = true}, 1, npos, 12, 0},
    };
    for (const Case &c : cases) {
        const TextSearch search(u"self", c.options);
        EXPECT_EQ(search.next(text, c.from), c.expectedNext) << c.from;
        EXPECT_EQ(search.previous(text, c.before), c.expectedPrevious) << c.before;
    }
    // A match must end by the limit; one that starts at the position counts.
    EXPECT_EQ(TextSearch(u"self", {}).next(text, 0, 3), npos);
    EXPECT_TRUE(TextSearch(u"SELF", {}).matchesAt(text, 7));
    EXPECT_FALSE(TextSearch(u"SELF", {.wholeWord = true}).matchesAt(text, 7));
    EXPECT_FALSE(TextSearch(u"", {}).matchesAt(text, 0));
}
