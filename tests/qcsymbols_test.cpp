#include "core/files/fileio.h"
#include "core/qc/symbols.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <tuple>

using namespace vardo::qc;

namespace {

using S = SymbolKind;

// A small mod with every kind of definition, in the shapes real mods write them.
const char *const kDefs = R"(// Engine definitions
/*
  SOURCE FOR GLOBALVARS_T C STRUCTURE
  float notAGlobal;
*/
entity self;        // the entity the code runs for
float time;
.float health;
.vector origin,
        velocity;   // where and how fast
.void() th_stand;
float FL_FLY = 1, FL_SWIM = 2;
const float MAX_HEALTH = 100;
string NAME = "a; b = 3";
vector VEC_UP = '0 0 1';
var float skill;
nosave float deathmatch;

// Prints to the console.
// Only in developer mode.
void(string s) dprint = #25;
void(vector v) makevectors = #1;  // sets v_forward
void() main;
#define DEBUG_LEVEL 2 // how loud
#define LONG_MACRO(a) \
    float notAMacroGlobal;
$frame stand1 stand2
$cd /raid/quake/id1/models/soldier3
$frame	walk1
/*QUAKED monster_army (1 0 0) (-16 -16 -24) (16 16 40) Ambush
float notAnEntityGlobal;
*/
void() army_stand2;
void() army_stand1 = [$stand1, army_stand2] { self.health = 1; };
void() army_stand2 =[	$stand2,	army_stand1	] {};
float(float a, float b) maxf =
{
	local float m;
	if (a > b) return a;   // { unbalanced in a comment
	return "}";
};
void() main = { dprint("}"); };
float newstyle(float x) { return x; }
float cproto(entity e);
float(float a) colonbuiltin : 98;
enum { RED, GREEN = (1 + 2), BLUE };
)";

struct Expected {
    S kind;
    const char *name;
    std::uint32_t line, column;
    const char *declaration;
    const char *comment;
    std::int32_t builtin = -1;
};

const Expected kExpected[] = {
    {S::Global, "self", 5, 7, "entity self", "the entity the code runs for"},
    {S::Global, "time", 6, 6, "float time", ""},
    {S::Field, "health", 7, 7, ".float health", ""},
    {S::Field, "origin", 8, 8, ".vector origin", ""},
    {S::Field, "velocity", 9, 8, ".vector velocity", "where and how fast"},
    {S::Field, "th_stand", 10, 8, ".void() th_stand", ""},
    {S::Constant, "FL_FLY", 11, 6, "float FL_FLY = 1", ""},
    {S::Constant, "FL_SWIM", 11, 18, "float FL_SWIM = 2", ""},
    {S::Constant, "MAX_HEALTH", 12, 12, "const float MAX_HEALTH = 100", ""},
    {S::Constant, "NAME", 13, 7, "string NAME = \"a; b = 3\"", ""},
    {S::Constant, "VEC_UP", 14, 7, "vector VEC_UP = '0 0 1'", ""},
    {S::Global, "skill", 15, 10, "var float skill", ""},
    {S::Global, "deathmatch", 16, 13, "nosave float deathmatch", ""},
    {S::Builtin, "dprint", 20, 15, "void(string s) dprint = #25", "Prints to the console.\nOnly in developer mode.", 25},
    {S::Builtin, "makevectors", 21, 15, "void(vector v) makevectors = #1", "sets v_forward", 1},
    {S::Prototype, "main", 22, 7, "void() main", ""},
    {S::Define, "DEBUG_LEVEL", 23, 8, "#define DEBUG_LEVEL 2", "how loud"},
    {S::Define, "LONG_MACRO", 24, 8, "#define LONG_MACRO(a)", ""},
    {S::FrameMacro, "stand1", 26, 7, "$frame stand1 stand2", ""},
    {S::FrameMacro, "stand2", 26, 14, "$frame stand1 stand2", ""},
    {S::FrameMacro, "walk1", 28, 7, "$frame walk1", ""},
    {S::Prototype, "army_stand2", 32, 7, "void() army_stand2", ""},
    {S::FrameFunction, "army_stand1", 33, 7, "void() army_stand1 = [$stand1, army_stand2]", ""},
    {S::FrameFunction, "army_stand2", 34, 7, "void() army_stand2 =[ $stand2, army_stand1 ]", ""},
    {S::Function, "maxf", 35, 24, "float(float a, float b) maxf", ""},
    {S::Function, "main", 41, 7, "void() main", ""},
    {S::Function, "newstyle", 42, 6, "float newstyle(float x)", ""},
    {S::Prototype, "cproto", 43, 6, "float cproto(entity e)", ""},
    {S::Builtin, "colonbuiltin", 44, 15, "float(float a) colonbuiltin : 98", "", 98},
    {S::Constant, "RED", 45, 7, "enum RED", ""},
    {S::Constant, "GREEN", 45, 12, "enum GREEN = (1 + 2)", ""},
    {S::Constant, "BLUE", 45, 29, "enum BLUE", ""},
};

} // namespace

TEST(QcSymbols, EveryKindOfDefinitionOfASmallMod)
{
    const FileSymbols file = scanSymbols(kDefs);
    ASSERT_EQ(file.symbols.size(), std::size(kExpected));
    for (std::size_t i = 0; i < file.symbols.size(); ++i) {
        const Symbol &s = file.symbols[i];
        const Expected &e = kExpected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(s.name, e.name);
        EXPECT_EQ(s.kind, e.kind) << kindName(s.kind);
        EXPECT_EQ(s.line, e.line);
        EXPECT_EQ(s.column, e.column);
        EXPECT_EQ(s.declaration, e.declaration);
        EXPECT_EQ(s.comment, e.comment);
        EXPECT_EQ(s.builtinNumber, e.builtin);
    }
}

TEST(QcSymbols, CrLfAndIncludes)
{
    const FileSymbols file = scanSymbols("#include \"defs.qc\"\r\n#include <sub\\x.qh> // both\r\n"
                                         "  #include   \"other.qc\"\r\nfloat a;\r\n");
    EXPECT_EQ(file.includes, (std::vector<std::string>{"defs.qc", "sub\\x.qh", "other.qc"}));
    ASSERT_EQ(file.symbols.size(), 1u);
    EXPECT_EQ(file.symbols[0].line, 3u);
}

TEST(QcSymbols, ABodyLeftOpenWhileTypingHidesNothingAfterIt)
{
    const FileSymbols file = scanSymbols("void() a =\n{\n\tif (x\n\tlocal float f;\nvoid() b = {};\n.float c;\n");
    std::vector<std::string> names;
    for (const Symbol &s : file.symbols)
        names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
}

// A directive line is read when it is lexed, which can be before the declaration above it ends.
TEST(QcSymbols, SymbolsComeInTextOrderWhenADirectiveIsReadAhead)
{
    const FileSymbols file = scanSymbols("float x\n#define Y 1\n;\n$frame a\nfloat z;\n");
    std::vector<std::string> names;
    for (const Symbol &s : file.symbols)
        names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"x", "Y", "a", "z"}));
}

// Body lines that matter only by their braces and comments are passed without lexing them: a
// brace in a quote or a comment, a directive, a declaration in the first column and the comment
// above it still count as before.
TEST(QcSymbols, BodyLinesBesidesTheirBraces)
{
    const FileSymbols file = scanSymbols("void() f =\n{\n\tif (x) {\n\t\ty = '{';\n\t\t// }\n\t\t/* } */\n"
                                         "\t\tx = 1;\n\t#define INSIDE 1\n\t\tx = 2;\n\t$frame inner1\n\t}\n"
                                         "\tlocal float notGlobal;\n};\n\tfloat indented;\n"
                                         "void() g = {\n\ts = \"\\\" {\";\n\t}\n\tfloat afterG;\n"
                                         "void() h =\n{\n\tif (x) {\n\t\tx = 1; // beside\n\t\t// above\nfloat recovered;\n");
    std::vector<std::string> names;
    for (const Symbol &s : file.symbols)
        names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"f", "INSIDE", "inner1", "indented", "g", "afterG", "h", "recovered"}));
    EXPECT_EQ(file.symbols.back().comment, "above");
}

// An enumeration's members and a braced part of a value are read token by token, however plain
// their lines.
TEST(QcSymbols, BracedMembersAndValuesOverSeveralLines)
{
    const FileSymbols file = scanSymbols("enum {\n\tRED,\n\tGREEN\n};\nfloat odd = y {\n\t1, 2\n};\n");
    ASSERT_EQ(file.symbols.size(), 3u);
    EXPECT_EQ(file.symbols[0].name, "RED");
    EXPECT_EQ(file.symbols[1].name, "GREEN");
    EXPECT_EQ(file.symbols[2].declaration, "float odd = y { 1, 2 }");
}

TEST(QcSymbols, BrokenTextNeverFails)
{
    for (const char *text : {"", "void", "void(", "void() = ;", ".", "float x =", "void() f = [", "void() f = #",
                             "}}}} float y;", "float #define", "#define", "$frame", "/*", "float a, , b;",
                             "void() f = #99999999999999;", "\\\n\\"})
        EXPECT_NO_THROW(scanSymbols(text)) << text;
    EXPECT_EQ(scanSymbols("}}}} float y;").symbols.size(), 1u);
    EXPECT_EQ(scanSymbols("void() f = #99999999999999;").symbols.at(0).builtinNumber, -1);
}

// A long file is scanned in a window that lets go of the code behind it: whatever the window's
// place, the small mod at the end of a long file reads as it does on its own.
TEST(QcSymbols, ADefinitionDeepInALongFileReadsAsOnItsOwn)
{
    std::string body = "void() busy =\n{\n";
    for (int i = 0; i < 800; ++i)
        body += "\tself.health = self.health + " + std::to_string(i) + ";\n";
    body += "};\n";
    // A body without ";" after it has the parser look ahead past the comment below it.
    const std::string tail =
        std::string(kDefs) + "#include \"deep.qc\"\nfloat ender() { return 1; }\n// said of the last\nfloat last;\n";
    const FileSymbols alone = scanSymbols(tail);
    std::string padding;
    for (std::uint32_t pads = 0; pads < 400; ++pads, padding += "float pad;\n") {
        const FileSymbols deep = scanSymbols(body + padding + tail);
        const auto lines = static_cast<std::uint32_t>(std::ranges::count(body + padding, '\n'));
        const std::size_t before = 1 + pads;
        ASSERT_EQ(deep.symbols.size(), before + alone.symbols.size()) << pads;
        for (std::size_t i = 0; i < alone.symbols.size(); ++i) {
            const Symbol &a = alone.symbols[i], &d = deep.symbols[before + i];
            ASSERT_EQ(std::tie(d.name, d.kind, d.column, d.declaration, d.comment, d.builtinNumber),
                      std::tie(a.name, a.kind, a.column, a.declaration, a.comment, a.builtinNumber))
                << pads;
            ASSERT_EQ(d.line, a.line + lines) << pads << " " << a.name;
        }
        ASSERT_EQ(deep.includes, alone.includes);
    }
}

TEST(QcSymbols, LocalsOfTheFunctionAroundALine)
{
    const char *text = "float g;\n"
                       "void(entity targ, float damage) hurt =\n"
                       "{\n"
                       "\tlocal float a, b = 2, c;\n"
                       "\tlocal vector dir;\n"
                       "\tif (a) b = c;\n"
                       "\tlocal entity late;\n"
                       "};\n"
                       "void() other = { local float o; };\n";
    EXPECT_EQ(localNames(text, 5), (std::vector<std::string>{"targ", "damage", "a", "b", "c", "dir"}));
    EXPECT_EQ(localNames(text, 8), (std::vector<std::string>{"o"}));
    EXPECT_EQ(localNames(text, 0), std::vector<std::string>{});
}

namespace {

const ReadFile readFile = [](const std::string &path) { return vardo::fileio::readWholeFile(path, 1u << 24); };

class SymbolIndexTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        write("progs.src", "../progs.dat\ndefs.qc\nworld.qc\ngone.qc\n");
        write("defs.qc", kDefs);
        write("world.qc", "#include \"sub/extra.qh\"\n"
                          "// main is mentioned here\n"
                          "void() worldspawn = { main(); dprint(\"main\"); self.health = maxf(1, 2); };\n"
                          "void() army_walk = [$walk1, army_walk] { if (self.frame == $walk1) main(); };\n");
        write("sub/extra.qh", ".float extra_field;\nfloat main_count;\n");
        project = readProjects(root, readFile).at(0);
        index = SymbolIndex::build(project, readFile);
    }

    SourceList project;
    SymbolIndex index;
};

std::vector<std::string> describe(const std::vector<Definition> &definitions)
{
    std::vector<std::string> out;
    for (const Definition &d : definitions)
        out.push_back(std::filesystem::path(d.path).filename().string() + ":" + std::to_string(d.symbol.line + 1) +
                      " " + std::string(kindName(d.symbol.kind)));
    return out;
}

std::vector<std::string> names(const std::vector<Completion> &completions)
{
    std::vector<std::string> out;
    for (const Completion &c : completions)
        out.push_back(c.name);
    return out;
}

std::vector<std::string> describe(const std::vector<Reference> &references)
{
    std::vector<std::string> out;
    for (const Reference &r : references)
        out.push_back(std::filesystem::path(r.place.path).filename().string() + ":" +
                      std::to_string(r.place.line + 1) + ":" + std::to_string(r.place.column + 1) + " " + r.lineText);
    return out;
}

} // namespace

TEST_F(SymbolIndexTest, FilesOfTheProjectAndWhatTheyInclude)
{
    EXPECT_EQ(index.fileCount(), 3u); // defs.qc, world.qc, sub/extra.qh; gone.qc is not there
    EXPECT_TRUE(index.contains(path("sub/extra.qh")));
    EXPECT_EQ(describe(index.definitions("extra_field")), std::vector<std::string>{"extra.qh:1 field"});
}

TEST_F(SymbolIndexTest, DefinitionsPreferBodiesOverPrototypes)
{
    const std::pair<const char *, std::vector<std::string>> cases[] = {
        {"main", {"defs.qc:42 function"}},
        {"army_stand2", {"defs.qc:35 frame function"}},
        {"cproto", {"defs.qc:44 prototype"}},
        {"dprint", {"defs.qc:21 builtin"}},
        {"health", {"defs.qc:8 field"}},
        {"stand1", {}},
        {"nothing", {}},
    };
    for (const auto &[name, expected] : cases)
        EXPECT_EQ(describe(index.definitions(name)), expected) << name;
    EXPECT_EQ(describe(index.definitions("stand1", true)), std::vector<std::string>{"defs.qc:27 frame"});
}

TEST_F(SymbolIndexTest, ReferencesAreNamesOnlyAcrossTheProject)
{
    EXPECT_EQ(describe(index.references("main")),
              (std::vector<std::string>{"defs.qc:23:8 void() main;", "defs.qc:42:8 void() main = { dprint(\"}\"); };",
                                        "world.qc:3:23 void() worldspawn = { main(); dprint(\"main\"); self.health = maxf(1, 2); };",
                                        "world.qc:4:68 void() army_walk = [$walk1, army_walk] { if (self.frame == $walk1) main(); };"}));
    EXPECT_EQ(describe(index.references("walk1", true)),
              (std::vector<std::string>{"defs.qc:29:8 $frame\twalk1",
                                        "world.qc:4:21 void() army_walk = [$walk1, army_walk] { if (self.frame == $walk1) main(); };",
                                        "world.qc:4:60 void() army_walk = [$walk1, army_walk] { if (self.frame == $walk1) main(); };"}));
    EXPECT_TRUE(index.references("walk1").empty());
    // Each use is found in its shown line as written, "$" and all.
    for (const Reference &r : index.references("main"))
        EXPECT_EQ(r.lineText.substr(r.nameInText, r.length), "main");
    std::vector<std::string> frames;
    for (const Reference &r : index.references("walk1", true))
        frames.push_back(r.lineText.substr(r.nameInText, r.length));
    EXPECT_EQ(frames, (std::vector<std::string>{"walk1", "$walk1", "$walk1"}));
}

TEST_F(SymbolIndexTest, CompletionByContext)
{
    EXPECT_EQ(names(index.completions("ma", CompletionContext::Any)),
              (std::vector<std::string>{"main", "main_count", "makevectors", "MAX_HEALTH", "maxf"}));
    EXPECT_EQ(names(index.completions("MAX", CompletionContext::Any)), (std::vector<std::string>{"MAX_HEALTH", "maxf"}));
    EXPECT_EQ(names(index.completions("", CompletionContext::Field)),
              (std::vector<std::string>{"extra_field", "health", "origin", "th_stand", "velocity"}));
    EXPECT_EQ(names(index.completions("st", CompletionContext::Frame)), (std::vector<std::string>{"stand1", "stand2"}));
    // A file's own frames only, where one is named.
    EXPECT_EQ(names(index.completions("", CompletionContext::Frame, path("defs.qc"))),
              (std::vector<std::string>{"stand1", "stand2", "walk1"}));
    EXPECT_TRUE(index.completions("", CompletionContext::Frame, path("world.qc")).empty());
    // Each name says what it is, from its definition rather than its prototype.
    const std::pair<const char *, const char *> details[] = {
        {"health", ".float field"}, {"maxf", "float(float a, float b) function"}, {"main", "void() function"},
        {"stand1", "frame"},        {"DEBUG_LEVEL", "#define"},                    {"dprint", "void(string s) builtin"},
    };
    for (const auto &[name, detail] : details) {
        const std::vector<Completion> found =
            index.completions(name, name == std::string("stand1") ? CompletionContext::Frame : CompletionContext::Any);
        ASSERT_FALSE(found.empty()) << name;
        EXPECT_EQ(found.front().detail, detail) << name;
    }
}

TEST(SymbolIndex, CompletionCountsNumbersByTheirValue)
{
    std::vector<std::string> shuffled = {"shocka10", "shocka2", "Shocka1", "shock", "shocka02b", "shockb1", "a100", "a20x"};
    std::ranges::sort(shuffled, namesInNumberOrder);
    EXPECT_EQ(shuffled, (std::vector<std::string>{"a20x", "a100", "shock", "Shocka1", "shocka2", "shocka02b",
                                                  "shocka10", "shockb1"}));
}

// Each file's names come in order from its scan; the index merges the files' runs.
TEST(SymbolIndex, CompletionMergesTheFilesInOneOrder)
{
    const std::map<std::string, std::string> files = {
        {"/p/a.qc", "float ab; float Zed; float abc;\n"},
        {"/p/b.qc", "float aB; float a; float ab;\n"},
        {"/p/c.qc", "float Ab; float b;\n"},
    };
    SourceList project;
    project.files = {"/p/a.qc", "/p/b.qc", "/p/c.qc"};
    const SymbolIndex index = SymbolIndex::build(project, [&](const std::string &path) { return files.at(path); });
    EXPECT_EQ(names(index.completions("", CompletionContext::Any)),
              (std::vector<std::string>{"a", "Ab", "aB", "ab", "abc", "b", "Zed"}));
    EXPECT_EQ(names(index.completions("AB", CompletionContext::Any)), (std::vector<std::string>{"Ab", "aB", "ab", "abc"}));
    EXPECT_EQ(names(index.completions("abcd", CompletionContext::Any)), std::vector<std::string>{});
    EXPECT_LT(compareNames("a", "Ab"), 0);
    EXPECT_LT(compareNames("Ab", "ab"), 0);
    EXPECT_EQ(compareNames("ab", "ab"), 0);
}

// Files are read and scanned side by side; the index keeps them in the order one file after the
// other finds them, however long each takes to read.
TEST_F(SymbolIndexTest, FilesKeepTheirOrderHoweverLongEachTakesToRead)
{
    write("order/a.qc", "#include \"c.qc\"\n#include \"d.qc\"\nfloat a;\n");
    write("order/b.qc", "#include \"c.qc\"\n#include \"e.qc\"\nfloat b;\n");
    write("order/c.qc", "#include \"f.qc\"\nfloat c;\n");
    for (const char *name : {"order/d.qc", "order/e.qc", "order/f.qc"})
        write(name, "float x;\n");
    SourceList order;
    order.files = {path("order/a.qc"), path("order/b.qc"), path("order/gone.qc"), path("order/d.qc")};
    std::atomic<int> reads = 0;
    const SymbolIndex built = SymbolIndex::build(order, [&](const std::string &file) {
        ++reads;
        // The first file is read last.
        if (file == path("order/a.qc"))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return vardo::fileio::readWholeFile(file, 1u << 20);
    });
    std::vector<std::string> expected;
    for (const char *name : {"a", "b", "d", "c", "e", "f"})
        expected.push_back(path(std::string("order/") + name + ".qc"));
    EXPECT_EQ(built.paths(), expected);
    EXPECT_EQ(reads.load(), 7); // each once, and the one that is gone
}

TEST_F(SymbolIndexTest, UpdateReindexesOneFileFromItsText)
{
    EXPECT_TRUE(index.update(path("world.qc"), "void() main = {};\nfloat added;\n"));
    EXPECT_EQ(describe(index.definitions("added")), std::vector<std::string>{"world.qc:2 global"});
    EXPECT_TRUE(index.definitions("worldspawn").empty());
    EXPECT_EQ(describe(index.definitions("main")), (std::vector<std::string>{"defs.qc:42 function", "world.qc:1 function"}));
    EXPECT_FALSE(index.update(path("elsewhere.qc"), "float x;"));
    EXPECT_TRUE(index.definitions("x").empty());
}
