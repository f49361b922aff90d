#include "core/base/paths.h"
#include "core/files/fileio.h"
#include "core/qc/sourcelist.h"
#include "tempdir.h"

#include <gtest/gtest.h>

using namespace vardo::qc;

namespace {

const vardo::qc::ReadFile readFile = [](const std::string &path) {
    return vardo::fileio::readWholeFile(path, 1u << 24);
};

class SourceListTest : public TempDirTest {
protected:
    std::vector<std::string> paths(std::initializer_list<const char *> names) const
    {
        std::vector<std::string> out;
        for (const char *name : names)
            out.push_back(path(name));
        return out;
    }
};

} // namespace

TEST_F(SourceListTest, OldStyleListAsTheGameShippedIt)
{
    for (const char *name : {"defs.qc", "subs.qc", "fight.qc", "ai.qc", "server/combat.qc", "name with space.qc",
                             "common/util.qh"})
        write(name);
    const SourceList list = parseSourceList("../progs.dat   // the output\r\n"
                                            "\r\n"
                                            "defs.qc\r\n"
                                            "subs.qc fight.qc // two on a line\r\n"
                                            "/* a block\r\n   comment.qc */ ai.qc\r\n"
                                            "#pragma whatever.qc\r\n"
                                            "  # indented.qc\r\n"
                                            "SERVER\\Combat.QC\r\n"
                                            "missing.qc\r\n"
                                            "\"name with space.qc\"\r\n"
                                            "./common/../common/util.qh\r\n"
                                            "defs.qc\r\n",
                                            root);
    EXPECT_EQ(list.output, "../progs.dat");
    EXPECT_EQ(list.files, paths({"defs.qc", "subs.qc", "fight.qc", "ai.qc", "server/combat.qc", "name with space.qc",
                                 "common/util.qh"}));
    EXPECT_EQ(list.missing, std::vector<std::string>{"missing.qc"});
    EXPECT_FALSE(list.isSourceCode);
}

TEST_F(SourceListTest, NewStyleListWithDirectivesAndConditions)
{
    for (const char *name : {"defs.qc", "subs.qc", "common/util.qh", "cs.qc", "ss.qc", "old.qc", "opt.qc", "last.qc",
                             "pragma.qc", "nonopt.qc"})
        write(name);
    const SourceList list = parseSourceList("// Client-side game code\n"
                                            "#pragma target fte\n"
                                            "#pragma PROGS_DAT \"../csprogs.dat\"\n"
                                            "#define CSQC\n"
                                            "#include \"defs.qc\"\n"
                                            "#includelist\n"
                                            "  subs.qc   // the helpers\n"
                                            "  common\\util.qh\n"
                                            "#endlist\n"
                                            "#ifdef CSQC\n"
                                            "#include \"cs.qc\"\n"
                                            "#else\n"
                                            "#include \"ss.qc\"\n"
                                            "#endif\n"
                                            "#if 0\n"
                                            "  #include \"old.qc\"\n"
                                            "#endif\n"
                                            "/* #include \"old.qc\" */\n"
                                            "#ifdef SET_ON_THE_COMMAND_LINE\n"
                                            "#include <opt.qc>\n"
                                            "#else\n"
                                            "#include <nonopt.qc>\n"
                                            "#endif\n"
                                            "#pragma sourcefile pragma.qc\n"
                                            "#include \"last.qc\" // the end\n",
                                            root);
    EXPECT_EQ(list.output, "../csprogs.dat");
    // A condition the list cannot decide keeps both branches: a file too many beats one missing.
    EXPECT_EQ(list.files, paths({"defs.qc", "subs.qc", "common/util.qh", "cs.qc", "opt.qc", "nonopt.qc", "pragma.qc",
                                 "last.qc"}));
    EXPECT_TRUE(list.missing.empty());
    EXPECT_TRUE(list.isSourceCode);

    EXPECT_EQ(parseSourceList("/* header */ #output \"progs.dat\"\n#include \"gone.qc\"\n", root).output, "progs.dat");
    EXPECT_EQ(parseSourceList("#output progs.dat\n#include \"gone.qc\"\n", root).missing,
              std::vector<std::string>{"gone.qc"});
}

TEST_F(SourceListTest, EmptyAndBrokenListsNeverFail)
{
    write("a.qc");
    for (const char *text : {"", "   \n\n", "// only a comment", "/* unclosed", "\"unclosed", "#includelist\na.qc",
                             "#endif\n#else\n#include \"a.qc\"", "progs.dat \"a.qc", "#include", "#include \"\""}) {
        const SourceList list = parseSourceList(text, root);
        EXPECT_LE(list.files.size(), 1u) << text;
    }
    EXPECT_EQ(parseSourceList("#includelist\na.qc", root).files, paths({"a.qc"}));
    EXPECT_EQ(parseSourceList("progs.dat \"a.qc", root).files, paths({"a.qc"}));
}

TEST_F(SourceListTest, ProjectsOfADirectory)
{
    write("progs.src", "progs.dat\ndefs.qc\nworld.qc\n");
    write("CSPROGS.SRC", "#output \"csprogs.dat\"\n#include \"cs/main.qc\"\n");
    for (const char *name : {"defs.qc", "world.qc", "cs/main.qc", "notes.qc"})
        write(name);
    const std::vector<SourceList> projects = readProjects(root, readFile);
    ASSERT_EQ(projects.size(), 2u);
    EXPECT_EQ(projects[0].listFile, path("progs.src"));
    EXPECT_EQ(projects[0].files, paths({"defs.qc", "world.qc"}));
    EXPECT_EQ(projects[1].listFile, path("CSPROGS.SRC"));
    EXPECT_EQ(projects[1].files, paths({"cs/main.qc"}));

    EXPECT_EQ(chooseProject(projects, path("cs/main.qc")), 1u);
    EXPECT_EQ(chooseProject(projects, path("world.qc")), 0u);
    EXPECT_EQ(chooseProject(projects, path("notes.qc")), 0u);
    EXPECT_EQ(chooseProject({projects[1], projects[0]}, path("notes.qc")), 1u);
}

TEST_F(SourceListTest, WithoutAListEverySourceOfTheDirectory)
{
    for (const char *name : {"world.qc", "defs.qc", "FIELDS.QH", "readme.txt", "sub/deeper.qc"})
        write(name);
    std::filesystem::create_directory(path("dir.qc"));
    const std::vector<SourceList> projects = readProjects(root, readFile);
    ASSERT_EQ(projects.size(), 1u);
    EXPECT_EQ(projects[0].listFile, "");
    EXPECT_EQ(projects[0].files, paths({"FIELDS.QH", "defs.qc", "world.qc"}));
}

TEST_F(SourceListTest, NamesResolveFromTheIncluderThenTheList)
{
    write("server/defs.qc");
    write("common/shared.qh");
    write("server/shared.qh");
    const std::string server = path("server");
    EXPECT_EQ(resolveSourceName("shared.qh", server, root), path("server/shared.qh"));
    EXPECT_EQ(resolveSourceName("common/shared.qh", server, root), path("common/shared.qh"));
    EXPECT_EQ(resolveSourceName("..\\COMMON\\Shared.qh", server, root), path("common/shared.qh"));
    EXPECT_EQ(resolveSourceName(path("server/defs.qc"), root, root), path("server/defs.qc"));
    EXPECT_EQ(resolveSourceName("nothere.qc", server, root), "");
    EXPECT_EQ(resolveSourceName("server", root, root), "");
    EXPECT_EQ(resolveSourceName("", root, root), "");
}

// A mod's files are those below its folder and those its list reaches elsewhere.
TEST_F(SourceListTest, ProjectBoundsHoldTheRootAndWhatTheListNames)
{
    for (const char *name : {"mod/defs.qc", "mod/sub/ai.qc", "common/shared.qc", "common/other.qc", "elsewhere.qc"})
        write(name);
    write("mod/progs.src", "progs.dat\ndefs.qc\n../common/shared.qc\n");
    const std::vector<SourceList> projects = readProjects(path("mod"), readFile);
    const ProjectBounds bounds(path("mod"), projects.front());
    const std::pair<const char *, bool> cases[] = {
        {"mod/defs.qc", true},        {"mod/sub/ai.qc", true},       {"mod/not-listed.qc", true},
        {"common/shared.qc", true},   {"common/other.qc", false},    {"elsewhere.qc", false},
        {"modified/defs.qc", false},
    };
    for (const auto &[name, inside] : cases)
        EXPECT_EQ(bounds.contains(vardo::paths::canonical(path(name))), inside) << name;
    EXPECT_FALSE(bounds.contains("/etc/shadow"));
}

TEST_F(SourceListTest, ProjectRootIsTheNearestFolderWithAList)
{
    write("mod/progs.src", "progs.dat\ndefs.qc\n");
    write("mod/monsters/deep/ogre.qc");
    write("mod/sub/csprogs.src");
    write("plain/a.qc");
    const struct {
        std::string from, root;
    } cases[] = {
        {"mod", "mod"},
        {"mod/", "mod"},
        {"mod/monsters/deep", "mod"},
        {"mod/sub", "mod/sub"},
        {"plain", "plain"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(findProjectRoot(path(c.from)), path(c.root)) << c.from;
}
