#include "core/files/fileio.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace vardo::fileio;

namespace {

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vardo-fileio-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override
    {
        const std::string command = "chmod -R u+rwx '" + dir + "'; rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }
    void write(const std::string &name, const std::string &bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string &name) const
    {
        std::stringstream bytes;
        bytes << std::ifstream(path(name), std::ios::binary).rdbuf();
        return bytes.str();
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        DIR *d = ::opendir(dir.c_str());
        while (const dirent *e = ::readdir(d))
            if (e->d_name[0] != '.' || std::string(e->d_name).size() > 2)
                names.emplace_back(e->d_name);
        ::closedir(d);
        std::erase_if(names, [](const std::string &n) { return n == "." || n == ".."; });
        return names;
    }
    mode_t mode(const std::string &name) const
    {
        struct stat st {};
        ::stat(path(name).c_str(), &st);
        return st.st_mode & 07777;
    }
    SaveError::Kind failureOf(const std::string &target, const std::string &bytes) const
    {
        try {
            saveFileSafely(target, bytes);
        } catch (const SaveError &error) {
            return error.kind();
        }
        ADD_FAILURE() << "save of " << target << " did not fail";
        return SaveError::Kind::WriteFailed;
    }

    // The failure of a save of 100,000 bytes under a file size limit of 4,096, which stops a
    // write part way as a full disk would.
    SaveError::Kind failureUnderSizeLimit(const std::string &target) const
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit tiny = saved;
        tiny.rlim_cur = 4096;
        if (::setrlimit(RLIMIT_FSIZE, &tiny) != 0) {
            ADD_FAILURE() << "cannot set a file size limit";
            return SaveError::Kind::WriteFailed;
        }
        const SaveError::Kind kind = failureOf(target, std::string(100000, 'x'));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        return kind;
    }

    std::string dir;
};

} // namespace

TEST_F(SafeSave, ReplacesContentsAndKeepsPermissionBits)
{
    write("a.qc", "old old old");
    ::chmod(path("a.qc").c_str(), 0640);
    saveFileSafely(path("a.qc"), "new");
    EXPECT_EQ(read("a.qc"), "new");
    EXPECT_EQ(mode("a.qc"), 0640u);
    saveFileSafely(path("fresh.qc"), "");
    EXPECT_EQ(read("fresh.qc"), "");
    EXPECT_EQ(entries().size(), 2u) << "no temporary file stays behind";
}

TEST_F(SafeSave, FollowsSymbolicLinks)
{
    write("real.qc", "old");
    ASSERT_EQ(::symlink("real.qc", path("link.qc").c_str()), 0);
    saveFileSafely(path("link.qc"), "through the link");
    EXPECT_EQ(read("real.qc"), "through the link");
    struct stat st {};
    ASSERT_EQ(::lstat(path("link.qc").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link itself is kept";
}

TEST_F(SafeSave, KeepsHardLinksTogether)
{
    write("one.qc", "old");
    ASSERT_EQ(::link(path("one.qc").c_str(), path("two.qc").c_str()), 0);
    saveFileSafely(path("one.qc"), "shared");
    EXPECT_EQ(read("two.qc"), "shared");
}

TEST_F(SafeSave, ReadOnlyTargetsCannotBeCreated)
{
    write("locked.qc", "keep me");
    ::chmod(path("locked.qc").c_str(), 0444);
    EXPECT_EQ(failureOf(path("locked.qc"), "x"), SaveError::Kind::CannotCreate);
    EXPECT_EQ(read("locked.qc"), "keep me");

    EXPECT_EQ(failureOf(path("missing/a.qc"), "x"), SaveError::Kind::CannotCreate);
    ::mkdir(path("sub").c_str(), 0755);
    EXPECT_EQ(failureOf(path("sub"), "x"), SaveError::Kind::NotRegularFile);

    ::mkdir(path("readonly").c_str(), 0555);
    EXPECT_EQ(failureOf(path("readonly/new.qc"), "x"), SaveError::Kind::CannotCreate);
}

TEST_F(SafeSave, FailedWriteLeavesTheOriginalWholeAndNoTemporaryFile)
{
    write("big.qc", "original");
    // The write of the temporary file fails part way.
    EXPECT_EQ(failureUnderSizeLimit(path("big.qc")), SaveError::Kind::WriteFailed);
    EXPECT_EQ(read("big.qc"), "original");
    EXPECT_EQ(entries(), std::vector<std::string>{"big.qc"});
}

// Nothing but a regular file is opened for writing: a FIFO without a reader would block the
// open for good, one with a reader would take the text, a device would swallow it.
TEST_F(SafeSave, SpecialFilesFailAtOnceAndAreNeverWritten)
{
    ASSERT_EQ(::mkfifo(path("pipe.qc").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("pipe.qc", path("to-pipe.qc").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", path("null.qc").c_str()), 0);
    ::mkdir(path("dir.qc").c_str(), 0755);
    for (const char *name : {"pipe.qc", "to-pipe.qc", "null.qc", "dir.qc"})
        EXPECT_EQ(failureOf(path(name), "text"), SaveError::Kind::NotRegularFile) << name;

    const int reader = ::open(path("pipe.qc").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(failureOf(path("pipe.qc"), "text"), SaveError::Kind::NotRegularFile);
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "nothing reached the reader";
    ::close(reader);
}

// Hard links force a write in place; its new size is reserved before the old bytes are cut.
TEST_F(SafeSave, InPlaceWriteReservesSpaceBeforeTouchingTheOldBytes)
{
    write("one.qc", "old contents");
    ASSERT_EQ(::link(path("one.qc").c_str(), path("two.qc").c_str()), 0);
    std::vector<std::size_t> reserved;
    setSpaceReserver([&](int, std::size_t size) {
        reserved.push_back(size);
        return ENOSPC;
    });
    EXPECT_EQ(failureOf(path("one.qc"), std::string(5000, 'n')), SaveError::Kind::WriteFailed);
    setSpaceReserver({});
    EXPECT_EQ(reserved, std::vector<std::size_t>{5000});
    EXPECT_EQ(read("two.qc"), "old contents");

    // The real reservation, refused by a file size limit as a full disk would refuse it.
    EXPECT_EQ(failureUnderSizeLimit(path("one.qc")), SaveError::Kind::WriteFailed);
    EXPECT_EQ(read("two.qc"), "old contents");

    saveFileSafely(path("one.qc"), "short");
    EXPECT_EQ(read("two.qc"), "short");
}

// The batch files: whatever entry carries the name is replaced, never written through.
TEST_F(SafeSave, ReplaceEntryNeverWritesThroughWhatCarriesTheName)
{
    write("precious.txt", "precious");
    ASSERT_EQ(::symlink("precious.txt", path("link.bat").c_str()), 0);
    ASSERT_EQ(::link(path("precious.txt").c_str(), path("hard.bat").c_str()), 0);
    ASSERT_EQ(::mkfifo(path("fifo.bat").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = path("sock.bat");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    for (const char *name : {"link.bat", "hard.bat", "fifo.bat", "sock.bat", "new.bat"}) {
        replaceEntry(path(name), "start x\r\n");
        struct stat st {};
        ASSERT_EQ(::lstat(path(name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_nlink == 1) << name;
        EXPECT_EQ(read(name), "start x\r\n") << name;
    }
    ::close(sock);
    EXPECT_EQ(read("precious.txt"), "precious");

    ::mkdir(path("dir.bat").c_str(), 0755);
    try {
        replaceEntry(path("dir.bat"), "x");
        ADD_FAILURE() << "a directory was replaced";
    } catch (const SaveError &error) {
        EXPECT_EQ(error.error(), EISDIR);
    }
}

TEST_F(SafeSave, ReadsWholeFilesAndRefusesWhatIsNoFile)
{
    write("a.qc", std::string("a\0b", 3));
    EXPECT_EQ(readWholeFile(path("a.qc"), 100), std::string("a\0b", 3));
    EXPECT_THROW(readWholeFile(path("a.qc"), 2), TooLargeError);
    EXPECT_THROW(readWholeFile(path("none.qc"), 100), OpenError);
    EXPECT_THROW(readWholeFile(dir, 100), NotRegularFileError);
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0644), 0);
    EXPECT_THROW(readWholeFile(path("pipe"), 100), NotRegularFileError) << "a FIFO must not block the read";
}

TEST_F(SafeSave, OpenErrorsSayWhy)
{
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0644), 0);
    const std::pair<std::string, std::string> cases[] = {
        {path("none.qc"), std::strerror(ENOENT)},
        {dir, std::strerror(EISDIR)},
        {path("pipe"), "not a regular file"},
    };
    for (const auto &[target, reason] : cases) {
        try {
            readWholeFile(target, 100);
            ADD_FAILURE() << target << " was read";
        } catch (const OpenError &error) {
            EXPECT_EQ(error.reason(), reason) << target;
        }
    }
}

// Each way another program can change a file shows in its identity, down to the nanosecond.
TEST_F(SafeSave, IdentityChangesWithEveryOutsideWrite)
{
    const auto reset = [&] {
        write("a.qc", "one");
        const struct timespec times[2] = {{100, 0}, {100, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path("a.qc").c_str(), times, 0), 0);
    };
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"nanoseconds only",
         [&] {
             const struct timespec times[2] = {{100, 0}, {100, 1}};
             ::utimensat(AT_FDCWD, path("a.qc").c_str(), times, 0);
         }},
        {"size only",
         [&] {
             ::truncate(path("a.qc").c_str(), 2);
             const struct timespec times[2] = {{100, 0}, {100, 0}};
             ::utimensat(AT_FDCWD, path("a.qc").c_str(), times, 0);
         }},
        {"another file renamed over it",
         [&] {
             write("b.qc", "one");
             const struct timespec times[2] = {{100, 0}, {100, 0}};
             ::utimensat(AT_FDCWD, path("b.qc").c_str(), times, 0);
             ::rename(path("b.qc").c_str(), path("a.qc").c_str());
         }},
    };
    for (const auto &[what, change] : changes) {
        reset();
        const std::optional<FileIdentity> before = identityOf(path("a.qc"));
        ASSERT_TRUE(before);
        EXPECT_EQ(diskChange(before, identityOf(path("a.qc"))), DiskChange::None) << what;
        change();
        EXPECT_EQ(diskChange(before, identityOf(path("a.qc"))), DiskChange::Modified) << what;
    }
    const auto remembered = identityOf(path("a.qc"));
    ASSERT_EQ(::unlink(path("a.qc").c_str()), 0);
    EXPECT_EQ(diskChange(remembered, identityOf(path("a.qc"))), DiskChange::Removed);
    EXPECT_EQ(diskChange(std::nullopt, std::nullopt), DiskChange::None);
    ::mkdir(path("a.qc").c_str(), 0755);
    EXPECT_EQ(diskChange(remembered, identityOf(path("a.qc"))), DiskChange::Removed) << "a directory is no file";
    write("new.qc", "x");
    EXPECT_EQ(diskChange(std::nullopt, identityOf(path("new.qc"))), DiskChange::Modified);
}

// A save that replaces only the version it decided on never loses another program's save that
// lands while it writes: renamed over the file, written in place, created or removed.
TEST_F(SafeSave, AnotherProgramsSaveDuringTheWriteIsKept)
{
    const std::pair<const char *, std::function<void()>> races[] = {
        {"renamed over it",
         [&] {
             write("other.qc", "theirs");
             ::rename(path("other.qc").c_str(), path("a.qc").c_str());
         }},
        {"written in place", [&] { write("a.qc", "theirs"); }},
        {"removed", [&] { ::unlink(path("a.qc").c_str()); }},
    };
    for (const bool hardLinked : {false, true}) {
        for (const auto &[what, race] : races) {
            write("a.qc", "mine before");
            if (hardLinked) {
                ASSERT_EQ(::link(path("a.qc").c_str(), path("link.qc").c_str()), 0);
            }
            const ReplaceOnly only{identityOf(path("a.qc"))};
            setBeforeReplaceHook([&](const std::string &) { race(); });
            EXPECT_THROW(saveFileSafely(path("a.qc"), "mine after", only), ChangedMeanwhileError) << what;
            setBeforeReplaceHook({});
            if (std::string(what) != "removed") {
                EXPECT_EQ(read("a.qc"), "theirs") << what;
            }
            ::unlink(path("link.qc").c_str());
            ::unlink(path("a.qc").c_str());
            EXPECT_TRUE(entries().empty()) << what << ": no temporary left behind";
        }
    }

    // Nothing there when the save decided: a file created meanwhile stands.
    setBeforeReplaceHook([&](const std::string &) { write("new.qc", "theirs"); });
    EXPECT_THROW(saveFileSafely(path("new.qc"), "mine", ReplaceOnly{}), ChangedMeanwhileError);
    setBeforeReplaceHook({});
    EXPECT_EQ(read("new.qc"), "theirs");

    // The version it decided on is replaced, and the old one leaves nothing behind.
    write("a.qc", "old");
    saveFileSafely(path("a.qc"), "new", ReplaceOnly{identityOf(path("a.qc"))});
    EXPECT_EQ(read("a.qc"), "new");
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.qc", "new.qc"}));
    ::unlink(path("a.qc").c_str());
    saveFileSafely(path("a.qc"), "again", ReplaceOnly{});
    EXPECT_EQ(read("a.qc"), "again");
}
