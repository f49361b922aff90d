#include "core/qc/compileroutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vardo::qc;

namespace {

struct Case {
    const char *line;
    Severity severity;
    const char *file;
    int lineNumber;
    int column;
};

constexpr Severity E = Severity::Error, W = Severity::Warning, N = Severity::Note, O = Severity::None;

// Lines as the compilers print them.
const Case kCases[] = {
    // fteqcc, current and old builds
    {"world.qc:5: error: type mismatch on parm 1 - (float should be string)", E, "world.qc", 5, 0},
    {"sub/ai.qc:12: warning: too many parameters", W, "sub/ai.qc", 12, 0},
    {"weapons.qc:310: warning F307: type mismatch: void() to void(entity ent)", W, "weapons.qc", 310, 0},
    {"defs.qc:88: werror Q302: ammo_rockets is unreferenced", E, "defs.qc", 88, 0},
    {"client.qc:7: note: in expansion of macro", N, "client.qc", 7, 0},
    {"defs.qc:5:    dprint  is defined here", N, "defs.qc", 5, 0},
    {"items.qc:40:MAXHEALTH:2: error: Unknown value \"bar\".", E, "items.qc", 40, 0},
    {"C:\\quake\\src\\world.qc(18) : error: Unknown value \"FALSE\".", E, "C:\\quake\\src\\world.qc", 18, 0},
    {"in function main (line 1),", O, "", 0, 0},
    {"at global scope,", O, "", 0, 0},
    {"************ ERROR ************", E, "", 0, 0},
    {"Error in sub/ai.qc on line 7", E, "sub/ai.qc", 7, 0},
    {"Error in my mod/a.qc on line 3", E, "my mod/a.qc", 3, 0},
    {"Warning: progs CRC not recognised from quake nor clones", W, "", 0, 0},
    // gmqcc
    {"progs/fight.qc:200:13: error: unexpected token: `}`", E, "progs/fight.qc", 200, 13},
    {"defs.qc:12:7: warning: unused variable: `x` [-Wunused-variable]", W, "defs.qc", 12, 7},
    // frikqcc
    {"subs.qc(51): error: Q530: too many parameters", E, "subs.qc", 51, 0},
    {"subs.qc(52): warning: Q208: unreferenced local", W, "subs.qc", 52, 0},
    {"Error Q530 subs.qc(51): too many parameters", E, "subs.qc", 51, 0},
    {"Warning Q208 /home/me/mod/subs.qc(9,3): unused", W, "/home/me/mod/subs.qc", 9, 3},
    // qfcc and id's qcc
    {"/home/me/mod/plats.qc:9: notice: variable x declared", N, "/home/me/mod/plats.qc", 9, 0},
    {"buttons.qc:44:type mismatch for =", E, "buttons.qc", 44, 0},
    {"world.qc:8: error: expected ;, found \r", E, "world.qc", 8, 0},
    // Plain lines that only look a little like places
    {"compiling sub/ai.qc", O, "", 0, 0},
    {"Compile finished at 12:30:45: progs.dat", O, "", 0, 0},
    {"12:30:45 started", O, "", 0, 0},
    {"   160 strofs (of 1000000)", O, "", 0, 0},
    {"world.qc:0: error: before the first line", O, "", 0, 0},
    {"world.qc:99999999999: error: too large", O, "", 0, 0},
    {"world.qc:12 error: no colon after the number", O, "", 0, 0},
    {"warnings and errors: none", O, "", 0, 0},
    {"Error in the input", O, "", 0, 0},
    {"", O, "", 0, 0},
};

TEST(CompilerOutput, RecognisesEachFormat)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.line);
        const Diagnostic found = recognizeLine(c.line);
        EXPECT_EQ(found.severity, c.severity);
        EXPECT_EQ(found.file, c.file);
        EXPECT_EQ(found.line, c.lineNumber);
        EXPECT_EQ(found.column, c.column);
    }
}

std::vector<std::string> texts(const std::vector<OutputReader::Line> &lines)
{
    std::vector<std::string> out;
    for (const auto &line : lines)
        out.push_back(line.text);
    return out;
}

// fteqcc's real output of a failed compile, colour codes and CR LF added.
const std::string kFailedCompile = "compiling world.qc\r\n"
                                   "in function main (line 1),\n"
                                   "\x1b[31mworld.qc:5: error: type mismatch\x1b[0m\n"
                                   "sub/ai.qc:11: warning: not all control paths return a value\n"
                                   "defs.qc:5:    dprint  is defined here\n"
                                   "\n"
                                   "************ ERROR ************\n"
                                   "Errors have occured\n"
                                   "\n"
                                   "Error in world.qc on line 8\n"
                                   "after";

TEST(CompilerOutput, ReaderGivesTheSameLinesWhereverTheChunksBreak)
{
    OutputReader whole;
    auto expected = whole.feed(kFailedCompile);
    const auto last = whole.finish();
    expected.insert(expected.end(), last.begin(), last.end());
    ASSERT_EQ(texts(expected), (std::vector<std::string>{
                                   "compiling world.qc", "in function main (line 1),", "world.qc:5: error: type mismatch",
                                   "sub/ai.qc:11: warning: not all control paths return a value",
                                   "defs.qc:5:    dprint  is defined here", "", "************ ERROR ************",
                                   "Errors have occured", "", "Error in world.qc on line 8", "after"}));
    // One error counted for the mistake, not again for the stop that reports it.
    EXPECT_EQ(whole.errors(), 1);
    EXPECT_EQ(whole.warnings(), 1);
    EXPECT_EQ(expected[7].diagnostic.severity, Severity::Error);
    EXPECT_EQ(expected[8].diagnostic.severity, Severity::None);
    EXPECT_EQ(expected[10].diagnostic.severity, Severity::None);

    for (std::size_t size : {1u, 2u, 3u, 7u, 19u}) {
        OutputReader reader;
        std::vector<OutputReader::Line> lines;
        for (std::size_t at = 0; at < kFailedCompile.size(); at += size) {
            auto part = reader.feed(std::string_view(kFailedCompile).substr(at, size));
            lines.insert(lines.end(), part.begin(), part.end());
        }
        auto rest = reader.finish();
        lines.insert(lines.end(), rest.begin(), rest.end());
        SCOPED_TRACE(size);
        EXPECT_EQ(texts(lines), texts(expected));
        for (std::size_t i = 0; i < lines.size() && i < expected.size(); ++i)
            EXPECT_EQ(lines[i].diagnostic, expected[i].diagnostic) << lines[i].text;
        EXPECT_EQ(reader.errors(), 1);
    }
}

TEST(CompilerOutput, FatalStopWithoutEarlierErrorsCountsOne)
{
    OutputReader reader;
    const auto lines = reader.feed("compiling sub/missing.qc\n\n************ ERROR ************\n"
                                   "Couldn't open file sub/missing.qc\nError in world.qc on line 8\n"
                                   "world.qc:3: warning: later\n");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].diagnostic.severity, Severity::Error);
    EXPECT_EQ(lines[4].diagnostic, (Diagnostic{Severity::Error, "world.qc", 8, 0, {}}));
    EXPECT_EQ(reader.errors(), 1);
    EXPECT_EQ(reader.warnings(), 1);
}

// What is left of a line: every kind of control sequence goes, in its 7-bit and 8-bit forms.
const struct {
    const char *name;
    std::string line, text;
} kStripped[] = {
    {"CSI colours", "\x1b[1;31mred\x1b[0m \x1b[Kplain", "red plain"},
    {"CSI private", "\x1b[?25lhidden\x1b[?25h", "hidden"},
    {"nF and Fp escapes", "\x1b(Ba\x1b=b\x1b" "7c\x1b#8d", "abcd"},
    {"OSC title, BEL", "\x1b]0;PWNED TITLE\x07world.qc:3: error: x", "world.qc:3: error: x"},
    {"OSC title, ST", "\x1b]2;title\x1b\\text", "text"},
    {"OSC 8 hyperlink", "\x1b]8;;file:///etc/passwd\x1b\\link\x1b]8;;\x1b\\", "link"},
    {"DCS", "\x1bPq#0;2;0;0;0#0~~\x1b\\after", "after"},
    {"SOS, PM, APC", "\x1bXs\x1b\\a\x1b^p\x07" "b\x1b_apc\x1b\\c", "abc"},
    {"C1 CSI", "\x9b" "31mred\x9b" "0m", "red"},
    {"C1 OSC and ST", "\x9d" "0;t\x9cok", "ok"},
    {"C1 DCS ended by ESC \\", "\x90q\x1b\\ok", "ok"},
    {"C1 as UTF-8", "\xc2\x9b" "31mred\xc2\x9d" "0;t\xc2\x9cok", "redok"},
    {"ESC inside a string begins anew", "\x1b]0;t\x1b[31mok", "ok"},
    {"an open string ends with its line", "\x1b]0;never ended", ""},
    {"UTF-8 with C1-like bytes", "\xc4\x9b \xe2\x9b\x94 \xc2\xa0", "\xc4\x9b \xe2\x9b\x94 \xc2\xa0"},
    {"UTF-8 in a title", "\x1b]0;\xc5\x9c\x07ok", "ok"},
    {"CR overwrites", "10%\r20%\rdone", "done"},
    {"CR before a sequence", "text\r\x1b[0m", "text"},
    {"CRs at the end", "line\r\r", "line"},
    {"other controls kept", "a\x07" "b\x08" "c\x85", "a\x07" "b\x08" "c\x85"},
    {"U+0085 kept", "a\xc2\x85" "b", "a\xc2\x85" "b"},
    {"broken UTF-8 kept", "bad\xffname\xc3", "bad\xffname\xc3"},
    {"a control breaks a sequence", "\x1b[31\x07x", "\x07x"},
    {"a lone ESC", "end\x1b", "end"},
};

TEST(CompilerOutput, ControlSequencesAreRemovedWhereverTheChunksBreak)
{
    for (const auto &c : kStripped) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withoutEscapes(c.line), c.text);
        OutputReader reader;
        std::vector<OutputReader::Line> lines;
        for (const char byte : c.line + "\n") {
            auto part = reader.feed(std::string_view(&byte, 1));
            lines.insert(lines.end(), part.begin(), part.end());
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].text, c.text);
    }
    // A sequence does not reach past its line.
    OutputReader reader;
    EXPECT_EQ(texts(reader.feed("\x1b]0;t\nnext\n\x1b[3\nafter\n")), (std::vector<std::string>{"", "next", "", "after"}));
    // CR LF and the CR CR LF of wine end a line.
    EXPECT_EQ(texts(reader.feed("a\r\nb\r\r\nc\n")), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(CompilerOutput, RowsShowControlsAndBrokenUtf8AsEscapes)
{
    const struct {
        std::string line, shown;
    } cases[] = {
        {"a\x07" "b", "a\\x07b"},
        {"bad\xffname", "bad\\xFFname"},
        {"tab\there \xc3\xa9", "tab\there \xc3\xa9"},
        {"\xc2\x85\x7f", "\\x85\\x7F"},
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},   // a surrogate
        {"\xe2\x82", "\\xE2\\x82"},            // cut short
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(shownText(c.line), c.shown) << c.line;
    EXPECT_EQ(shownText("abcdef", false, 4), "abcd\u2026");
    EXPECT_EQ(shownText("abcd", false, 4), "abcd");
    EXPECT_EQ(shownText("abcd", true, 4), "abcd\u2026");
    EXPECT_EQ(shownText("\xff\xff\xff", false, 2), "\\xFF\\xFF\u2026");
}

TEST(CompilerOutput, LongLinesAreKeptUpToTheLimitAndOneRowEach)
{
    OutputReader reader;
    const std::string endless(OutputReader::kLongestLine * 2 + 5, 'x');
    EXPECT_TRUE(reader.feed(endless).empty());
    auto lines = reader.feed("\x1b[0m tail\nworld.qc:1: error: after\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, std::string(OutputReader::kLongestLine, 'x'));
    EXPECT_TRUE(lines[0].cut);
    EXPECT_FALSE(lines[1].cut);
    EXPECT_EQ(lines[1].diagnostic.line, 1);
    EXPECT_EQ(shownText(lines[0].text, lines[0].cut), std::string(kShownLength, 'x') + "\u2026");
    // A place far into a long line is still found.
    const std::string place = "world.qc:7: error: " + std::string(50000, 'y') + "\n";
    lines = reader.feed(place);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].diagnostic, (Diagnostic{Severity::Error, "world.qc", 7, 0, {}}));
    // A CR starts a cut line over.
    EXPECT_TRUE(reader.feed(endless).empty());
    lines = reader.feed("\rshort\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "short");
    EXPECT_FALSE(lines[0].cut);
    EXPECT_TRUE(reader.finish().empty());
    EXPECT_EQ(reader.errors(), 2);
}

} // namespace
