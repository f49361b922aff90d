#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The tokens of QuakeC source as the checker reads them: whole files, each token with its place.
namespace vardo::check {

enum class Tok : std::uint8_t {
    Name,
    Number,
    String,
    Vector,    // a single-quoted constant: '0 0 1' or 'a'
    Frame,     // $name
    Directive, // "#name" at the start of a line, or "$name" that begins a line of frame macros
    Builtin,   // #12, or # alone before a ':'
    Punct,
    End
};

struct Token {
    Tok kind = Tok::End;
    bool lineStart = false; // first token of its line
    std::uint16_t file = 0; // index of the file it was read from
    std::int32_t line = 0;  // from 1
    std::int32_t column = 0; // from 1, in bytes
    std::string_view text;
    // The line the token ends on: differs from `line` for strings that run on.
    std::int32_t endLine = 0;

    bool is(std::string_view punct) const { return kind == Tok::Punct && text == punct; }
    bool isName(std::string_view name) const { return kind == Tok::Name && text == name; }
};

// A problem the tokenizer met, with its place.
struct LexProblem {
    std::int32_t line;
    std::int32_t column;
    std::string message;
};

// How tightly a binary operator binds, in the C order shared by expressions and #if lines (the
// higher, the tighter); -1 for a token that is no binary operator.
int binaryPrecedence(const Token &t);

// Splits a whole text; never fails. Comments are dropped; an unclosed comment or string is
// reported and ends at the end of the text. Tokens' text views point into `text`.
std::vector<Token> tokenize(std::string_view text, std::uint16_t file, std::vector<LexProblem> &problems);

} // namespace vardo::check
