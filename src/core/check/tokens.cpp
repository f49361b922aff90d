#include "core/check/tokens.h"

#include "core/qc/lexer.h"

#include <array>
#include <utility>
#include <cctype>

namespace vardo::check {

namespace {

// Operators of more than one character, longest first.
constexpr std::array<std::string_view, 24> kOperators = {
    "...", "<<=", ">>=", "==", "!=", "<=", ">=", "&&", "||", "+=", "-=", "*=", "/=",
    "%=", "&=", "|=", "^=", "++", "--", "<<", ">>", "->", "::", "##"};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool nameStart(char c)
{
    return qc::isNameStart(static_cast<unsigned char>(c));
}

bool nameChar(char c)
{
    return qc::isNameChar(static_cast<unsigned char>(c));
}

class Tokenizer {
public:
    Tokenizer(std::string_view text, std::uint16_t file, std::vector<LexProblem> &problems)
        : text_(text), file_(file), problems_(problems)
    {
    }

    std::vector<Token> run()
    {
        std::vector<Token> out;
        out.reserve(text_.size() / 5);
        while (skipBlanksAndComments()) {
            Token t;
            t.file = file_;
            t.line = line_;
            t.column = static_cast<std::int32_t>(at_ - lineBegin_ + 1);
            t.lineStart = lineStart_;
            lineStart_ = false;
            const std::size_t begin = at_;
            t.kind = scan(t.lineStart);
            t.text = text_.substr(begin, at_ - begin);
            t.endLine = line_;
            out.push_back(t);
        }
        return out;
    }

private:
    char peek(std::size_t ahead = 0) const { return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0'; }

    void newLine()
    {
        ++line_;
        lineBegin_ = at_ + 1;
        lineStart_ = true;
    }

    // Moves past blanks and comments; false at the end of the text.
    bool skipBlanksAndComments()
    {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n' || (c == '\r' && peek(1) != '\n')) {
                newLine();
                ++at_;
            } else if (static_cast<unsigned char>(c) <= ' ') {
                ++at_;
            } else if (c == '/' && peek(1) == '/') {
                while (at_ < text_.size() && text_[at_] != '\n' && text_[at_] != '\r')
                    ++at_;
            } else if (c == '/' && peek(1) == '*') {
                blockComment();
            } else {
                return true;
            }
        }
        return false;
    }

    void blockComment()
    {
        const std::int32_t line = line_;
        const auto column = static_cast<std::int32_t>(at_ - lineBegin_ + 1);
        at_ += 2;
        for (; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '*' && peek(1) == '/') {
                at_ += 2;
                return;
            }
            if (c == '\n' || (c == '\r' && peek(1) != '\n'))
                newLine();
        }
        problems_.push_back({line, column, "this comment is never closed with */"});
    }

    Tok scan(bool lineStart)
    {
        const char c = text_[at_];
        if (nameStart(c)) {
            while (at_ < text_.size() && nameChar(text_[at_]))
                ++at_;
            return Tok::Name;
        }
        if (isDigit(c) || (c == '.' && isDigit(peek(1)))) {
            number();
            return Tok::Number;
        }
        if (c == '"') {
            quoted('"', "this string is never closed with \"");
            return Tok::String;
        }
        if (c == '\'') {
            quoted('\'', "this constant is never closed with '");
            return Tok::Vector;
        }
        if (c == '$' && nameChar(peek(1))) {
            ++at_;
            while (at_ < text_.size() && nameChar(text_[at_]))
                ++at_;
            return lineStart ? Tok::Directive : Tok::Frame;
        }
        if (c == '#') {
            ++at_;
            if (lineStart) {
                while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t'))
                    ++at_;
                while (at_ < text_.size() && nameChar(text_[at_]))
                    ++at_;
                return Tok::Directive;
            }
            if (isDigit(peek()) || peek() == ':' || peek() == ' ') {
                while (at_ < text_.size() && isDigit(text_[at_]))
                    ++at_;
                return Tok::Builtin;
            }
            if (peek() == '#')
                ++at_;
            return Tok::Punct;
        }
        for (std::string_view op : kOperators)
            if (text_.substr(at_, op.size()) == op) {
                at_ += op.size();
                return Tok::Punct;
            }
        ++at_;
        return Tok::Punct;
    }

    void number()
    {
        if (text_[at_] == '0' && (peek(1) == 'x' || peek(1) == 'X')) {
            at_ += 2;
            while (at_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_])))
                ++at_;
            return;
        }
        while (at_ < text_.size() && (isDigit(text_[at_]) || text_[at_] == '.') && text_.substr(at_, 3) != "...")
            ++at_;
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E') && isDigit(peek(1)))
            for (++at_; at_ < text_.size() && isDigit(text_[at_]);)
                ++at_;
        // fteqcc's suffixes: 1i, 2f.
        if (at_ < text_.size() && (text_[at_] == 'i' || text_[at_] == 'f') && !nameChar(peek(1)))
            ++at_;
    }

    void quoted(char quote, const char *unclosed)
    {
        const std::int32_t line = line_;
        const auto column = static_cast<std::int32_t>(at_ - lineBegin_ + 1);
        for (++at_; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c == '\\' && at_ + 1 < text_.size() && text_[at_ + 1] != '\n' && text_[at_ + 1] != '\r') {
                ++at_;
            } else if (c == quote) {
                ++at_;
                return;
            } else if (c == '\n' || (c == '\r' && peek(1) != '\n')) {
                newLine();
                lineStart_ = false;
            }
        }
        problems_.push_back({line, column, unclosed});
    }

    std::string_view text_;
    std::uint16_t file_;
    std::vector<LexProblem> &problems_;
    std::size_t at_ = 0;
    std::size_t lineBegin_ = 0;
    std::int32_t line_ = 1;
    bool lineStart_ = true;
};

} // namespace

int binaryPrecedence(const Token &t)
{
    static constexpr std::pair<std::string_view, int> kTable[] = {
        {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7},
        {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}};
    if (t.kind != Tok::Punct)
        return -1;
    for (const auto &[op, p] : kTable)
        if (t.text == op)
            return p;
    return -1;
}

std::vector<Token> tokenize(std::string_view text, std::uint16_t file, std::vector<LexProblem> &problems)
{
    return Tokenizer(text, file, problems).run();
}

} // namespace vardo::check
