#include "core/base/errors.h"
#include "core/check/commandline.h"
#include "core/check/projectchecker.h"
#include "tempdir.h"

#include <filesystem>
#include <sstream>

using namespace vardo;
using check::ProjectChecker;

namespace {

// The definitions every case's file sees, as a mod's defs.qc gives them.
const char *const kDefs = "entity self, world;\n"
                          "float time;\n"
                          ".float health, frame;\n"
                          ".vector origin;\n"
                          ".string classname;\n"
                          ".entity enemy;\n"
                          ".void() think;\n"
                          "void(string s, ...) dprint = #1;\n"
                          "float(float x) rint = #2;\n"
                          "entity(entity start, .string fld, string match) find = #18;\n"
                          "void(entity e, float chan, string samp, float vol = 1, optional float atten) sound = #8;\n";

// "LINE: error: TEXT" or "LINE: warning: TEXT" for each diagnostic of a.qc.
std::vector<std::string> shown(const std::vector<qc::Diagnostic> &diagnostics)
{
    std::vector<std::string> out;
    for (const qc::Diagnostic &d : diagnostics)
        out.push_back(std::to_string(d.line) + (d.severity == qc::Severity::Error ? ": error: " : ": warning: ") + d.message);
    return out;
}

class CheckTest : public TempDirTest {
protected:
    std::vector<std::string> check(const std::string &code)
    {
        write("progs.src", "progs.dat\ndefs.qc\na.qc\n");
        write("defs.qc", kDefs);
        write("a.qc", code);
        ProjectChecker checker(root);
        return shown(checker.checkAll());
    }
};

struct Case {
    const char *name;
    const char *code;
    std::vector<std::string> expected;
};

// Correct code in the forms real mods use: nothing to report.
const Case kClean[] = {
    {"vanilla function", "void() f = { local float x; x = time * 2; self.health = x; };", {}},
    {"C-style body", "float f(float a) { return a + 1; }", {}},
    {"frame function", "$frame s1 s2\nvoid() f2;\nvoid() f1 = [$s1, f2] { self.frame = $s2; };\nvoid() f2 = {};", {}},
    {"vector components", "void() f = { local vector v; v_x = self.origin_y; v = v * 2; self.health = v * v; };", {}},
    {"field components", "void() f = { self.health = self.origin_z + self.origin * '0 0 1'; };", {}},
    {"control flow", "float(float n) f = { local float i; for (i = 0; i < n; i++) { if (i == 3) break; else continue; } "
                     "while (n) n -= 1; do { n = n + 1; } while (n < 3); switch (n) { case 1: return 2; default: break; } "
                     "return n ? 1 : 0; };", {}},
    {"enum, typedef, const, arrays", "enum { A, B = 4, C };\ntypedef float number;\nconst number K = B;\n"
                                     "float list[3] = {1, 2, 3};\nvoid() f = { local float y = list[1] + C; y += K; };", {}},
    {"named builtin and varargs", "void(string s, ...) bp = #0:ex_bprint;\nvoid() f = { bp(\"a\", \"b\", \"c\"); };", {}},
    {"optional parameters", "void() f = { sound(self, 1, \"a.wav\"); sound(self, 1, \"a.wav\", 1, 2); };", {}},
    {"call through a field", "void() g = {};\nvoid() f = { self.think = g; self.think(); };", {}},
    {"zero fits everything", "void() f = { self.enemy = world; if (self.enemy == 0) self.think = 0; };", {}},
    {"preprocessor", "#define TWICE(x) ((x) * 2)\n#define ON\n#ifdef ON\nfloat k = TWICE(3);\n#else\nfloat k = nosuch;\n#endif\n"
                     "#if defined(ON) && 1\nvoid() f = { k = k; };\n#endif", {}},
    {"bit operators of fteqcc", "void() f = { self.health (-) 1; self.health (+) 2; if !(self.health & 4) return; };", {}},
    {"strings of several pieces", "void() f = { dprint(\"a\" \"b\", \"c\\n\"); };", {}},
    {"more of what fteqcc accepts",
     ".void(entity a, float d) th_pain;\n.float() fnfield;\nstring(string s, ...) strcat = #115;\n#pragma target fte\n"
     "var float vx = 1;\nfloat ga = 1, gb = 2;\nfloat hex = 0x10;\nfloat mins[] = {1, 2};\nvector vlit = [1, 2, 3];\n"
     "float(float a) bar = {\n\tlocal entity e = world;\n\tlocal string s = strcat(\"a\", \"b\");\n"
     "\te = find(world, classname, s);\n\tself.th_pain(e, 2);\n\tself.health = self.health & ~4;\n"
     "\tif (self.classname == \"player\") return 1; else if (a) return 2;\n\ts = __FUNC__;\n"
     "\tif (e) if (a) a = 1; else a = 2;\n\tlabel1:\n\tif (a < 1) goto label1;\n"
     "\ta++; --a; a *= 2; a |= 1;\n\tself.health = self.fnfield();\n\treturn self.health;\n};\n"
     "void g(float x, optional float y) { local float z = x + y; z += vx + ga + gb + hex + mins[0] + vlit_x; }\n"
     "vector(vector v) h = { return v * 2; };\n",
     {}},
};

// One kind of fault per row, reported on its line.
const Case kFaults[] = {
    {"unknown name", "void() f = {\n\tself.health = tiem;\n};", {"2: error: unknown name 'tiem'; did you mean 'time'?"}},
    {"unknown function", "void() f = {\n\tnosuch();\n};", {"2: error: unknown name 'nosuch'"}},
    {"unknown field", "void() f = {\n\tself.helth = 1;\n};", {"2: error: unknown field 'helth'; did you mean 'health'?"}},
    {"unknown frame", "$frame a1 a2\nvoid() f = {\n\tself.frame = $a3;\n};", {"3: error: unknown frame '$a3'"}},
    {"string to float", "void() f = {\n\tself.health = \"lots\";\n};", {"2: error: type mismatch: cannot assign a string to a float"}},
    {"float to entity", "void() f = {\n\tself.enemy = time;\n};", {"2: error: type mismatch: cannot assign a float to a entity"}},
    {"vector plus float", "void() f = {\n\tself.origin = self.origin + 1;\n};", {"2: error: cannot add a vector and a float"}},
    {"string compared with float", "void() f = {\n\tif (self.classname == 1) return;\n};", {"2: error: cannot compare a string with a float"}},
    {"wrong return", "float() f = {\n\treturn \"x\";\n};", {"2: error: returns a string from a function that returns float"}},
    {"argument type", "void() f = {\n\trint(\"x\");\n};", {"2: error: argument 1 of 'rint' should be a float, not a string"}},
    {"too many arguments", "void() f = {\n\trint(1, 2);\n};", {"2: error: too many arguments for 'rint': it takes 1"}},
    {"too few arguments", "void() f = {\n\tsound(self);\n};", {"2: warning: too few arguments for 'sound': it takes 3"}},
    {"declared twice", "void(float a) g;\nvoid(string a) g = {};", {"2: error: 'g' was declared as void(float a) before, here as void(string a)"}},
    {"missing semicolon", "void() f = {\n\tself.health = 1\n\n\tself.frame = 2;\n};", {"2: error: missing ';' here"}},
    {"missing brace", "void() f = {\n\tself.health = 1;\n\nvoid() g = {};", {"2: error: missing '}' here"}},
    {"missing parenthesis", "void() f = {\n\tif (self.health {\n\t}\n};", {"2: error: expected ')' after the condition, found '{'"}},
    {"unclosed comment", "void() f = {};\n/* no end", {"2: error: this comment is never closed with */"}},
    {"unclosed string", "void() f = {\n\tdprint(\"abc);\n};", {"2: error: this string is never closed with \"", "3: error: missing '}' here",
                                                            "3: error: expected ')' to end the arguments at the end of the file"}},
    {"missing include", "#include \"gone.qh\"", {"1: error: cannot find the included file gone.qh"}},
    {"unused local", "void() f = {\n\tlocal float spare;\n};", {"2: warning: the local 'spare' is never used"}},
    {"no return at the end", "float(float a) f = {\n\tif (a) return 1;\n};", {"3: warning: 'f' can end without returning a value"}},
    {"unknown type", "flaot x;\nfloat y;", {"1: error: unknown type 'flaot'; did you mean 'float'?"}},
    {"#endif without #if", "float x;\n#endif", {"2: error: #endif without #if"}},
    {"#error", "#ifndef FTE\n#error needs FTE\n#endif", {"2: error: #error needs FTE"}},
    {"too many arguments through a field", "void() f = {\n\tself.think(1);\n};", {"2: error: too many arguments for 'think': it takes 0"}},
    {"missing ')' of a call", "void() f = {\n\trint(1;\n};", {"2: error: expected ')' to end the arguments, found ';'"}},
    {"recovery keeps going", "void() f = {\n\tself.health = ;\n\tself.helth = 1;\n};",
     {"2: error: unexpected ';'", "3: error: unknown field 'helth'; did you mean 'health'?"}},
};

} // namespace

TEST_F(CheckTest, CorrectCodeGivesNothing)
{
    for (const Case &c : kClean)
        EXPECT_EQ(check(c.code), c.expected) << c.name;
}

TEST_F(CheckTest, EachFaultIsReportedOnItsLine)
{
    for (const Case &c : kFaults)
        EXPECT_EQ(check(c.code), c.expected) << c.name;
}

TEST_F(CheckTest, ARetypedFileIsCheckedAgainstTheRest)
{
    write("progs.src", "progs.dat\ndefs.qc\na.qc\n");
    write("defs.qc", kDefs);
    const std::string a = write("a.qc", "void() f = { self.health = 1; };");
    ProjectChecker checker(root);
    EXPECT_TRUE(checker.checkAll().empty());
    EXPECT_EQ(shown(checker.checkFile(a, "void() f = { self.health = tiem; };")),
              std::vector<std::string>{"1: error: unknown name 'tiem'; did you mean 'time'?"});
    // What an edited defs.qc declares is what the next check of a.qc sees.
    checker.checkFile(path("defs.qc"), std::string(kDefs) + "float tiem;\n");
    EXPECT_TRUE(checker.checkFile(a, "void() f = { self.health = tiem; };").empty());
    // Open texts stand in for the disk.
    EXPECT_EQ(shown(checker.checkAll({{a, "void() f = { nosuch(); };"}})), std::vector<std::string>{"1: error: unknown name 'nosuch'"});
    // A file the list does not name is checked while open.
    EXPECT_EQ(shown(checker.checkFile(path("extra.qc"), "void() g = { self.helth = 1; };")),
              std::vector<std::string>{"1: error: unknown field 'helth'; did you mean 'health'?"});
}

// A project file larger than the check reads stops the check with a reason, before it is read.
TEST_F(CheckTest, AFileTooLargeToCheckIsNamed)
{
    write("progs.src", "progs.dat\ndefs.qc\nhuge.qc\n");
    write("defs.qc", kDefs);
    const std::string huge = write("huge.qc");
    std::filesystem::resize_file(huge, check::kLargestChecked + 1);
    ProjectChecker checker(root);
    try {
        checker.checkAll();
        FAIL() << "a file over the limit was checked";
    } catch (const AppError &error) {
        EXPECT_EQ(error.what(), check::tooLargeToCheck(huge));
    }
}

TEST_F(CheckTest, LocalsResolveWithinTheirFunction)
{
    write("progs.src", "progs.dat\ndefs.qc\na.qc\n");
    write("defs.qc", kDefs);
    const std::string a = write("a.qc", "void(float n) f = {\n\tlocal float n2;\n\tn2 = n;\n};\n"
                                        "void() g = {\n\tlocal vector n2;\n\tn2 = self.origin;\n\tf(time);\n};\n");
    ProjectChecker checker(root);
    checker.checkAll();
    const auto local = checker.declarationAt(a, 3, 2); // n2 in f
    ASSERT_TRUE(local);
    EXPECT_EQ(*local, (check::Declaration{"n2", check::DeclarationKind::Local, "float", {a, 2, 14}, "f"}));
    EXPECT_EQ(checker.usesOf(*local), (std::vector<check::Place>{{a, 2, 14}, {a, 3, 2}}));
    const auto parameter = checker.declarationAt(a, 3, 7);
    ASSERT_TRUE(parameter);
    EXPECT_EQ(parameter->kind, check::DeclarationKind::Parameter);
    EXPECT_EQ(parameter->place, (check::Place{a, 1, 12}));
    EXPECT_EQ(checker.declarationAt(a, 7, 2)->type, "vector");
    const auto function = checker.declarationAt(a, 8, 2);
    ASSERT_TRUE(function);
    EXPECT_EQ(function->type, "void(float n)");
    EXPECT_EQ(checker.usesOf(*function), (std::vector<check::Place>{{a, 1, 15}, {a, 8, 2}}));
    const auto field = checker.declarationAt(a, 7, 12);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->type, ".vector");
    EXPECT_EQ(field->place.path, path("defs.qc"));
}

class CheckCommandTest : public TempDirTest {
protected:
    int run(std::vector<std::string> arguments)
    {
        out.str({});
        err.str({});
        return check::runCheckCommand(arguments, out, err);
    }
    std::ostringstream out, err;
};

TEST_F(CheckCommandTest, PrintsPlacesRelativeToTheFolderAndASummary)
{
    write("progs.src", "progs.dat\nsub/a.qc\nb.qc\n");
    write("sub/a.qc", "float x;\nvoid() f = {\n\tx = nosuch;\n\tlocal float y;\n};\n");
    write("b.qc", "void() g = { x = 1; };\n");
    EXPECT_EQ(run({root}), 1);
    EXPECT_EQ(out.str(), "sub/a.qc:3:6: error: unknown name 'nosuch'\n"
                         "sub/a.qc:4:14: warning: the local 'y' is never used\n"
                         "1 error, 1 warning\n");
    // From a folder below the root, the root's files are reached with "../".
    EXPECT_EQ(run({path("sub")}), 1);
    EXPECT_EQ(out.str().substr(0, 9), "a.qc:3:6:");
    write("sub/a.qc", "float x;\n");
    EXPECT_EQ(run({root}), 0);
    EXPECT_EQ(out.str(), "0 errors, 0 warnings\n");
    write("sub/progs.src", "progs.dat\n../b.qc\n");
    EXPECT_EQ(run({path("sub")}), 1);
    EXPECT_EQ(out.str().substr(0, 12), "../b.qc:1:14");
}

TEST_F(CheckCommandTest, AMissingFolderOrAFileIsReportedWithExitCodeTwo)
{
    EXPECT_EQ(run({path("gone")}), 2);
    EXPECT_NE(err.str().find("no such folder"), std::string::npos);
    EXPECT_EQ(run({write("file.qc", "float x;")}), 2);
    EXPECT_NE(err.str().find("not a folder"), std::string::npos);
    EXPECT_TRUE(out.str().empty());
    EXPECT_THROW(ProjectChecker(path("gone")).checkAll(), AppError);
}

// Input that would make a naive front end recurse, loop or grow without end: a diagnostic, and
// the check ends.
TEST_F(CheckTest, HostileInputEndsWithDiagnostics)
{
    const std::string identifier(1 << 20, 'q');
    const std::string parentheses = std::string(10000, '(') + "1" + std::string(10000, ')');
    // Macros that each pass their argument on, BODY of it, to the next: the text doubles or
    // multiplies at every step.
    const auto chain = [](int steps, const std::string &body, const std::string &use) {
        std::string code;
        for (int i = 0; i < steps; ++i)
            code += "#define m" + std::to_string(i) + "(x) m" + std::to_string(i + 1) + "(" + body + ")\n";
        return code + "#define m" + std::to_string(steps) + "(x) x\n" + use;
    };
    std::string conditionChain;
    for (int i = 0; i < 16; ++i)
        conditionChain += "#define c" + std::to_string(i) + " c" + std::to_string(i + 1) + " + c" + std::to_string(i + 1) + "\n";
    const struct {
        const char *name;
        std::string code;
        std::string expected; // in the first diagnostic's text
    } cases[] = {
        {"1 MB name", "void() f = { " + identifier + " = 1; };", "unknown name"},
        {"10,000 parentheses", "void() f = { self.health = " + parentheses + "; };", "nested too deeply"},
        {"10,000 braces", "void() f = " + std::string(10000, '{') + std::string(10000, '}') + ";", "nested too deeply"},
        {"define of itself", "#define loop loop + loop\nvoid() f = { self.health = loop; };", "unknown name 'loop'"},
        {"defines of each other", "#define a b\n#define b a\nvoid() f = { self.health = a; };", "unknown name 'a'"},
        {"include of itself", "#include \"a.qc\"\nfloat x;", "a.qc includes itself"},
        {"unclosed if", "#ifdef X\nfloat x;", "has no #endif"},
        {"argument used 8 times, 12 deep", chain(12, "x x x x x x x x", "float f = m0(1);"), "expands too far"},
        {"argument pasted to itself, 40 deep", chain(40, "x##x", "float m0(ab);"), "expands too far"},
        {"#if of 2^16 names", conditionChain + "#define c16 1\n#if c0\n#else\n#error big\n#endif", "#error big"},
    };
    for (const auto &c : cases) {
        const std::vector<std::string> found = check(c.code);
        ASSERT_FALSE(found.empty()) << c.name;
        EXPECT_NE(found.front().find(c.expected), std::string::npos) << c.name << ": " << found.front();
    }
}

TEST_F(CheckTest, IncludesCycleBetweenFiles)
{
    write("b.qh", "#include \"c.qh\"\nfloat b;\n");
    write("c.qh", "#include \"b.qh\"\nfloat c;\n");
    EXPECT_EQ(check("#include \"b.qh\"\nvoid() f = { b = c; };"),
              std::vector<std::string>{"1: error: b.qh includes itself"});
}

TEST_F(CheckTest, TokensOfARedefinedMacroStayReadable)
{
    // The first body's tokens are checked after the second definition replaced it.
    EXPECT_EQ(check("#define V time\nfloat k = V;\n#undef V\n#define V \"text\"\nstring s = V;"), std::vector<std::string>{});
    EXPECT_EQ(check("#define V tiem\nfloat k = V;\n#define V 2\n"),
              std::vector<std::string>{"2: error: unknown name 'tiem'; did you mean 'time'?"});
}

TEST_F(CheckTest, FramesResolveToTheirFrameLine)
{
    write("progs.src", "progs.dat\ndefs.qc\na.qc\nb.qc\n");
    write("defs.qc", kDefs);
    const std::string a = write("a.qc", "$frame s1 s2\nvoid() f = [$s1, f] {\n\tself.frame = $s2;\n};\n");
    write("b.qc", "$frame s2\nvoid() g = { self.frame = $s2; };\n");
    ProjectChecker checker(root);
    EXPECT_TRUE(checker.checkAll().empty());
    const auto frame = checker.declarationAt(a, 3, 16);
    ASSERT_TRUE(frame);
    EXPECT_EQ(*frame, (check::Declaration{"s2", check::DeclarationKind::Frame, "float", {a, 1, 11}, {}}));
    // Frames belong to their file: b.qc's $s2 is another.
    EXPECT_EQ(checker.usesOf(*frame), (std::vector<check::Place>{{a, 1, 11}, {a, 3, 15}}));
}
