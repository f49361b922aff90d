#include "core/quickopen/filewalk.h"
#include "core/quickopen/ranking.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace vardo::quickopen;
using Paths = std::vector<std::string>;

namespace {

Paths walkAll(const std::string &root, std::size_t batch = 2)
{
    FileWalk walk(root);
    Paths all;
    for (Paths next = walk.next(batch); !next.empty(); next = walk.next(batch))
        all.insert(all.end(), next.begin(), next.end());
    EXPECT_TRUE(walk.done());
    return all;
}

class FileWalkTest : public TempDirTest {};

TEST_F(FileWalkTest, ListsOfferedFilesShallowFirstAndSkipsDotFolders)
{
    for (const char *name : {"progs.src", "b.qc", "A.QH", "notes.txt", "autoexec.cfg", "progs.dat", "qc",
                             "sub/deep/z.qc", "sub/ai.qc", "sub/.hidden.qc", ".git/x.qc", "maps/.cache/y.txt"})
        write(name);
    EXPECT_EQ(walkAll(root), (Paths{"A.QH", "autoexec.cfg", "b.qc", "notes.txt", "progs.src", "sub/ai.qc",
                                    "sub/deep/z.qc"}));
    EXPECT_TRUE(walkAll(path("missing")).empty());
}

TEST_F(FileWalkTest, FollowsLinksButReadsEachFolderOnce)
{
    write("mod/a.qc");
    write("mod/sub/b.qc");
    fs::create_directory_symlink("..", path("mod/sub/up"));       // a loop
    fs::create_directory_symlink(path("mod/sub"), path("mod/same")); // the same folder again
    fs::create_directory_symlink(path("outside"), path("mod/shared"));
    write("outside/c.qc");
    fs::create_symlink(path("outside/c.qc"), path("mod/linked.qc"));
    fs::create_symlink(path("nowhere.qc"), path("mod/dangling.qc"));
    const Paths found = walkAll(path("mod"));
    EXPECT_EQ(found, (Paths{"a.qc", "linked.qc", "sub/b.qc", "shared/c.qc"}));
}

TEST_F(FileWalkTest, StaysOnTheRootsFileSystem)
{
    struct stat here {}, there {};
    std::string other = "/dev/shm/vardo-walk-XXXXXX";
    if (::stat(root.c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev ||
        ::mkdtemp(other.data()) == nullptr)
        GTEST_SKIP() << "no second file system to link to";
    std::ofstream(other + "/far.txt") << "x";
    write("near.txt");
    fs::create_directory_symlink(other, path("mount"));
    const Paths found = walkAll(root);
    fs::remove_all(other);
    EXPECT_EQ(found, Paths{"near.txt"});
}

// Every QuakeC file of a real mod, in its folders, is offered: the source list's first.
TEST(FileWalkCorpusTest, OffersEveryFileOfARealMod)
{
    const fs::path mod = fs::path(VARDO_SHARED_CORPUS) / "rerelease" / "quakec";
    if (!fs::is_directory(mod))
        GTEST_SKIP() << "no corpus beside the repository";
    Paths offered = listedFiles(mod.string());
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(offered.front(), "defs.qc");
    const Paths walked = walkAll(mod.string(), 100);
    offered.insert(offered.end(), walked.begin(), walked.end());
    std::size_t sources = 0;
    for (const auto &entry : fs::recursive_directory_iterator(mod)) {
        const std::string relative = entry.path().lexically_relative(mod).string();
        if (!entry.is_regular_file() || !isOfferedName(relative))
            continue;
        ++sources;
        EXPECT_NE(std::ranges::find(offered, relative), offered.end()) << relative;
    }
    EXPECT_GT(sources, 30u);
}

struct RankingCase {
    const char *query;
    Paths paths;
    Paths expected; // the matches, best first
};

class RankingTest : public ::testing::TestWithParam<RankingCase> {};

TEST_P(RankingTest, OrdersMatchesBestFirst)
{
    const RankingCase &c = GetParam();
    const Ranked ranked = rankMatches(c.paths, c.query, 100);
    Paths got;
    for (std::size_t index : ranked.best)
        got.push_back(c.paths[index]);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(ranked.matches, c.expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Queries, RankingTest,
    ::testing::Values(
        // Typed letters are a subsequence, in any case; others drop out.
        RankingCase{"DFS", {"defs.qc", "fds.qc", "sub/d/f/s.txt"}, {"defs.qc", "sub/d/f/s.txt"}},
        RankingCase{"xyz", {"defs.qc"}, {}},
        // The file name beats its folders, however well they match.
        RankingCase{"ogre", {"ogre/readme.txt", "monsters/ogre.qc"}, {"monsters/ogre.qc", "ogre/readme.txt"}},
        // A name that starts with the query, then letters together, then word starts.
        RankingCase{"ai", {"chain.qc", "ai.qc", "fight_ai.qc"}, {"ai.qc", "fight_ai.qc", "chain.qc"}},
        RankingCase{"bp", {"bumpy.qc", "bot_pain.qc", "bigPlan.qc"}, {"bigPlan.qc", "bot_pain.qc", "bumpy.qc"}},
        // A later occurrence of the first letter can align better than the first one.
        RankingCase{"wa", {"w_xxx_xa.qc", "w_xxx_wa.qc"}, {"w_xxx_wa.qc", "w_xxx_xa.qc"}},
        // Equals: the shorter path, then the earlier one.
        RankingCase{"a", {"b/a.qc", "a.qc", "c/a.qc"}, {"a.qc", "b/a.qc", "c/a.qc"}},
        // Without a query every path, in the order given.
        RankingCase{"", {"z.qc", "a.qc"}, {"z.qc", "a.qc"}}));

TEST(RankingLimitTest, KeepsTheBestAndCountsAll)
{
    Paths paths;
    for (int i = 0; i < 50; ++i)
        paths.push_back("file" + std::to_string(i) + ".qc");
    paths.push_back("f.qc");
    const Ranked ranked = rankMatches(paths, "f", 3);
    EXPECT_EQ(ranked.matches, 51u);
    EXPECT_EQ(ranked.best, (std::vector<std::size_t>{50, 0, 1}));
}

} // namespace
