#include "core/base/errors.h"
#include "tools/batchprocessor.h"
#include "tools/programs.h"
#include "tools/shellexec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vardo::tools;

namespace {

struct Launch {
    std::string program;
    std::vector<std::string> args;
    std::string cwd;
    bool operator==(const Launch &) const = default;
};

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path &path, const std::string &bytes, fs::perms perms = fs::perms(0644))
{
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, perms);
}

// Works in a fresh directory with PATH pointing at its "bin"; the process's current directory
// and PATH are put back afterwards.
class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vardo-tools-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = fs::canonical(pattern);
        bin = dir / "bin";
        fs::create_directory(bin);
        ::setenv("PATH", bin.c_str(), 1);
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(oldCwd);
        ::setenv("PATH", oldPath.c_str(), 1);
        setExecuteSeam({});
        setStartSeam({});
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    void addTool(const fs::path &path) { writeFile(path, "#!/bin/sh\n", fs::perms(0755)); }

    const fs::path oldCwd = fs::current_path();
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    fs::path dir, bin;
};

class SeamedToolsTest : public ToolsTest {
protected:
    void SetUp() override
    {
        ToolsTest::SetUp();
        setStartSeam([this](const Command &command, const std::string &cwd) {
            launches.push_back({command.program, command.args, cwd});
        });
    }
    Launch tool(const char *name, std::vector<std::string> args) { return {(bin / name).string(), args, dir}; }

    std::vector<Launch> launches;
};

TEST_F(SeamedToolsTest, NotepadHandsTheWholeRestToTheFirstTextEditorAsOneArgument)
{
    addTool(bin / "kate");
    addTool(bin / "gedit");
    const std::string hostile = "my dir/a b;rm -rf x & y | z $HOME `id` \"q\" 'r'.qc";
    runBatchText("notepad " + hostile + "\nNOTEPAD\nnotepad \n");
    EXPECT_EQ(launches, (std::vector<Launch>{tool("gedit", {hostile}), tool("gedit", {}), tool("gedit", {})}));
}

TEST_F(SeamedToolsTest, NotepadWithoutTextEditorFallsBackToTheDefaultAction)
{
    addTool(bin / "xdg-open");
    runBatchText("notepad a b.qc\nnotepad\n");
    EXPECT_EQ(launches, std::vector<Launch>{tool("xdg-open", {"a b.qc"})});
}

TEST_F(SeamedToolsTest, StartOpensByDefaultActionAndUnknownCommandsAreIgnored)
{
    addTool(bin / "xdg-open");
    addTool(bin / "gedit");
    runBatchText("del *.*\r\nStart progs.src\r\n\r\nstart\r\necho notepad x\r\nstart -rf\r\nstart last one");
    EXPECT_EQ(launches, (std::vector<Launch>{tool("xdg-open", {"progs.src"}), tool("xdg-open", {"./-rf"}),
                                             tool("xdg-open", {"last one"})}));
}

TEST_F(SeamedToolsTest, BatchFileWrittenAndExecutedReachesTheEditor)
{
    addTool(bin / "mousepad");
    writeBatchFile("ERR.BAT", "notepad error log.txt");
    shellExecute("ERR.BAT", ShowMode::Hidden);
    shellExecute("missing.bat", ShowMode::Hidden);
    EXPECT_EQ(launches, std::vector<Launch>{tool("mousepad", {"error log.txt"})});
}

TEST_F(ToolsTest, WriteBatchFileWritesTheLineWithCrLfReplacingAnOldFile)
{
    writeFile(dir / "run.bat", std::string(100, 'x'));
    const std::string line = "notepad caf\xe9 \xff.qc";
    writeBatchFile("run.bat", line);
    EXPECT_EQ(readFile(dir / "run.bat"), line + "\r\n");
}

TEST_F(ToolsTest, WriteBatchFileRefusesReadOnlyDirectoryAndFile)
{
    writeFile(dir / "old.bat", "old", fs::perms(0444));
    EXPECT_THROW(writeBatchFile("old.bat", "start x"), vardo::IoError);
    EXPECT_EQ(readFile(dir / "old.bat"), "old");

    fs::permissions(dir, fs::perms(0555));
    try {
        writeBatchFile("new.bat", "start x");
        ADD_FAILURE() << "no error";
    } catch (const vardo::IoError &error) {
        EXPECT_STREQ(error.what(), "File access denied");
    }
    EXPECT_FALSE(fs::exists(dir / "new.bat"));
}

// A path reaches the command processor as one operand of one command, or not at all.
TEST(BatchLine, PathIsOneOperandOfOneCommandAndLineBreaksAreRefused)
{
    for (const std::string path : {"", "/m/a b.qc", "/m/x;rm -rf ~ & y|z $(id).qc", "/m/ lead", "/m/trail "}) {
        EXPECT_EQ(parseBatchText(batchLine("notepad", path) + "\r\n"), (std::vector<BatchCommand>{{"notepad", path}}))
            << path;
    }
    for (const std::string path : {"/m/x\nstart inject.desktop\nz.qc", "/m/a\rb.qc", "\n", "/m/end\r"}) {
        try {
            batchLine("start", path);
            ADD_FAILURE() << "accepted a line break";
        } catch (const vardo::AppError &error) {
            EXPECT_STREQ(error.what(), "The file name contains a line break");
        }
    }
}

// A batch file of that name that is a link is replaced, whatever it points at.
TEST_F(ToolsTest, WriteBatchFileReplacesALinkInsteadOfWritingThroughIt)
{
    fs::create_directory(dir / "sub");
    writeFile(dir / "precious.txt", "precious");
    writeFile(dir / "locked.txt", "locked", fs::perms(0444));
    fs::create_symlink("../precious.txt", dir / "sub" / "gonotepad.bat");
    fs::create_symlink("../locked.txt", dir / "sub" / "goshell.bat");
    fs::current_path(dir / "sub");
    writeBatchFile("gonotepad.bat", "notepad a.qc");
    writeBatchFile("goshell.bat", "start a.qc");
    EXPECT_EQ(readFile(dir / "precious.txt"), "precious");
    EXPECT_EQ(readFile(dir / "locked.txt"), "locked");
    EXPECT_FALSE(fs::is_symlink(dir / "sub" / "gonotepad.bat"));
    EXPECT_EQ(readFile(dir / "sub" / "gonotepad.bat"), "notepad a.qc\r\n");
    EXPECT_EQ(readFile(dir / "sub" / "goshell.bat"), "start a.qc\r\n");
}

TEST_F(SeamedToolsTest, ProgramIsLookedUpInTheCurrentDirectoryFirstThenAlongPath)
{
    addTool(bin / "frikqcc2.exe");
    writeFile(dir / "frikqcc2.exe", "not a program");
    shellExecute("frikqcc2.exe", ShowMode::Hidden);
    addTool(dir / "frikqcc2.exe");
    shellExecute("frikqcc2.exe", ShowMode::Normal);
    EXPECT_EQ(launches, (std::vector<Launch>{tool("frikqcc2.exe", {}), {(dir / "frikqcc2.exe").string(), {}, dir}}));
}

TEST_F(SeamedToolsTest, WindowsProgramRunsThroughWineOnlyWhenWineIsInstalled)
{
    addTool(bin / "xdg-open");
    writeFile(dir / "frikqcc2.exe", "MZ\x90");
    shellExecute("frikqcc2.exe", ShowMode::Hidden);
    EXPECT_TRUE(launches.empty());
    addTool(bin / "wine");
    shellExecute("frikqcc2.exe", ShowMode::Hidden);
    EXPECT_EQ(launches, std::vector<Launch>{tool("wine", {(dir / "frikqcc2.exe").string()})});
}

TEST_F(SeamedToolsTest, DocumentsAndFoldersOpenThroughTheDesktopMissingFilesDoNothing)
{
    addTool(bin / "xdg-open");
    writeFile(dir / "defs.qc", "");
    for (const char *file : {"defs.qc", "bin", "", "frikqcc2.exe", "gone.qc"})
        shellExecute(file, ShowMode::Hidden);
    EXPECT_EQ(launches, (std::vector<Launch>{tool("xdg-open", {"defs.qc"}), tool("xdg-open", {"bin"})}));
}

TEST_F(SeamedToolsTest, ExecuteSeamReplacesTheServiceUntilCleared)
{
    addTool(dir / "frikqcc2.exe");
    std::vector<Execution> calls;
    setExecuteSeam([&](const Execution &execution) { calls.push_back(execution); });
    shellExecute("frikqcc2.exe", ShowMode::Normal);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, "frikqcc2.exe");
    EXPECT_EQ(calls[0].workingDirectory, dir.string());
    EXPECT_EQ(calls[0].mode, ShowMode::Normal);
    EXPECT_TRUE(launches.empty());
    setExecuteSeam({});
    shellExecute("frikqcc2.exe", ShowMode::Hidden);
    EXPECT_EQ(launches.size(), 1u);
}

// The program writes what it sees, then lingers until the test lets it go: an editor that
// waited for it would hang here.
TEST_F(ToolsTest, ProgramRunsDetachedInTheCurrentDirectoryWithStdinFromDevNull)
{
    ::setenv("PATH", oldPath.c_str(), 1);
    writeFile(dir / "frikqcc2.exe",
              "#!/bin/sh\nprintf '%s\\n%s\\n' \"$(pwd -P)\" \"$(readlink /proc/$$/fd/0)\" > result.txt\n"
              "for i in $(seq 200); do [ -e hold ] || break; sleep 0.05; done\n",
              fs::perms(0755));
    writeFile(dir / "hold", "");
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int oldStdin = ::dup(STDIN_FILENO);
    ::dup2(pipeFds[0], STDIN_FILENO);
    const auto started = std::chrono::steady_clock::now();
    shellExecute("frikqcc2.exe", ShowMode::Hidden);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ::dup2(oldStdin, STDIN_FILENO);
    for (const int fd : {oldStdin, pipeFds[0], pipeFds[1]})
        ::close(fd);
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "the editor keeps a child process";

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string result;
    while (std::ranges::count(result = readFile(dir / "result.txt"), '\n') < 2 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fs::remove(dir / "hold");
    EXPECT_EQ(result, dir.string() + "\n/dev/null\n");
}

} // namespace
