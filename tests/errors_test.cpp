#include "core/base/errors.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace vardo;

TEST(IoErrors, ErrnoMapsOntoTheTable)
{
    EXPECT_STREQ(ioErrorFromErrno(ENOENT).what(), "File not found");
    for (int err : {ENOTDIR, ENAMETOOLONG, ELOOP})
        EXPECT_STREQ(ioErrorFromErrno(err).what(), "Invalid filename");
    for (int err : {EMFILE, ENFILE})
        EXPECT_STREQ(ioErrorFromErrno(err).what(), "Too many open files");
    for (int err : {EACCES, EPERM, EROFS})
        EXPECT_STREQ(ioErrorFromErrno(err).what(), "File access denied");
    for (int err : {ENOSPC, EDQUOT})
        EXPECT_STREQ(ioErrorFromErrno(err).what(), "Disk full");
    EXPECT_EQ(ioErrorFromErrno(EACCES).code(), 5);
}

TEST(IoErrors, OtherErrnoValuesAreNumbered)
{
    // EIO is 5 and EISCONN is 106 on Linux: their numbers must not be read as table codes.
    EXPECT_EQ(std::string(ioErrorFromErrno(EIO).what()), "I/O error " + std::to_string(EIO));
    EXPECT_EQ(std::string(ioErrorFromErrno(EISCONN).what()), "I/O error " + std::to_string(EISCONN));
    EXPECT_STREQ(IoError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(IoError(106).what(), "Invalid numeric input");
    EXPECT_STREQ(IoError(21).what(), "I/O error 21");
}

TEST(ErrorBoxText, FullStopOnlyAfterCharactersAboveThePoint)
{
    EXPECT_EQ(errorBoxText("File not found"), "File not found.");
    EXPECT_EQ(errorBoxText("I/O error 21"), "I/O error 21.");
    EXPECT_EQ(errorBoxText("Label:"), "Label:.");
    for (const char *kept : {"Done.", "Stop!", "(x)", "trailing ", "a-", ""})
        EXPECT_EQ(errorBoxText(kept), kept);
}
