#include "help/builtinentry.h"

#include <gtest/gtest.h>

using vardo::help::builtinEntry;

TEST(BuiltinEntry, FromItsHeadingToTheBlankLine)
{
    const std::string entry = builtinEntry("makevectors");
    EXPECT_EQ(entry.rfind("Function: makevectors\nvoid(vector ang) makevectors = #1;\n", 0), 0u) << entry;
    EXPECT_EQ(entry.find("\n\n"), std::string::npos);
    EXPECT_EQ(entry.find('\r'), std::string::npos);
    EXPECT_EQ(entry.find("Function:", 1), std::string::npos) << "runs into the next entry";
    EXPECT_NE(entry.find("v_forward"), std::string::npos);

    // A name that is only the start of another's, or none at all, has no entry.
    for (const char *name : {"", "makevector", "nosuchbuiltin", "Function"})
        EXPECT_EQ(builtinEntry(name), "") << name;
}
