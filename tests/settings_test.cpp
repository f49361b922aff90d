#include "settings/settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace vardo;

namespace {

std::string contentsOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(SettingsTest, PathsKeepTheirBytesAcrossStarts)
{
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("vardo.ini"));
    const std::vector<std::string> one{"/mods/ogre"};
    const std::vector<std::string> several{"/mods/caf\xe9", "/mods/a, b", "/mods/\xc3\xa9t\xc3\xa9"};
    {
        Settings settings(file);
        settings.setPath(QStringLiteral("last"), "/mods/bad\xffname");
        settings.setPath(QStringLiteral("text"), "/mods/here");
        settings.setPathList(QStringLiteral("one"), one);
        settings.setPathList(QStringLiteral("several"), several);
        settings.setBytes(QStringLiteral("bytes"), QByteArray("\0\x01\xff", 3));
        settings.save();
        EXPECT_TRUE(settings.untoldProblem().isEmpty());
    }
    Settings again(file);
    EXPECT_EQ(again.path(QStringLiteral("last")), "/mods/bad\xffname");
    EXPECT_EQ(again.pathList(QStringLiteral("one")), one);
    EXPECT_EQ(again.pathList(QStringLiteral("several")), several);
    EXPECT_EQ(again.bytes(QStringLiteral("bytes")), QByteArray("\0\x01\xff", 3));
    // A value of another kind reads as none.
    EXPECT_TRUE(again.bytes(QStringLiteral("text")).isEmpty());
    EXPECT_TRUE(again.path(QStringLiteral("missing")).empty());
}

// A file that cannot be used is neither read nor written, and the start goes on: what it sets
// lives in memory only, and the console hears why, once.
TEST(SettingsTest, AFileThatCannotBeUsedIsLeftAsItIs)
{
    QTemporaryDir folder;
    const std::string base = folder.path().toStdString();
    const char garbage[] = "\x01\xff\0[[[\nno settings here\n";
    std::ofstream(base + "/garbage.ini", std::ios::binary) << std::string(garbage, sizeof garbage - 1);
    std::ofstream(base + "/words.ini") << "[General]\nsome words\n";
    std::filesystem::create_directory(base + "/folder.ini");
    std::ofstream(base + "/afile") << "x";
    const struct {
        const char *name;
        const char *problem;
    } cases[] = {
        {"garbage.ini", "is not a settings file: the editor starts without it"},
        {"words.ini", "is not a settings file: the editor starts without it"},
        {"folder.ini", "cannot be read or written: the editor starts without it"},
        {"afile/vardo.ini", "cannot be read or written: what the editor remembers is not saved"},
    };
    for (const auto &c : cases) {
        const std::string path = base + "/" + c.name;
        const std::string before = contentsOf(path);
        Settings settings(QString::fromStdString(path));
        settings.setPath(QStringLiteral("last"), "/mods/here");
        settings.save();
        EXPECT_EQ(settings.path(QStringLiteral("last")), "/mods/here") << c.name;
        EXPECT_TRUE(settings.untoldProblem().contains(QLatin1String(c.problem))) << c.name;
        EXPECT_TRUE(settings.untoldProblem().isEmpty()) << c.name;
        settings.save();
        EXPECT_EQ(contentsOf(path), before) << c.name;
    }
    EXPECT_TRUE(std::filesystem::is_directory(base + "/folder.ini"));
}

TEST(SettingsTest, RecentPlacesNewestFirstWithoutRepeats)
{
    using List = std::vector<std::string>;
    const struct {
        List before;
        std::string place;
        List after;
    } cases[] = {
        {{}, "/a", {"/a"}},
        {{"/a", "/b"}, "/c", {"/c", "/a", "/b"}},
        {{"/a", "/b", "/c"}, "/b", {"/b", "/a", "/c"}},
        {{"/a", "/b", "/c"}, "/a", {"/a", "/b", "/c"}},
        {{"/a", "/b", "/c"}, "/d", {"/d", "/a", "/b"}}, // at most three here
    };
    for (const auto &c : cases)
        EXPECT_EQ(withFirst(c.before, c.place, 3), c.after) << c.place;
}

} // namespace
