// The checker on real mods: nothing reported on mods their compiler accepts, and faults put
// into them found on their line.
#include "core/check/projectchecker.h"
#include "core/qc/sourcelist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
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
