#include "core/qc/functionindex.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using vardo::edit::indexEntryName;
using vardo::edit::indexEntryOf;
using vardo::edit::scanFunctionIndex;

namespace {

using Entries = std::vector<std::u16string>;

std::u16string repeated(char16_t c, std::size_t n)
{
    return std::u16string(n, c);
}

} // namespace

TEST(FunctionIndexEntry, KeepsTheLineUpToItsFirstEquals)
{
    EXPECT_EQ(indexEntryOf(u"void() Teleport_to_bomb ="), u"void() Teleport_to_bomb =");
    EXPECT_EQ(indexEntryOf(u"float() Pet_FindTarget = {"), u"float() Pet_FindTarget =");
    // Leading blanks and inner runs stay, the comment after the "=" goes.
    EXPECT_EQ(indexEntryOf(u"    void()      MyFunction =            // the initialization"),
              u"    void()      MyFunction =");
    EXPECT_EQ(indexEntryOf(u"\tvoid(entity e) Tabbed = {};"), u"\tvoid(entity e) Tabbed =");
    // Only the first "=" counts.
    EXPECT_EQ(indexEntryOf(u"void() Both = { a = b; };"), u"void() Both =");
    // Carriage returns go wherever they stand.
    EXPECT_EQ(indexEntryOf(u"void() Sp\rlit =\r"), u"void() Split =");
}

TEST(FunctionIndexEntry, NameIsTheOneBeforeTheEquals)
{
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"void() boss_sh =", u"boss_sh"},
        {u"\tfloat(entity e, float f) Pet_Find2 \t=", u"Pet_Find2"},
        {u"void()=", u""},
        {u"", u""},
    };
    for (const auto &[entry, name] : cases)
        EXPECT_EQ(indexEntryName(entry), name) << ::testing::PrintToString(std::u16string(entry));
}

TEST(FunctionIndexEntry, LongTailAfterEqualsIsDroppedWhole)
{
    // The entry must stay a literal piece of the text, or the jump cannot find it again.
    const std::u16string head = u"void() Long =";
    EXPECT_EQ(indexEntryOf(head + repeated(u'x', 201)), head);
    EXPECT_EQ(indexEntryOf(head + u" // " + repeated(u'y', 3000)), head);
}

TEST(FunctionIndexEntry, PatternsAreExactCaseAndSpacingSensitive)
{
    for (const char16_t *found : {u"float(float f) a =", u"float (float f) a =", u"float\t(float f) a =",
                                  u"float  (float f) a =", u"entity() a =", u"entity (float f) a =",
                                  u"entity  (float f) a =", u"float avoidance = 3;"})
        EXPECT_FALSE(indexEntryOf(found).empty()) << ::testing::PrintToString(found);

    for (const char16_t *missed :
         {u"float   (float f) a =", u"entity   () a =", u"entity\t() a =", u"float\t\t() a =", u"Void() a =",
          u"FLOAT() a =", u"ENTITY() a =", u"vector() a =", u"void() Prototype;", u"float(entity e) Proto;",
          u".float health;", u"// void here, but no equals", u""})
        EXPECT_EQ(indexEntryOf(missed), u"") << ::testing::PrintToString(missed);
}

TEST(FunctionIndexScan, ListsEntriesInLineOrderWithDuplicates)
{
    const std::u16string lines[] = {
        u"// Monsters",
        u"void() Teleport_to_bomb =",
        u"{",
        u"};",
        u"void() Prototype;",
        u"float() Pet_FindTarget = { return 0; };",
        u"    void()      MyFunction =            // the initialization",
        u"void() Teleport_to_bomb =",
        u"entity\t() NotFound =",
    };
    const Entries expected = {u"void() Teleport_to_bomb =", u"float() Pet_FindTarget =",
                              u"    void()      MyFunction =", u"void() Teleport_to_bomb ="};
    std::u16string crlf, lf, paragraphs;
    for (const std::u16string &line : lines) {
        crlf += line + u"\r\n";
        lf += line + u"\n";
        paragraphs += line + u"\u2029";
    }
    EXPECT_EQ(scanFunctionIndex(crlf), expected);
    EXPECT_EQ(scanFunctionIndex(lf), expected);
    EXPECT_EQ(scanFunctionIndex(paragraphs), expected);
    // A last line without a line end is scanned too.
    EXPECT_EQ(scanFunctionIndex(u"x\r\nvoid() Last ="), Entries{u"void() Last ="});
    EXPECT_TRUE(scanFunctionIndex(u"").empty());
    EXPECT_TRUE(scanFunctionIndex(u"\r\n\r\n").empty());
}

TEST(FunctionIndexScan, ReadsAtMost4096CharactersOfALine)
{
    // The "=" as the 4096th character is still read; one further on is not.
    const std::u16string fits = u"void() " + repeated(u'a', 4096 - 8) + u"=";
    ASSERT_EQ(fits.size(), 4096u);
    const std::u16string cut = u"void() " + repeated(u'a', 4096 - 7) + u"=";
    // A pattern beyond the cut does not count either.
    const std::u16string lateVoid = u"x = " + repeated(u'b', 5000) + u" void";
    EXPECT_EQ(scanFunctionIndex(fits + u"\r\n" + cut + u"\r\n" + lateVoid + u"\r\nvoid() After =\r\n"),
              (Entries{fits, u"void() After ="}));
}
