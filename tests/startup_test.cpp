#include "app/startup.h"
#include "app/windowplacement.h"
#include "core/base/errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vardo;

namespace {

TEST(StartPlaceTest, DirectoryOrFileFromTheArgument)
{
    std::string pattern = (fs::temp_directory_path() / "vardo-start-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string root = fs::canonical(pattern).string();
    fs::create_directory(root + "/mod dir");
    std::ofstream(root + "/mod dir/defs.qc") << "void() main = {};";
    fs::create_symlink(root + "/mod dir", root + "/link");
    const std::string saved = fs::current_path().string();
    ASSERT_EQ(::chdir(root.c_str()), 0);

    const struct {
        std::string argument, directory, file;
    } cases[] = {
        {root + "/mod dir", root + "/mod dir", ""},
        {"mod dir/", root + "/mod dir", ""},
        {"mod dir/defs.qc", root + "/mod dir", root + "/mod dir/defs.qc"},
        {root + "/link/defs.qc", root + "/mod dir", root + "/mod dir/defs.qc"},
        {"link/../mod dir/./defs.qc", root + "/mod dir", root + "/mod dir/defs.qc"},
        {"/", "/", ""},
    };
    for (const auto &c : cases) {
        const StartPlace place = startPlaceFor(c.argument);
        EXPECT_EQ(place.directory, c.directory) << c.argument;
        EXPECT_EQ(place.file, c.file) << c.argument;
    }
    for (const std::string bad : {"", "missing.qc", "mod dir/missing/defs.qc", "/dev/null"}) {
        try {
            startPlaceFor(bad);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const AppError &error) {
            EXPECT_EQ(std::string(error.what()).rfind("Cannot open " + bad + ": ", 0), 0u) << error.what();
        }
    }
    ASSERT_EQ(::chdir(saved.c_str()), 0);
    fs::remove_all(root);
}

// A folder whose name is not UTF-8 is entered by its bytes, not by a sibling spelled with U+FFFD.
TEST(StartPlaceTest, ArgumentBytesAreThePath)
{
    std::string pattern = (fs::temp_directory_path() / "vardo-start-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string root = fs::canonical(pattern).string();
    const std::string bad = root + "/bad\xffname";
    fs::create_directory(bad);
    fs::create_directory(root + "/bad\xef\xbf\xbdname");
    std::ofstream(bad + "/a.qc") << "void() main = {};";
    const std::string saved = fs::current_path().string();
    ASSERT_EQ(::chdir(root.c_str()), 0);

    std::string program = "vardo", argument = "bad\xffname/a.qc";
    char *argv[] = {program.data(), argument.data(), nullptr};
    EXPECT_EQ(enterStartPlace(2, argv, root, ""), bad + "/a.qc");
    EXPECT_EQ(fs::current_path().string(), bad);

    ASSERT_EQ(::chdir(saved.c_str()), 0);
    fs::remove_all(root);
}

// An argument wins (see above); else the current directory, unless the desktop started the
// editor in the home folder; then the last working directory while it exists; else home.
TEST(StartPlaceTest, DirectoryWithoutAnArgument)
{
    const auto exists = [](const std::string &path) { return path == "/mods/last"; };
    const struct {
        std::string current, home, last, chosen;
    } cases[] = {
        {"/mods/here", "/home/u", "/mods/last", "/mods/here"},
        {"/home/u", "/home/u", "/mods/last", "/mods/last"},
        {"/home/u", "/home/u", "/mods/gone", "/home/u"},
        {"/home/u", "/home/u", "", "/home/u"},
        {"", "/home/u", "/mods/last", "/mods/last"}, // started in a folder that was deleted
        {"", "/home/u", "", "/home/u"},
        {"", "", "", "/"},
        {"/home/u/mod", "/home/u", "/mods/last", "/home/u/mod"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(startDirectory(c.current, c.home, c.last, exists), c.chosen)
            << c.current << " | " << c.home << " | " << c.last;
}

TEST(WindowPlacementTest, DesignWhereItFitsElseShrunkAndMovedOntoTheScreen)
{
    const QRect design(78, 156, 855, 564);
    const QSize minimum(300, 200);
    const struct {
        QRect available, placed;
    } cases[] = {
        {{0, 0, 1280, 1024}, design},                      // fits: kept
        {{0, 0, 933, 720}, design},                        // fits to the pixel
        {{0, 0, 900, 1024}, {45, 156, 855, 564}},          // moved left onto the screen
        {{0, 0, 640, 512}, {0, 0, 640, 512}},              // a 1280x1024 screen at scale 2
        {{100, 50, 800, 600}, {100, 86, 800, 564}},        // shrunk, then moved
        {{1280, 0, 1024, 768}, {1280, 156, 855, 564}},     // a second screen to the right
        {{0, 0, 200, 100}, {0, 0, 300, 200}},              // never below the minimum
    };
    for (const auto &c : cases)
        EXPECT_EQ(placeOnScreen(design, minimum, c.available), c.placed)
            << c.available.x() << "," << c.available.y() << " " << c.available.width() << "x" << c.available.height();
}

} // namespace
