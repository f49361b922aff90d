// The toolkit-free parts of choosing a compiler: its extra arguments split into words, its
// version learned without running it, and the complaints of a compiler too old for a mod.
#include "core/base/errors.h"
#include "core/base/words.h"
#include "core/qc/compileroutput.h"
#include "core/qc/compilerversion.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vardo;
using Words = std::vector<std::string>;

namespace {

TEST(SplitWordsTest, SplitsAsAShellWouldWithoutExpanding)
{
    const std::vector<std::pair<const char *, Words>> cases = {
        {"", {}},
        {"  -O3\t-Wall  ", {"-O3", "-Wall"}},
        {"-srcfile 'my progs.src'", {"-srcfile", "my progs.src"}},
        {R"("a \"b\" \\ \c" x)", {R"(a "b" \ \c)", "x"}},
        {R"(a\ b '\n' $HOME *.qc ""  '')", {"a b", "\\n", "$HOME", "*.qc", "", ""}},
        {"pre'mid'\"dle\"post", {"premiddlepost"}},
    };
    for (const auto &[line, words] : cases)
        EXPECT_EQ(splitWords(line), words) << line;
    for (const char *bad : {"'open", "\"open", "x\\", "\"a\\\""})
        EXPECT_THROW(splitWords(bad), AppError) << bad;
}

TEST(CompilerVersionTest, UpstreamPartOfDebianVersions)
{
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"3343+svn3400-4", "3343"}, {"1:0.3.6-2", "0.3.6"}, {"2.7~beta-1", "2.7"}, {"5", "5"}, {"", ""}};
    for (const auto &[debian, upstream] : cases)
        EXPECT_EQ(qc::upstreamVersion(debian), upstream) << debian;
}

class CompilerVersionFilesTest : public TempDirTest {};

TEST_F(CompilerVersionFilesTest, AsksThePackageDatabaseThenTheProgramsBytes)
{
    const std::string program = write("usr/bin/fteqcc", std::string("\x7f" "ELF FTEQCC fteqcc.log\0", 22));
    ::chmod(program.c_str(), 0755);
    const std::string dpkg = path("dpkg");
    write("dpkg/info/fteqcc.list", "/.\n/usr\n" + path("usr/bin") + "/../bin/fteqcc\n");
    write("dpkg/status", "Package: fteqcc-data\nVersion: 9\n\nPackage: fteqcc\nStatus: install ok installed\n"
                         "Version: 3343+svn3400-4\n\n");
    EXPECT_EQ(qc::compilerVersion(program, dpkg), "fteqcc 3343");

    // A copy inside a mod is not the packaged one; its bytes name no version.
    const std::string copy = write("mod/fteqcc", "FTEQCC");
    EXPECT_EQ(qc::compilerVersion(copy, dpkg), "fteqcc");
    const std::string frik = write("mod/frikqcc2.EXE", std::string("MZ\0FrikQCC frikqcc2 v2.7. built\0", 32));
    EXPECT_EQ(qc::compilerVersion(frik, dpkg), "frikqcc2 2.7");
    EXPECT_EQ(qc::compilerVersion(path("missing/gmqcc"), dpkg), "gmqcc");
}

TEST(OldFteqccTest, KnowsItsComplaints)
{
    EXPECT_TRUE(qc::isOldFteqccComplaint("Couldn't open file #pragma"));
    EXPECT_TRUE(qc::isOldFteqccComplaint("defs.qc:689: error: \":\" is not a type"));
    EXPECT_FALSE(qc::isOldFteqccComplaint("Couldn't open file defs.qc"));
    EXPECT_FALSE(qc::isOldFteqccComplaint("defs.qc:5: error: \"vector\" is not a type"));
}

} // namespace
