#include "core/qc/lexer.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>

namespace vardo::qc {

namespace {

bool isBlank(char32_t c)
{
    return c <= U' ';
}

bool isDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

template <class Char>
class LineLexer {
public:
    LineLexer(std::basic_string_view<Char> line, std::vector<Token> &out) : line_(line), out_(out) {}

    LineState run(LineState state)
    {
        if (state != LineState::Code) {
            const TokenKind kind = state == LineState::InComment ? TokenKind::Comment : TokenKind::EntityComment;
            if (!closeComment(kind, 0, 0))
                return state;
        }
        while (true) {
            skipBlanks();
            if (pos_ >= line_.size())
                return LineState::Code;
            if (startsWith(pos_, U"/*")) {
                if (const LineState open = blockComment(); open != LineState::Code)
                    return open;
            } else {
                lexOne();
            }
        }
    }

private:
    char32_t at(std::size_t i) const
    {
        return i < line_.size() ? static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(line_[i])) : 0;
    }

    void emit(TokenKind kind, std::size_t begin, std::size_t end)
    {
        if (end > begin)
            out_.push_back({kind, static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end - begin)});
    }

    void skipBlanks()
    {
        while (pos_ < line_.size() && isBlank(at(pos_)))
            ++pos_;
    }

    // Emits a comment from `begin` up to and including the first "*/" at or after `searchFrom`
    // and moves past it; false when the comment goes on past the line.
    bool closeComment(TokenKind kind, std::size_t begin, std::size_t searchFrom)
    {
        for (std::size_t i = searchFrom; i + 1 < line_.size(); ++i) {
            if (at(i) == U'*' && at(i + 1) == U'/') {
                pos_ = i + 2;
                emit(kind, begin, pos_);
                return true;
            }
        }
        pos_ = line_.size();
        emit(kind, begin, pos_);
        return false;
    }

    bool startsWith(std::size_t i, std::u32string_view text) const
    {
        if (i + text.size() > line_.size())
            return false;
        for (std::size_t k = 0; k < text.size(); ++k)
            if (at(i + k) != text[k])
                return false;
        return true;
    }

    // Lexes the comment that opens at the current position; returns the state it leaves:
    // Code when it closes on this line.
    LineState blockComment()
    {
        const bool entity = startsWith(pos_, U"/*QUAKED");
        // The search for "*/" starts after the opening, so "/*/" does not close itself.
        if (closeComment(entity ? TokenKind::EntityComment : TokenKind::Comment, pos_, pos_ + 2))
            return LineState::Code;
        return entity ? LineState::InEntityComment : LineState::InComment;
    }

    std::size_t nameEnd(std::size_t i) const
    {
        while (i < line_.size() && isNameChar(at(i)))
            ++i;
        return i;
    }

    std::size_t numberEnd(std::size_t i) const
    {
        const bool hex = at(i) == U'0' && (at(i + 1) == U'x' || at(i + 1) == U'X');
        if (hex)
            i += 2;
        while (i < line_.size()) {
            const char32_t c = at(i);
            if ((c == U'e' || c == U'E') && !hex && (at(i + 1) == U'-' || at(i + 1) == U'+') && isDigit(at(i + 2)))
                i += 2;
            else if (isNameChar(c) || (c == U'.' && at(i + 1) != U'.'))
                ++i;
            else
                break;
        }
        return i;
    }

    // A quoted constant up to its closing quote, skipping backslash escapes; an unclosed one
    // runs to the end of the line.
    std::size_t quotedEnd(std::size_t i, char32_t quote) const
    {
        for (++i; i < line_.size(); ++i) {
            const char32_t c = at(i);
            if (c == U'\\')
                ++i;
            else if (c == quote)
                return i + 1;
        }
        return line_.size();
    }

    // One place emits every kind of token, small enough to be inlined.
    void lexOne()
    {
        const std::size_t begin = pos_;
        const TokenKind kind = skipToken();
        emit(kind, begin, pos_);
    }

    // Moves past the token at the current position, which is no blank and opens no block
    // comment; returns its kind.
    TokenKind skipToken()
    {
        const std::size_t begin = pos_;
        const bool codeSeen = std::exchange(codeSeen_, true);
        const char32_t c = at(pos_);
        if (c == U'/' && at(pos_ + 1) == U'/') {
            pos_ = line_.size();
            return TokenKind::Comment;
        }
        if (isNameStart(c)) {
            pos_ = nameEnd(pos_);
            return kindOfName(line_.substr(begin, pos_ - begin));
        }
        if (isDigit(c) || (c == U'.' && isDigit(at(pos_ + 1)))) {
            pos_ = numberEnd(pos_);
            return TokenKind::Number;
        }
        if (c == U'"' || c == U'\'') {
            pos_ = std::min(quotedEnd(pos_, c), line_.size());
            return c == U'"' ? TokenKind::String : TokenKind::Vector;
        }
        if (c == U'$' && isNameChar(at(pos_ + 1))) {
            pos_ = nameEnd(pos_ + 1);
            return TokenKind::FrameMacro;
        }
        if (c == U'#' && isDigit(at(pos_ + 1))) {
            pos_ = nameEnd(pos_ + 1);
            return TokenKind::BuiltinNumber;
        }
        if (c == U'#' && isNameStart(at(pos_ + 1)) && !codeSeen) {
            pos_ = nameEnd(pos_ + 1);
            return TokenKind::Preprocessor;
        }
        ++pos_;
        return TokenKind::Punctuation;
    }

    std::basic_string_view<Char> line_;
    std::vector<Token> &out_;
    std::size_t pos_ = 0;
    // Whether anything but blanks and comments came before: a directive must be the first.
    bool codeSeen_ = false;
};

constexpr std::array<std::u32string_view, 5> types = {U"void", U"float", U"vector", U"string", U"entity"};
constexpr std::array<std::u32string_view, 14> keywords = {
    U"local", U"if", U"else", U"while", U"do", U"for", U"return", U"break", U"continue", U"switch", U"case", U"default",
    U"const", U"var"};

template <class Take>
constexpr void forEachFixedWord(Take take)
{
    for (const std::u32string_view word : types)
        take(word);
    for (const std::u32string_view word : keywords)
        take(word);
}

constexpr std::size_t kLongestWord = [] {
    std::size_t longest = 0;
    forEachFixedWord([&longest](std::u32string_view word) { longest = std::max(longest, word.size()); });
    return longest;
}();

// For each length, the first letters of the fixed words that long (bit 0 for 'a'): most names
// are told from every word at a glance.
using FirstLetters = std::array<std::uint32_t, kLongestWord + 1>;

constexpr FirstLetters firstLettersByLength()
{
    FirstLetters letters{};
    forEachFixedWord([&letters](std::u32string_view word) {
        if (word.front() < U'a' || word.front() > U'z')
            throw "every fixed word begins with a small letter";
        letters[word.size()] |= 1u << (word.front() - U'a');
    });
    return letters;
}

constexpr FirstLetters kFirstLetters = firstLettersByLength();

template <class Char>
char32_t codeOf(Char c)
{
    return static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
}

template <class Char>
bool equals(std::basic_string_view<Char> name, std::u32string_view word)
{
    return name.size() == word.size() &&
           std::equal(name.begin(), name.end(), word.begin(), [](Char a, char32_t b) { return codeOf(a) == b; });
}

} // namespace

template <class Char>
TokenKind kindOfName(std::basic_string_view<Char> name)
{
    const char32_t first = name.empty() ? 0 : codeOf(name[0]);
    if (name.size() >= kFirstLetters.size() || first < U'a' || first > U'z' ||
        !(kFirstLetters[name.size()] & (1u << (first - U'a'))))
        return TokenKind::Name;
    const auto is = [&](std::u32string_view word) { return equals(name, word); };
    if (std::any_of(types.begin(), types.end(), is))
        return TokenKind::Type;
    if (std::any_of(keywords.begin(), keywords.end(), is))
        return TokenKind::Keyword;
    return TokenKind::Name;
}

template <class Char>
LineState lexLine(std::basic_string_view<Char> line, LineState state, std::vector<Token> &out)
{
    return LineLexer<Char>(line, out).run(state);
}

template TokenKind kindOfName<char>(std::string_view);
template TokenKind kindOfName<char16_t>(std::u16string_view);
template LineState lexLine<char>(std::string_view, LineState, std::vector<Token> &);
template LineState lexLine<char16_t>(std::u16string_view, LineState, std::vector<Token> &);

std::vector<CommentedLines> linesInComments(std::u16string_view text)
{
    std::vector<CommentedLines> runs;
    std::vector<Token> tokens;
    LineState state = LineState::Code;
    std::size_t line = 0;
    for (std::size_t begin = 0; begin <= text.size(); ++line) {
        const std::size_t end = std::min(text.find(u'\n', begin), text.size());
        if (state != LineState::Code) {
            if (!runs.empty() && runs.back().state == state && runs.back().first + runs.back().count == line)
                ++runs.back().count;
            else
                runs.push_back({line, 1, state});
        }
        const std::u16string_view current = text.substr(begin, end - begin);
        // Only "/*" and "*/" change the state.
        if (current.find(u'/') != std::u16string_view::npos) {
            tokens.clear();
            state = lexLine(current, state, tokens);
        }
        begin = end + 1;
    }
    return runs;
}

bool isNameStart(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || c == U'_' || c >= 0x80;
}

bool isNameChar(char32_t c)
{
    return isNameStart(c) || isDigit(c);
}

} // namespace vardo::qc
