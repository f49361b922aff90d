#include "core/base/errors.h"
#include "core/files/listing.h"
#include "core/files/volumes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace vardo;
using Names = std::vector<std::string>;

namespace {

TEST(MaskTest, MatchesWithoutRegardToCase)
{
    EXPECT_TRUE(nav::matchesMask("DEFS.QC", "*.qc"));
    EXPECT_TRUE(nav::matchesMask("world.Qc", "*.QC"));
    EXPECT_FALSE(nav::matchesMask("defs.qcx", "*.qc"));
    EXPECT_FALSE(nav::matchesMask("defs.q", "*.qc"));
    EXPECT_FALSE(nav::matchesMask("qc", "*.qc"));

    // "*.*" is every name, also one without an extension.
    for (const char *name : {"MAKEFILE", "a.b", "archive.tar.gz", "x."})
        EXPECT_TRUE(nav::matchesMask(name, "*.*")) << name;
    EXPECT_TRUE(nav::matchesMask("MAKEFILE", "m*.*"));
    EXPECT_FALSE(nav::matchesMask("MAKEFILE", "b*.*"));

    EXPECT_TRUE(nav::matchesMask("ab.qc", "a?.qc"));
    EXPECT_FALSE(nav::matchesMask("a.qc", "a?.qc"));
    EXPECT_FALSE(nav::matchesMask("abc.qc", "a?.qc"));

    // A later star has to be retried at several places.
    EXPECT_TRUE(nav::matchesMask("xaxxab", "*a*b"));
    EXPECT_TRUE(nav::matchesMask("aab", "*ab"));
    EXPECT_FALSE(nav::matchesMask("aaba", "*ab"));

    EXPECT_TRUE(nav::matchesMask("notes.TXT", "*.qc;*.txt"));
    EXPECT_TRUE(nav::matchesMask("defs.qc", "*.qc;*.txt"));
    EXPECT_TRUE(nav::matchesMask("progs.src", "*.qc;*.txt;progs.*"));
    EXPECT_FALSE(nav::matchesMask("main.c", "*.qc;*.txt"));
    // A '*' in a name is an ordinary character: the pattern's '*' still matches it.
    EXPECT_TRUE(nav::matchesMask("*b", "*"));
    EXPECT_TRUE(nav::matchesMask("*b", "*.*"));
}

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vardo-listing-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const std::string &name, const std::string &bytes = "x") const
    {
        std::ofstream(root / name, std::ios::binary) << bytes;
    }

    fs::path root;
};

TEST_F(ListingTest, ListsOrdinaryFilesAndSubdirectories)
{
    for (const char *name : {"world.qc", "DEFS.QC", "alpha.qc", "Notes.txt", "MAKEFILE", ".hidden.qc"})
        write(name);
    for (const char *name : {"sub", "Zeta", "alpha", "sub.qc", ".git"})
        fs::create_directory(root / name);
    fs::create_symlink("world.qc", root / "link.qc");
    fs::create_symlink("nowhere.qc", root / "dangling.qc");
    fs::create_symlink("sub", root / "dirlink");
    fs::create_symlink("sub", root / ".hiddenlink");
    fs::create_symlink("loop", root / "loop");
    ASSERT_EQ(::mkfifo((root / "pipe.qc").c_str(), 0644), 0);
    fs::create_symlink("pipe.qc", root / "pipelink");

    EXPECT_EQ(nav::listFiles(root, "*.qc"), (Names{"alpha.qc", "DEFS.QC", "link.qc", "world.qc"}));
    EXPECT_EQ(nav::listFiles(root, "*.*"),
              (Names{"alpha.qc", "DEFS.QC", "link.qc", "MAKEFILE", "Notes.txt", "world.qc"}));
    // Order comes from the sort, not from the order of the patterns.
    EXPECT_EQ(nav::listFiles(root, "*.txt;*.qc"),
              (Names{"alpha.qc", "DEFS.QC", "link.qc", "Notes.txt", "world.qc"}));
    EXPECT_EQ(nav::listFiles(root, "*.pas"), Names{});
    EXPECT_EQ(nav::listSubdirectories(root), (Names{"alpha", "dirlink", "sub", "sub.qc", "Zeta"}));

    // One read of the directory gives the same answers.
    const nav::SharedRead read(root);
    EXPECT_EQ(nav::listFiles(root, "*.qc"), (Names{"alpha.qc", "DEFS.QC", "link.qc", "world.qc"}));
    EXPECT_EQ(nav::listFiles(root, "*.txt;*.qc"),
              (Names{"alpha.qc", "DEFS.QC", "link.qc", "Notes.txt", "world.qc"}));
    EXPECT_EQ(nav::listSubdirectories(root), (Names{"alpha", "dirlink", "sub", "sub.qc", "Zeta"}));
}

TEST_F(ListingTest, OneReadServesTheListsWhileItLives)
{
    write("first.qc");
    fs::create_directory(root / "sub");
    fs::create_directory(root / "other");
    {
        const nav::SharedRead read(root);
        write("later.qc");
        fs::create_directory(root / "later");
        EXPECT_EQ(nav::listFiles(root, "*.*"), Names{"first.qc"});
        EXPECT_EQ(nav::listSubdirectories(root), (Names{"other", "sub"}));
        {
            // Another directory, and the same one again, inside it.
            const nav::SharedRead inner((root / "sub").string());
            std::ofstream(root / "sub" / "in.qc") << "x";
            EXPECT_EQ(nav::listFiles((root / "sub").string(), "*.qc"), Names{});
            EXPECT_EQ(nav::listFiles(root, "*.qc"), Names{"first.qc"});
            EXPECT_EQ(nav::listFiles((root / "other").string(), "*.qc"), Names{});
        }
        EXPECT_EQ(nav::listFiles((root / "sub").string(), "*.qc"), Names{"in.qc"});
    }
    // Afterwards every list reads the directory again.
    EXPECT_EQ(nav::listFiles(root, "*.qc"), (Names{"first.qc", "later.qc"}));
    EXPECT_EQ(nav::listSubdirectories(root), (Names{"later", "other", "sub"}));
    EXPECT_THROW(nav::SharedRead((root / "missing").string()), IoError);
}

TEST_F(ListingTest, SortsWithoutRegardToCase)
{
    for (const char *name : {"b.qc", "A.qc", "C.qc", "a2.qc", "B1.qc"})
        write(name);
    EXPECT_EQ(nav::listFiles(root, "*.qc"), (Names{"A.qc", "a2.qc", "b.qc", "B1.qc", "C.qc"}));
    EXPECT_TRUE(nav::lessIgnoringCase("apple", "Banana"));
    EXPECT_FALSE(nav::lessIgnoringCase("Banana", "apple"));
    // Names equal but for case still get a strict order.
    EXPECT_NE(nav::lessIgnoringCase("abc", "ABC"), nav::lessIgnoringCase("ABC", "abc"));
    // A shorter name that is the start of a longer one comes first; '_' lies between the
    // capitals and the small letters, so it sorts before every letter once case is folded.
    const std::pair<const char *, const char *> ordered[] = {
        {"ab", "ABC"}, {"AB", "abc"}, {"_x", "Ax"}, {"_x", "ax"}, {"ABC", "abc"}, {"a_b", "AAc"}};
    for (const auto &[first, second] : ordered) {
        EXPECT_TRUE(nav::lessIgnoringCase(first, second)) << first << " " << second;
        EXPECT_FALSE(nav::lessIgnoringCase(second, first)) << first << " " << second;
    }
}

TEST_F(ListingTest, KeepsTheBytesOfANameThatIsNotUtf8)
{
    const std::string latin1 = "caf\xe9.qc";
    write(latin1, "the real one");
    const Names names = nav::listFiles(root, "*.qc");
    ASSERT_EQ(names, Names{latin1});
    std::ifstream in(root / names[0], std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "the real one");
}

TEST_F(ListingTest, ReportsDirectoriesThatCannotBeRead)
{
    write("MAKEFILE");
    fs::create_symlink("loop", root / "loop");
    auto messageOf = [](const fs::path &directory) -> std::string {
        try {
            nav::listFiles(directory, "*.*");
        } catch (const IoError &error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageOf(root / "missing"), "File not found");
    EXPECT_EQ(messageOf(root / "MAKEFILE"), "Invalid filename");
    EXPECT_EQ(messageOf(root / "MAKEFILE" / "sub"), "Invalid filename");
    EXPECT_EQ(messageOf(root / "loop"), "Invalid filename");
    EXPECT_THROW(nav::listSubdirectories(root / "missing"), IoError);
}

// Pseudo file systems, a blank escaped in a mount point, two network shares, a mount point
// used twice (the later mount hides the earlier) and optional fields before the separator.
constexpr const char *kMountInfo =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "23 27 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
    "26 24 0:24 / /dev/pts rw,relatime - devpts devpts rw,mode=600\n"
    "31 23 0:28 / /sys/fs/cgroup rw,relatime - cgroup2 cgroup2 rw\n"
    "27 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "43 27 8:2 / /home rw,relatime shared:2 - ext4 /dev/sda2 rw\n"
    "40 27 8:17 / /media/user/My\\040Stick rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
    "41 27 0:50 / /mnt/share rw - cifs //Server/Share rw\n"
    "42 43 0:51 / /home/user/nfs rw master:3 - nfs4 host:/export/Home rw\n"
    "44 27 8:3 / /home rw,relatime - xfs /dev/sda3 rw\n"
    "45 27 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
    "50 27 0:60 / /srv/jail/proc rw - proc proc rw\n"
    "51 43 0:61 / /home/user/.cache/doc rw - fuse.portal portal rw\n";

std::vector<nav::Volume> sampleVolumes()
{
    const std::map<std::string, std::string> labels = {
        {"/dev/sda1", "SYSTEM"}, {"/dev/sda2", "OldHome"}, {"/dev/sda3", "Home"}, {"/dev/sdb1", "My Stick"}};
    return nav::parseMountInfo(kMountInfo, [&](const std::string &device) {
        const auto it = labels.find(device);
        return it == labels.end() ? std::string() : it->second;
    });
}

TEST(VolumesTest, ParsesMountInfo)
{
    const std::vector<nav::Volume> volumes = sampleVolumes();
    Names texts;
    for (const nav::Volume &volume : volumes)
        texts.push_back(volume.entryText());
    EXPECT_EQ(texts, (Names{"/ [system]", "/home [home]", "/home/user/nfs [host:/export/home]",
                            "/media/cdrom []", "/media/user/My Stick [my stick]",
                            "/mnt/share [//server/share]"}));
    ASSERT_EQ(volumes.size(), 6u);
    EXPECT_EQ(volumes[1].fsType, "xfs");
    EXPECT_EQ(volumes[2].kind, nav::Volume::Kind::Network);
    EXPECT_EQ(volumes[3].kind, nav::Volume::Kind::Optical);
    EXPECT_EQ(volumes[5].kind, nav::Volume::Kind::Network);
}

TEST(VolumesTest, FindsTheDeepestMountPointHoldingADirectory)
{
    const std::vector<nav::Volume> volumes = sampleVolumes();
    auto mountOf = [&](const std::string &directory) -> std::string {
        const int index = nav::volumeIndexOf(volumes, directory);
        return index < 0 ? "none" : volumes[static_cast<std::size_t>(index)].mountPoint;
    };
    EXPECT_EQ(mountOf("/"), "/");
    EXPECT_EQ(mountOf("/usr/share"), "/");
    EXPECT_EQ(mountOf("/home"), "/home");
    EXPECT_EQ(mountOf("/home/user"), "/home");
    EXPECT_EQ(mountOf("/home/user/nfs/src/qc"), "/home/user/nfs");
    EXPECT_EQ(mountOf("/homework"), "/");
    EXPECT_EQ(mountOf("/media/user/My Stick"), "/media/user/My Stick");

    const std::vector<nav::Volume> onlyHome(volumes.begin() + 1, volumes.begin() + 2);
    EXPECT_EQ(nav::volumeIndexOf(onlyHome, "/usr"), -1);
    EXPECT_EQ(nav::volumeIndexOf({}, "/"), -1);
}

} // namespace
