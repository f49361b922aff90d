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
    EXPECT_EQ(lines[4].diagnostic, (Diagnostic{Severity::Error, "world.qc", 8, 0}));
    EXPECT_EQ(reader.errors(), 1);
    EXPECT_EQ(reader.warnings(), 1);
}

TEST(CompilerOutput, EscapesAreRemovedAndEndlessLinesCut)
{
    EXPECT_EQ(withoutEscapes("\x1b[1;31mred\x1b[0m \x1b[Kplain\x1b(B\x1b"), "red plainB");
    OutputReader reader;
    const std::string endless(OutputReader::kLongestLine * 2 + 5, 'x');
    auto lines = reader.feed(endless);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text.size(), OutputReader::kLongestLine);
    lines = reader.finish();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "xxxxx");
    EXPECT_TRUE(reader.finish().empty());
}

} // namespace
