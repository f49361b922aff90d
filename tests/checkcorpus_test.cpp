// The checker on real mods: nothing reported on mods their compiler accepts, and faults put
// into them found on their line.
#include "core/check/projectchecker.h"
#include "core/qc/compileroutput.h"
#include "core/qc/sourcelist.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <cstdio>
#include <regex>
#include <sstream>

using namespace vardo;

namespace {

const char *const kMods[] = {"progs_dump", "rerelease/quakec"};

std::string modFolder(const char *mod)
{
    return std::string(VARDO_SHARED_CORPUS) + "/" + mod;
}

std::string readText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// For each line, whether it lies inside a function body and outside comments: where a
// statement may be changed.
std::vector<bool> codeLinesInBodies(const std::vector<std::string> &lines)
{
    std::vector<bool> inBody;
    int depth = 0;
    bool comment = false;
    for (const std::string &line : lines) {
        inBody.push_back(depth > 0 && !comment);
        bool string = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (comment) {
                if (line.compare(i, 2, "*/") == 0)
                    comment = false, ++i;
            } else if (string) {
                string = line[i] != '"';
            } else if (line.compare(i, 2, "//") == 0) {
                break;
            } else if (line.compare(i, 2, "/*") == 0) {
                comment = true;
                inBody.back() = false;
            } else if (line[i] == '"') {
                string = true;
            } else if (line[i] == '{') {
                ++depth;
            } else if (line[i] == '}') {
                depth = std::max(0, depth - 1);
            }
        }
    }
    return inBody;
}

// A change of one line that makes it wrong; empty when the line does not suit it.
using Fault = std::function<std::string(const std::string &line)>;

struct FaultKind {
    const char *name;
    Fault change;
    bool outsideBodies = false; // the change applies to lines between functions
};

// The line with the first match of `pattern` in its code (not in a comment or a string) changed.
std::string replaced(const std::string &line, const std::regex &pattern, const std::string &with)
{
    std::string code = line.substr(0, line.find("//"));
    for (std::size_t open = code.find('"'); open != std::string::npos; open = code.find('"', open + 1)) {
        const std::size_t close = code.find('"', open + 1);
        if (close == std::string::npos)
            return {};
        code.replace(open + 1, close - open - 1, close - open - 1, ' ');
        open = close;
    }
    std::smatch m;
    if (!std::regex_search(code, m, pattern))
        return {};
    const auto at = static_cast<std::size_t>(m.position(0));
    return line.substr(0, at) + std::regex_replace(m.str(), pattern, with) + line.substr(at + m.str().size());
}

const FaultKind kFaults[] = {
    {"unknown function called", [](const std::string &line) {
         static const std::regex statementEnd(R"(^\s+[^/].*;\s*$)");
         return std::regex_search(line, statementEnd) ? line + " seeded_nosuch();" : std::string();
     }},
    {"unknown name", [](const std::string &line) {
         static const std::regex value(R"(= ([A-Za-z_]\w*)\s*;)");
         return replaced(line, value, "= $1_seeded;");
     }},
    {"unknown field", [](const std::string &line) {
         static const std::regex field(R"(\b(self|other)\.([A-Za-z_]\w*))");
         return replaced(line, field, "$1.$2_seeded");
     }},
    {"unknown frame", [](const std::string &line) {
         static const std::regex frame(R"(\$([A-Za-z_]\w*))");
         return replaced(line, frame, "$$$1_seeded");
     }},
    {"string assigned to a float", [](const std::string &line) {
         static const std::regex assignment(R"(\.(health|nextthink|frame) = [^;]*;)");
         return replaced(line, assignment, ".$1 = \"seeded\";");
     }},
    {"missing semicolon", [](const std::string &line) {
         static const std::regex end(R"(^\s+[^/].*[\w)\]'"]\s*;\s*(//.*)?$)"), bareReturn(R"(\breturn\s*;)");
         if (!std::regex_search(line, end) || line.find("for") != std::string::npos || std::regex_search(line, bareReturn))
             return std::string();
         const std::size_t semicolon = line.rfind(';', line.find("//"));
         return line.substr(0, semicolon) + line.substr(semicolon + 1);
     }},
    {"missing closing brace", [](const std::string &line) {
         static const std::regex brace(R"(\};?\s*)");
         return std::regex_match(line, brace) ? line.substr(1) : std::string();
     }, true},
};

constexpr int kPlacesPerFault = 30;

} // namespace

TEST(CheckCorpus, RealModsGiveNoErrors)
{
    for (const char *mod : kMods) {
        if (!std::filesystem::is_directory(modFolder(mod)))
            GTEST_SKIP() << "no corpus at " << modFolder(mod);
        check::ProjectChecker checker(modFolder(mod));
        int errors = 0;
        for (const qc::Diagnostic &d : checker.checkAll())
            if (d.severity == qc::Severity::Error) {
                ++errors;
                ADD_FAILURE() << d.file << ":" << d.line << ":" << d.column << ": " << d.message;
            }
        EXPECT_EQ(errors, 0) << mod;
    }
}

// Single faults at many places of the real mods: an error on the fault's line or next to it,
// in its file, for at least 95 of 100.
TEST(CheckCorpus, SeededFaultsAreFoundOnTheirLine)
{
    int tried = 0, found = 0;
    for (const char *mod : kMods) {
        if (!std::filesystem::is_directory(modFolder(mod)))
            GTEST_SKIP() << "no corpus at " << modFolder(mod);
        check::ProjectChecker checker(modFolder(mod));
        checker.checkAll();
        const auto projects = qc::readProjects(modFolder(mod), readText);
        const std::vector<std::string> &files = projects[qc::chooseProject(projects, {})].files;
        for (const FaultKind &kind : kFaults) {
            // Places spread over the whole mod: every n-th suitable line.
            std::vector<std::pair<std::string, std::size_t>> places;
            for (const std::string &file : files) {
                const std::vector<std::string> lines = linesOf(readText(file));
                const std::vector<bool> inBody = codeLinesInBodies(lines);
                for (std::size_t i = 0; i < lines.size(); ++i)
                    if ((kind.outsideBodies || inBody[i]) && !kind.change(lines[i]).empty())
                        places.emplace_back(file, i);
            }
            const std::size_t step = std::max<std::size_t>(1, places.size() / kPlacesPerFault);
            int kindTried = 0, kindFound = 0;
            for (std::size_t p = 0; p < places.size(); p += step) {
                const auto &[file, index] = places[p];
                const std::string original = readText(file);
                std::vector<std::string> lines = linesOf(original);
                lines[index] = kind.change(lines[index]);
                const int line = static_cast<int>(index) + 1;
                bool hit = false;
                for (const qc::Diagnostic &d : checker.checkFile(file, joined(lines)))
                    hit = hit || (d.severity == qc::Severity::Error && d.file == file && std::abs(d.line - line) <= 1);
                checker.checkFile(file, original);
                ++kindTried;
                kindFound += hit;
                if (!hit)
                    std::cout << "missed: " << kind.name << " at " << file << ":" << line << ": " << lines[index] << "\n";
            }
            std::cout << mod << ": " << kind.name << ": " << kindFound << " of " << kindTried << "\n";
            tried += kindTried;
            found += kindFound;
        }
    }
    std::cout << "seeded faults found: " << found << " of " << tried << "\n";
    EXPECT_GE(found * 100, tried * 95);
}

namespace {

class SmallModTest : public TempDirTest {};

// A small vanilla mod that Debian's fteqcc compiles without a word.
const char *const kSmallDefs =
    "entity self;\n"
    "entity other;\n"
    "float time;\n"
    "void end_sys_globals;\n"
    ".float frame;\n"
    ".float health;\n"
    ".float nextthink;\n"
    ".vector origin;\n"
    ".string classname;\n"
    ".entity enemy;\n"
    ".void() think;\n"
    "void end_sys_fields;\n"
    "void(string s) dprint = #25;\n"
    "float() random = #7;\n"
    "string(float f) ftos = #26;\n";

const char *const kSmallMod =
    "$frame stand1 stand2 stand3\n"
    "\n"
    "void() mon_stand2;\n"
    "void() mon_stand1 = [$stand1, mon_stand2] { self.health = self.health + 1; };\n"
    "void() mon_stand2 = [$stand2, mon_stand1] { self.nextthink = time + 0.1; };\n"
    "\n"
    "float(float a) mon_score =\n"
    "{\n"
    "\tlocal float r;\n"
    "\tr = random() * a;\n"
    "\tif (r > 10)\n"
    "\t\treturn r;\n"
    "\tdprint(ftos(r));\n"
    "\treturn 0;\n"
    "};\n"
    "\n"
    "void() mon_think =\n"
    "{\n"
    "\tself.enemy = other;\n"
    "\tself.think = mon_stand1;\n"
    "\tself.frame = $stand3;\n"
    "\tself.health = mon_score(3);\n"
    "};\n";

// The error lines of fteqcc's output for the mod in `folder`.
std::vector<int> fteqccErrorLines(const std::string &folder)
{
    const std::string command = "cd '" + folder + "' && /usr/bin/fteqcc 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ::pclose(pipe);
    qc::OutputReader reader;
    std::vector<qc::OutputReader::Line> lines = reader.feed(output);
    std::vector<int> errors;
    for (const auto &line : lines)
        if (line.diagnostic.severity == qc::Severity::Error && line.diagnostic.line > 0)
            errors.push_back(line.diagnostic.line);
    return errors;
}

} // namespace

// The same faults in a small mod of our own, where fteqcc says where the error is: ours is on
// its line or next to it.
TEST_F(SmallModTest, SeededFaultsAreFoundWhereFteqccFindsThem)
{
    if (!std::filesystem::exists("/usr/bin/fteqcc"))
        GTEST_SKIP() << "fteqcc is not installed";
    write("progs.src", "progs.dat\ndefs.qc\nmon.qc\n");
    write("defs.qc", kSmallDefs);
    const std::string mon = write("mon.qc", kSmallMod);
    ASSERT_TRUE(fteqccErrorLines(root).empty());
    check::ProjectChecker checker(root);
    ASSERT_TRUE(checker.checkAll().empty());
    const struct {
        const char *fault;
        const char *line;
        const char *changed;
        // fteqcc reports a body left open at the next declaration, lines below; the checker
        // reports it where the '}' is missing, which is what the modder has to change.
        int faultLine = 0;
    } faults[] = {
        {"unknown function", "\tdprint(ftos(r));", "\tdprnt(ftos(r));"},
        {"unknown name", "\tr = random() * a;", "\tr = random() * b;"},
        {"unknown field", "\tself.enemy = other;", "\tself.enmy = other;"},
        {"unknown frame", "\tself.frame = $stand3;", "\tself.frame = $stand4;"},
        {"string to float", "\tself.health = mon_score(3);", "\tself.health = \"lots\";"},
        {"missing semicolon", "\tr = random() * a;", "\tr = random() * a"},
        {"missing brace", "\treturn 0;\n};", "\treturn 0;\n", 15},
    };
    for (const auto &f : faults) {
        std::string text = kSmallMod;
        text.replace(text.find(f.line), std::string(f.line).size(), f.changed);
        write("mon.qc", text);
        const std::vector<int> theirs = fteqccErrorLines(root);
        ASSERT_FALSE(theirs.empty()) << f.fault;
        const int expected = f.faultLine ? f.faultLine : theirs.front();
        bool near = false;
        for (const qc::Diagnostic &d : checker.checkFile(mon, text))
            near = near || (d.severity == qc::Severity::Error && std::abs(d.line - expected) <= 1);
        EXPECT_TRUE(near) << f.fault << ": fteqcc's error is on line " << theirs.front();
    }
}
