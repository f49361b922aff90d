#include "core/qc/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vardo::qc;

namespace {

using K = TokenKind;

struct Piece {
    K kind;
    std::string text;
    friend bool operator==(const Piece &, const Piece &) = default;
};

void PrintTo(const Piece &p, std::ostream *os)
{
    *os << int(p.kind) << ":" << p.text;
}

std::vector<Piece> piecesOf(std::string_view line, LineState state, LineState *end = nullptr)
{
    std::vector<Token> tokens;
    const LineState after = lexLine(line, state, tokens);
    if (end)
        *end = after;
    std::vector<Piece> pieces;
    for (const Token &t : tokens)
        pieces.push_back({t.kind, std::string(line.substr(t.begin, t.length))});
    return pieces;
}

struct LexCase {
    const char *line;
    LineState start;
    std::vector<Piece> expected;
    LineState end;
};

const LineState Code = LineState::Code;
const LineState InComment = LineState::InComment;
const LineState InEntity = LineState::InEntityComment;

const LexCase lexCases[] = {
    {"", Code, {}, Code},
    {"void() main = {};", Code,
     {{K::Type, "void"}, {K::Punctuation, "("}, {K::Punctuation, ")"}, {K::Name, "main"},
      {K::Punctuation, "="}, {K::Punctuation, "{"}, {K::Punctuation, "}"}, {K::Punctuation, ";"}},
     Code},
    {"\tlocal entity e; if (x) return; else while do for break continue switch case default const var",
     Code,
     {{K::Keyword, "local"}, {K::Type, "entity"}, {K::Name, "e"}, {K::Punctuation, ";"}, {K::Keyword, "if"},
      {K::Punctuation, "("}, {K::Name, "x"}, {K::Punctuation, ")"}, {K::Keyword, "return"},
      {K::Punctuation, ";"}, {K::Keyword, "else"}, {K::Keyword, "while"}, {K::Keyword, "do"},
      {K::Keyword, "for"}, {K::Keyword, "break"}, {K::Keyword, "continue"}, {K::Keyword, "switch"},
      {K::Keyword, "case"}, {K::Keyword, "default"}, {K::Keyword, "const"}, {K::Keyword, "var"}},
     Code},
    // Names that only begin with a keyword or differ in case stay names.
    {"voidness Float vectors _if", Code,
     {{K::Name, "voidness"}, {K::Name, "Float"}, {K::Name, "vectors"}, {K::Name, "_if"}}, Code},
    {".float health;", Code,
     {{K::Punctuation, "."}, {K::Type, "float"}, {K::Name, "health"}, {K::Punctuation, ";"}}, Code},
    {"x = 12 + 0.5 + .25 + 0x1F + 1e-3 + 3;", Code,
     {{K::Name, "x"}, {K::Punctuation, "="}, {K::Number, "12"}, {K::Punctuation, "+"}, {K::Number, "0.5"},
      {K::Punctuation, "+"}, {K::Number, ".25"}, {K::Punctuation, "+"}, {K::Number, "0x1F"},
      {K::Punctuation, "+"}, {K::Number, "1e-3"}, {K::Punctuation, "+"}, {K::Number, "3"},
      {K::Punctuation, ";"}},
     Code},
    {"self.origin_x", Code, {{K::Name, "self"}, {K::Punctuation, "."}, {K::Name, "origin_x"}}, Code},
    {R"(bprint("a \"quoted\" // not a comment\n");)", Code,
     {{K::Name, "bprint"}, {K::Punctuation, "("}, {K::String, R"("a \"quoted\" // not a comment\n")"},
      {K::Punctuation, ")"}, {K::Punctuation, ";"}},
     Code},
    {R"(s = "unclosed \)", Code, {{K::Name, "s"}, {K::Punctuation, "="}, {K::String, R"("unclosed \)"}}, Code},
    {"v = '0 0 -1' * 2;", Code,
     {{K::Name, "v"}, {K::Punctuation, "="}, {K::Vector, "'0 0 -1'"}, {K::Punctuation, "*"}, {K::Number, "2"},
      {K::Punctuation, ";"}},
     Code},
    {"void() fire = [$shot1, fire2] {};", Code,
     {{K::Type, "void"}, {K::Punctuation, "("}, {K::Punctuation, ")"}, {K::Name, "fire"}, {K::Punctuation, "="},
      {K::Punctuation, "["}, {K::FrameMacro, "$shot1"}, {K::Punctuation, ","}, {K::Name, "fire2"},
      {K::Punctuation, "]"}, {K::Punctuation, "{"}, {K::Punctuation, "}"}, {K::Punctuation, ";"}},
     Code},
    {"$frame stand1 stand2", Code, {{K::FrameMacro, "$frame"}, {K::Name, "stand1"}, {K::Name, "stand2"}}, Code},
    {"a $ b", Code, {{K::Name, "a"}, {K::Punctuation, "$"}, {K::Name, "b"}}, Code},
    {"void(string s) dprint = #25;", Code,
     {{K::Type, "void"}, {K::Punctuation, "("}, {K::Type, "string"}, {K::Name, "s"}, {K::Punctuation, ")"},
      {K::Name, "dprint"}, {K::Punctuation, "="}, {K::BuiltinNumber, "#25"}, {K::Punctuation, ";"}},
     Code},
    // A directive only at the start of a line; its arguments are code.
    {"  #define MAX 10 // limit", Code,
     {{K::Preprocessor, "#define"}, {K::Name, "MAX"}, {K::Number, "10"}, {K::Comment, "// limit"}}, Code},
    {"#include \"defs.qc\"", Code, {{K::Preprocessor, "#include"}, {K::String, "\"defs.qc\""}}, Code},
    {"/* c */ #define X", Code, {{K::Comment, "/* c */"}, {K::Preprocessor, "#define"}, {K::Name, "X"}}, Code},
    {"x #pragma", Code, {{K::Name, "x"}, {K::Punctuation, "#"}, {K::Name, "pragma"}}, Code},
    {"a // b /* c", Code, {{K::Name, "a"}, {K::Comment, "// b /* c"}}, Code},
    {"a /* b */ c", Code, {{K::Name, "a"}, {K::Comment, "/* b */"}, {K::Name, "c"}}, Code},
    {"a /* b", Code, {{K::Name, "a"}, {K::Comment, "/* b"}}, InComment},
    {"/*/ still open", Code, {{K::Comment, "/*/ still open"}}, InComment},
    {"/**/x", Code, {{K::Comment, "/**/"}, {K::Name, "x"}}, Code},
    {"inside \"no string", InComment, {{K::Comment, "inside \"no string"}}, InComment},
    {"", InComment, {}, InComment},
    {"end */ void", InComment, {{K::Comment, "end */"}, {K::Type, "void"}}, Code},
    {"/*QUAKED info_player_start (1 0 0) (-16 -16 -24) (16 16 24)", Code,
     {{K::EntityComment, "/*QUAKED info_player_start (1 0 0) (-16 -16 -24) (16 16 24)"}}, InEntity},
    {"The normal starting point */ float", InEntity,
     {{K::EntityComment, "The normal starting point */"}, {K::Type, "float"}}, Code},
    {"/*QUAKED x */ /* y", Code, {{K::EntityComment, "/*QUAKED x */"}, {K::Comment, "/* y"}}, InComment},
    // Unknown characters and extensions of later compilers never stop the lexer.
    {"a @ b \x01 \xc3\xa9t\xc3\xa9 ~", Code,
     {{K::Name, "a"}, {K::Punctuation, "@"}, {K::Name, "b"}, {K::Name, "\xc3\xa9t\xc3\xa9"}, {K::Punctuation, "~"}},
     Code},
};

} // namespace

TEST(QcLexer, TokensAndEndStateOfEachLine)
{
    for (const LexCase &c : lexCases) {
        LineState end{};
        EXPECT_EQ(piecesOf(c.line, c.start, &end), c.expected) << c.line;
        EXPECT_EQ(end, c.end) << c.line;
    }
}

TEST(QcLexer, WideLinesGiveTheSameTokens)
{
    for (const LexCase &c : lexCases) {
        const std::string narrow = c.line;
        if (std::any_of(narrow.begin(), narrow.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }))
            continue;
        const std::u16string wide(narrow.begin(), narrow.end());
        std::vector<Token> narrowTokens, wideTokens;
        EXPECT_EQ(lexLine(std::u16string_view(wide), c.start, wideTokens),
                  lexLine(std::string_view(narrow), c.start, narrowTokens));
        EXPECT_EQ(wideTokens, narrowTokens) << c.line;
    }
}

TEST(QcLexer, AppendsToWhatIsThere)
{
    std::vector<Token> tokens{{K::Name, 0, 1}};
    lexLine(std::string_view("a b"), Code, tokens);
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[2], (Token{K::Name, 2, 1}));
}

TEST(QcLexer, LinesInCommentsAgreeWithLexingLineByLine)
{
    using S = LineState;
    struct Case {
        const char16_t *text;
        std::vector<CommentedLines> expected;
    };
    const Case cases[] = {
        {u"", {}},
        {u"void() a;\nfloat b;", {}},
        {u"/* one\ntwo\nthree */ x\n/*", {{1, 2, S::InComment}}},
        {u"a // /* not\n\"/* nor\"\n/*QUAKED x\n*/\n/*\n", {{3, 1, S::InEntityComment}, {5, 1, S::InComment}}},
        {u"/*QUAKED a\n*/ /* b\nc */", {{1, 1, S::InEntityComment}, {2, 1, S::InComment}}},
        {u"\n\n/**/ /*\n", {{3, 1, S::InComment}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(linesInComments(c.text), c.expected) << std::u16string_view(c.text).size();
}
