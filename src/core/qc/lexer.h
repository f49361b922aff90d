#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vardo::qc {

// What a piece of a QuakeC line is. Keyword and Type are names from the fixed lists below;
// Preprocessor is the directive alone ("#define"), the rest of its line is lexed as code;
// FrameMacro is "$name"; BuiltinNumber is "#12"; Vector is a single-quoted constant.
enum class TokenKind : std::uint8_t {
    Name,
    Keyword,
    Type,
    Number,
    String,
    Vector,
    Comment,
    EntityComment,
    Preprocessor,
    FrameMacro,
    BuiltinNumber,
    Punctuation
};

// A token as a range of the line it came from. Punctuation is one character per token.
struct Token {
    TokenKind kind;
    std::uint32_t begin;
    std::uint32_t length;

    friend bool operator==(const Token &, const Token &) = default;
};

// Where a line begins: in code, or inside a /* */ comment or a /*QUAKED ... */ entity comment.
enum class LineState : std::uint8_t { Code, InComment, InEntityComment };

// Appends the tokens of one line (no line end in it) starting in `state`; returns the state at
// its end. Tolerant: never fails; whatever it does not know becomes Punctuation or is skipped
// as blank. Instantiated for char and char16_t.
template <class Char>
LineState lexLine(std::basic_string_view<Char> line, LineState state, std::vector<Token> &out);

// A run of lines that all begin in the same comment state, other than Code.
struct CommentedLines {
    std::size_t first;
    std::size_t count;
    LineState state;

    friend bool operator==(const CommentedLines &, const CommentedLines &) = default;
};

// The lines of a text ('\n' between them) that begin inside a comment, in order: what lexing
// each line in turn would find, without keeping the tokens.
std::vector<CommentedLines> linesInComments(std::u16string_view text);

// Letters beyond ASCII count as name characters: later compilers accept them, and a name
// must never be cut in the middle of a character.
bool isNameStart(char32_t c);
bool isNameChar(char32_t c);

// The kind a name gets: Type, Keyword or Name.
template <class Char>
TokenKind kindOfName(std::basic_string_view<Char> name);

} // namespace vardo::qc
