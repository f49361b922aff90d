#include "core/qc/symbols.h"

#include "core/qc/lexer.h"
#include "core/qc/textlines.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

namespace vardo::qc {

namespace {

char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first of `a` and `b` without regard to case, over at most their common length: negative,
// zero or positive.
int compareFolded(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(foldCase(a[i]));
        const auto y = static_cast<unsigned char>(foldCase(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

} // namespace

int compareNames(std::string_view a, std::string_view b)
{
    if (const int folded = compareFolded(a, b))
        return folded;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

bool namesInNumberOrder(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // By value: without leading zeros, the longer run is the larger number.
            while (i + 1 < a.size() && a[i] == '0' && isDigit(a[i + 1]))
                ++i;
            while (j + 1 < b.size() && b[j] == '0' && isDigit(b[j + 1]))
                ++j;
            std::size_t endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            if (endA - i != endB - j)
                return endA - i < endB - j;
            if (const int digits = a.substr(i, endA - i).compare(b.substr(j, endB - j)))
                return digits < 0;
            i = endA;
            j = endB;
            continue;
        }
        const auto x = static_cast<unsigned char>(foldCase(a[i])), y = static_cast<unsigned char>(foldCase(b[j]));
        if (x != y)
            return x < y;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return compareNames(a, b) < 0;
}

namespace {

// What a completion says of a symbol: the declaration up to its name, then the kind.
std::string completionDetail(const Symbol &symbol)
{
    if (symbol.kind == SymbolKind::FrameMacro || symbol.kind == SymbolKind::Define)
        return std::string(kindName(symbol.kind));
    const std::string_view declaration = symbol.declaration;
    std::size_t at = 0;
    for (; (at = declaration.find(symbol.name, at)) != declaration.npos; ++at) {
        const std::size_t end = at + symbol.name.size();
        const bool whole = (at == 0 || !isNameChar(static_cast<unsigned char>(declaration[at - 1]))) &&
                           (end == declaration.size() || !isNameChar(static_cast<unsigned char>(declaration[end])));
        if (whole)
            break;
    }
    std::string_view type = declaration.substr(0, at == declaration.npos ? 0 : at);
    while (!type.empty() && type.back() == ' ')
        type.remove_suffix(1);
    return type.empty() ? std::string(kindName(symbol.kind)) : std::string(type) + ' ' + std::string(kindName(symbol.kind));
}

// A token of a file.
struct Tok {
    TokenKind kind;
    bool firstOnLine;
    std::uint32_t begin;
    std::uint32_t length;
    std::uint32_t line;
    std::uint32_t column;
};

constexpr std::size_t kDeclarationLimit = 300;
constexpr std::size_t kCommentLines = 8;

constexpr std::array<std::string_view, 7> kExtraTypes = {"int", "integer", "__int", "__integer", "__variant",
                                                         "variant", "bool"};
constexpr std::array<std::string_view, 19> kModifiers = {
    "nosave", "noref",  "shared",   "static",   "nonstatic", "extern",  "inline", "__inline", "__used", "__unused",
    "__weak", "__wrap", "__accumulate", "__strip", "strip", "optional", "__optional", "__ignore", "typedef"};
constexpr std::array<std::string_view, 9> kFrameDirectives = {"$frame", "$cd",   "$origin", "$base",     "$skin",
                                                              "$flags", "$scale", "$modelname", "$framevalue"};

template <std::size_t N>
bool isOneOf(std::string_view word, const std::array<std::string_view, N> &words)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool isComment(TokenKind kind)
{
    return kind == TokenKind::Comment || kind == TokenKind::EntityComment;
}

std::string_view lineComment(std::string_view text)
{
    text.remove_prefix(2);
    while (!text.empty() && (text.front() == '/' || static_cast<unsigned char>(text.front()) <= ' '))
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

// The tokens of a file, split into code for the declaration parser, and the directive lines and
// comments that are read on their own. Lines are lexed as the parser reaches them, and the code
// it has passed is let go: a large file is scanned in a window that stays in the caches.
class FileScanner {
public:
    explicit FileScanner(std::string_view text) : text_(text), buffers_(std::exchange(threadBuffers(), {})) {}
    ~FileScanner()
    {
        if (code_.capacity() <= kKeptTokens) {
            tokens_.clear();
            lineTokens_.clear();
            code_.clear();
            threadBuffers() = std::move(buffers_);
        }
    }
    FileScanner(const FileScanner &) = delete;
    FileScanner &operator=(const FileScanner &) = delete;

    FileSymbols run()
    {
        parse();
        // Directive lines are read as they are lexed, declarations as they are parsed: put them
        // in text order. They nearly always are already, and a sort would move every symbol.
        const auto inText = [](const Symbol &a, const Symbol &b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        };
        if (!std::is_sorted(out_.symbols.begin(), out_.symbols.end(), inText))
            std::stable_sort(out_.symbols.begin(), out_.symbols.end(), inText);
        out_.byName.resize(out_.symbols.size());
        for (std::uint32_t i = 0; i < out_.byName.size(); ++i)
            out_.byName[i] = i;
        std::stable_sort(out_.byName.begin(), out_.byName.end(), [&](std::uint32_t a, std::uint32_t b) {
            return compareNames(out_.symbols[a].name, out_.symbols[b].name) < 0;
        });
        return std::move(out_);
    }

private:
    // A line whose last token is a "//" comment: the comment a symbol on it or below may get.
    struct LineComment {
        std::uint32_t line;
        std::uint32_t begin;
        std::uint32_t length;
        bool alone; // the only token of its line
    };

    std::string_view textOf(const Tok &t) const { return text_.substr(t.begin, t.length); }

    // Lexes the next line (CR LF, a lone LF and a lone CR each end one; an empty last line after
    // a line end is none); false at the end of the text.
    bool lexNextLine()
    {
        if (next_ >= text_.size())
            return false;
        std::size_t end = next_;
        while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r')
            ++end;
        const std::string_view line = text_.substr(next_, end - next_);
        const auto lineBegin = static_cast<std::uint32_t>(next_);
        next_ = afterLineEnd(end);
        const std::uint32_t index = line_++;

        tokens_.clear();
        state_ = lexLine(line, state_, tokens_);
        if (!tokens_.empty()) {
            const Token &last = tokens_.back();
            if (last.kind == TokenKind::Comment && line.substr(last.begin, 2) == "//")
                comments_.push_back({index, lineBegin + last.begin, last.length, tokens_.size() == 1});
        }
        const bool continuation = continued_;
        const bool directive = continuation || isDirective(line);
        continued_ = directive && !line.empty() && line.back() == '\\';
        if (!directive) {
            bool first = true;
            for (const Token &t : tokens_) {
                if (isComment(t.kind))
                    continue;
                // Made in place: a copy through the stack stalled on every token.
                code_.emplace_back() = {t.kind, first, lineBegin + t.begin, t.length, index, t.begin};
                first = false;
            }
        } else if (!continuation) {
            lineTokens_.clear();
            for (const Token &t : tokens_)
                lineTokens_.push_back({t.kind, false, lineBegin + t.begin, t.length, index, t.begin});
            directiveLine();
        }
        return true;
    }

    // Where the line after the one that ends at `end` (at its CR, LF or the text's end) begins.
    std::size_t afterLineEnd(std::size_t end) const
    {
        return end + (end + 1 < text_.size() && text_[end] == '\r' && text_[end + 1] == '\n' ? 2 : 1);
    }

    bool atLineEnd(std::size_t at) const { return at >= text_.size() || text_[at] == '\n' || text_[at] == '\r'; }

    // Passes without lexing the lines ahead that matter to a body at `depth` only by their
    // braces and // comments: none begins in the first column (where a declaration may start),
    // holds a block comment or a directive, or closes the body. Most lines of a file are such.
    void passPlainLines(int &depth)
    {
        while (state_ == LineState::Code && !continued_ && next_ < text_.size()) {
            int change = 0;
            const std::size_t end = plainLineEnd(depth, change);
            if (end == std::string_view::npos)
                return;
            depth += change;
            next_ = afterLineEnd(end);
            ++line_;
        }
    }

    // Where the line at `next_` ends when it is plain (see passPlainLines), with the change of
    // depth its braces bring, its // comment kept; npos when it is not plain.
    std::size_t plainLineEnd(int depth, int &change)
    {
        std::size_t at = next_;
        while (!atLineEnd(at) && static_cast<unsigned char>(text_[at]) <= ' ')
            ++at;
        if (!atLineEnd(at) && (at == next_ || text_[at] == '#' || text_[at] == '$'))
            return std::string_view::npos;
        const std::size_t code = at;
        for (; !atLineEnd(at); ++at) {
            const char c = text_[at];
            const char after = atLineEnd(at + 1) ? '\0' : text_[at + 1];
            if (c == '/' && after == '*')
                return std::string_view::npos;
            if (c == '/' && after == '/') {
                const std::size_t begin = at;
                while (!atLineEnd(at))
                    ++at;
                comments_.push_back({line_, static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(at - begin),
                                     begin == code});
                return at;
            }
            if (c == '"' || c == '\'')
                at = quoteEnd(at);
            else if (c == '{')
                ++change;
            else if (c == '}' && depth + --change <= 0)
                return std::string_view::npos;
            if (atLineEnd(at))
                break;
        }
        return at;
    }

    // The closing quote of the quote that opens at `open`, as the lexer reads it (a backslash
    // escapes the next character), or the line's end when it stays open.
    std::size_t quoteEnd(std::size_t open) const
    {
        std::size_t at = open + 1;
        for (; !atLineEnd(at) && text_[at] != text_[open]; ++at)
            if (text_[at] == '\\' && !atLineEnd(at + 1))
                ++at;
        return at;
    }

    // Whether the line just lexed begins a directive: its first code is one.
    bool isDirective(std::string_view line) const
    {
        const auto first = std::find_if(tokens_.begin(), tokens_.end(), [](const Token &t) { return !isComment(t.kind); });
        return first != tokens_.end() &&
               (first->kind == TokenKind::Preprocessor ||
                (first->kind == TokenKind::FrameMacro && isOneOf(line.substr(first->begin, first->length), kFrameDirectives)));
    }

    // The code tokens of the line just lexed: "#define NAME ...", "#include "file"", "$frame a b".
    void directiveLine()
    {
        std::vector<const Tok *> code;
        for (const Tok &t : lineTokens_)
            if (!isComment(t.kind))
                code.push_back(&t);
        if (code.size() > 2 && textOf(*code.back()) == "\\")
            code.pop_back();
        if (code.size() < 2)
            return;
        const std::string_view directive = textOf(*code[0]);
        if (directive == "#define" && code[1]->kind != TokenKind::Punctuation) {
            add(*code[1], SymbolKind::Define, joined(code.front(), code.back()), code.front()->line);
        } else if (directive == "#include") {
            std::string_view name = textOf(*code[1]);
            if (code[1]->kind == TokenKind::String && name.size() >= 2) {
                name = name.substr(1, name.size() - 2);
            } else if (textOf(*code[1]) == "<") {
                const std::size_t close = text_.find('>', code[1]->begin);
                const std::size_t lineEnd = text_.find_first_of("\r\n", code[1]->begin);
                name = close < lineEnd ? text_.substr(code[1]->begin + 1, close - code[1]->begin - 1) : "";
            }
            if (!name.empty())
                out_.includes.emplace_back(name);
        } else if (directive == "$frame") {
            for (std::size_t i = 1; i < code.size(); ++i)
                if (code[i]->kind != TokenKind::Punctuation)
                    add(*code[i], SymbolKind::FrameMacro, joined(code.front(), code.back()), code.front()->line);
        }
    }

    void add(const Tok &nameToken, SymbolKind kind, std::string declaration, std::uint32_t firstLine,
             std::int32_t builtin = -1)
    {
        Symbol s;
        s.name = textOf(nameToken);
        s.kind = kind;
        s.line = nameToken.line;
        s.column = nameToken.column;
        s.builtinNumber = builtin;
        s.declaration = std::move(declaration);
        // Built up piece by piece, it has room to spare, which a project's index would keep
        // tens of thousands of times.
        s.declaration.shrink_to_fit();
        s.comment = commentFor(nameToken.line, firstLine);
        out_.symbols.push_back(std::move(s));
    }

    // The text of the tokens [first, last] of one array, comments left out, with one blank
    // where the source had any.
    std::string joined(const Tok *first, const Tok *last) const
    {
        std::string out;
        const Tok *previous = nullptr;
        for (const Tok *t = first; t <= last && out.size() < kDeclarationLimit; ++t) {
            if (isComment(t->kind))
                continue;
            if (previous && t->begin > previous->begin + previous->length)
                out += ' ';
            out += textOf(*t);
            previous = t;
        }
        return out;
    }

    const LineComment *commentOn(std::uint32_t line) const
    {
        const auto found = std::lower_bound(comments_.begin(), comments_.end(), line,
                                            [](const LineComment &c, std::uint32_t l) { return c.line < l; });
        return found != comments_.end() && found->line == line ? &*found : nullptr;
    }

    std::string commentFor(std::uint32_t nameLine, std::uint32_t firstLine) const
    {
        if (const LineComment *end = commentOn(nameLine))
            return std::string(lineComment(text_.substr(end->begin, end->length)));
        std::vector<std::string_view> above;
        for (std::uint32_t line = firstLine; line > 0 && above.size() < kCommentLines; --line) {
            const LineComment *only = commentOn(line - 1);
            if (!only || !only->alone)
                break;
            above.push_back(lineComment(text_.substr(only->begin, only->length)));
        }
        std::string out;
        for (auto it = above.rbegin(); it != above.rend(); ++it)
            out.append(out.empty() ? "" : "\n").append(*it);
        return out;
    }

    // Whether the parser's token `i` exists, lexing up to it.
    bool has(std::size_t i)
    {
        while (i - passed_ >= code_.size())
            if (!lexNextLine())
                return false;
        return true;
    }

    const Tok &tok(std::size_t i) const { return code_[i - passed_]; }

    // Lets go of the code before `i`, which the parser never looks back at, and of the comments
    // no symbol from there on can get.
    void pass(std::size_t i)
    {
        const std::size_t count = std::min(i - passed_, code_.size());
        if (count < kPassedAtOnce)
            return;
        code_.erase(code_.begin(), code_.begin() + static_cast<std::ptrdiff_t>(count));
        passed_ += count;
        const std::uint32_t from = code_.empty() ? line_ : code_.front().line;
        while (!comments_.empty() && comments_.front().line + kCommentLines < from)
            comments_.pop_front();
    }

    // --- The declaration parser over `code_`.

    bool isPunct(std::size_t i, char c)
    {
        return has(i) && tok(i).kind == TokenKind::Punctuation && text_[tok(i).begin] == c;
    }

    bool isType(std::size_t i)
    {
        return has(i) && (tok(i).kind == TokenKind::Type ||
                                    (tok(i).kind == TokenKind::Name && isOneOf(textOf(tok(i)), kExtraTypes)));
    }

    bool isModifier(std::size_t i)
    {
        if (!has(i))
            return false;
        const std::string_view word = textOf(tok(i));
        return (tok(i).kind == TokenKind::Keyword && (word == "const" || word == "var" || word == "local")) ||
               (tok(i).kind == TokenKind::Name && isOneOf(word, kModifiers));
    }

    // Past a body, or a braced statement, that opens at `i`: none of its tokens is needed.
    std::size_t skipBody(std::size_t i) { return skipGroup(i, '{', '}', true); }

    // Past a bracketed group that opens at `i` with `open`. With `passPlain`, its plain lines
    // are passed without lexing them (see passPlainLines).
    std::size_t skipGroup(std::size_t i, char open, char close, bool passPlain = false)
    {
        int depth = 0;
        for (; has(i); ++i) {
            // Most of a file is bodies: each of their tokens is looked at once.
            const Tok &t = tok(i);
            const char c = t.kind == TokenKind::Punctuation ? text_[t.begin] : '\0';
            if (c == open)
                ++depth;
            else if (c == close && --depth <= 0)
                return i + 1;
            else if (open == '{' && depth > 0 && startsDeclarationLine(i))
                return i; // a body left open
            if (passPlain && depth > 0 && i + 1 == passed_ + code_.size())
                passPlainLines(depth);
        }
        return i;
    }

    // A line that begins in the first column with a type (or "." and a type) is taken for the
    // next declaration even inside an unclosed body.
    bool startsDeclarationLine(std::size_t i)
    {
        const Tok &t = tok(i);
        if (!t.firstOnLine || t.column != 0)
            return false;
        return isType(i) || (isPunct(i, '.') && isType(i + 1));
    }

    // Past the statement that starts at `i`: its ";" at depth 0, or its braced group.
    std::size_t skipStatement(std::size_t i)
    {
        while (has(i)) {
            if (isPunct(i, ';') || isPunct(i, '}'))
                return i + 1;
            if (isPunct(i, '{')) {
                i = skipBody(i);
                return isPunct(i, ';') ? i + 1 : i;
            }
            i = isPunct(i, '(') ? skipGroup(i, '(', ')') : i + 1;
        }
        return i;
    }

    // A symbol declared by the code tokens: its type part [typeFirst, typeLast], then its own
    // part from its name to `last`.
    void addFromCode(std::size_t nameAt, SymbolKind kind, std::size_t typeFirst, std::size_t typeLast,
                     std::size_t last, std::int32_t builtin = -1)
    {
        std::string declaration = joined(&tok(typeFirst), &tok(typeLast));
        declaration += ' ';
        declaration += joined(&tok(nameAt), &tok(last));
        add(tok(nameAt), kind, std::move(declaration), tok(typeFirst).line, builtin);
    }

    // Past the token at `i`, or past the group it opens.
    std::size_t skipOne(std::size_t i)
    {
        if (isPunct(i, '('))
            return skipGroup(i, '(', ')');
        if (isPunct(i, '['))
            return skipGroup(i, '[', ']');
        if (isPunct(i, '{'))
            return skipGroup(i, '{', '}');
        return i + 1;
    }

    void parse()
    {
        std::size_t i = 0;
        while (has(i)) {
            const std::size_t next = declaration(i);
            i = next > i ? next : i + 1;
            pass(i);
        }
    }

    // Reads one top-level declaration at `start`; returns where the next one starts.
    std::size_t declaration(std::size_t start)
    {
        if (tok(start).kind == TokenKind::Name && textOf(tok(start)) == "enum")
            return enumeration(start);
        std::size_t i = start;
        bool isConst = false, isVar = false;
        while (isModifier(i)) {
            isConst = isConst || textOf(tok(i)) == "const";
            isVar = isVar || textOf(tok(i)) == "var";
            ++i;
        }
        bool field = false;
        while (isPunct(i, '.')) {
            field = true;
            ++i;
        }
        if (!isType(i))
            return skipStatement(start);
        ++i;
        bool functionType = false;
        if (isPunct(i, '(')) {
            i = skipGroup(i, '(', ')');
            functionType = true;
        }
        const std::size_t typeLast = i - 1;
        while (true) {
            if (!has(i) || tok(i).kind != TokenKind::Name)
                return skipStatement(i);
            const std::size_t nameAt = i++;
            bool cFunction = false;
            if (isPunct(i, '(')) {
                i = skipGroup(i, '(', ')');
                cFunction = true;
            }
            while (isPunct(i, '['))
                i = skipGroup(i, '[', ']');
            const bool function = functionType || cFunction;
            if (isPunct(i, '{') && cFunction) {
                addFromCode(nameAt, SymbolKind::Function, start, typeLast, i - 1);
                return afterBody(skipBody(i));
            }
            if (isPunct(i, '=')) {
                const std::size_t equals = i++;
                if (isPunct(i, '{')) {
                    addFromCode(nameAt, SymbolKind::Function, start, typeLast, equals - 1);
                    return afterBody(skipBody(i));
                }
                if (isPunct(i, '[') && function) {
                    i = skipGroup(i, '[', ']');
                    addFromCode(nameAt, SymbolKind::FrameFunction, start, typeLast, i - 1);
                    return afterBody(isPunct(i, '{') ? skipBody(i) : i);
                }
                if (has(i) && tok(i).kind == TokenKind::BuiltinNumber) {
                    const std::string_view digits = textOf(tok(i)).substr(1);
                    const std::int32_t number = digits.size() <= 9 ? std::stoi(std::string(digits)) : -1;
                    addFromCode(nameAt, SymbolKind::Builtin, start, typeLast, i, number);
                    ++i;
                } else {
                    while (has(i) && !isPunct(i, ',') && !isPunct(i, ';') && !startsDeclarationLine(i))
                        i = skipOne(i);
                    const SymbolKind kind = field ? SymbolKind::Field : (isVar ? SymbolKind::Global : SymbolKind::Constant);
                    addFromCode(nameAt, kind, start, typeLast, i - 1);
                }
            } else if (function && isPunct(i, ':') && has(i + 1) && tok(i + 1).kind == TokenKind::Number) {
                // Some compilers write a builtin's number after a colon.
                const std::string_view digits = textOf(tok(i + 1));
                const bool plain = digits.size() <= 9 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
                addFromCode(nameAt, SymbolKind::Builtin, start, typeLast, i + 1, plain ? std::stoi(std::string(digits)) : -1);
                i += 2;
            } else {
                SymbolKind kind = SymbolKind::Global;
                if (field)
                    kind = SymbolKind::Field;
                else if (function && !isVar)
                    kind = SymbolKind::Prototype;
                else if (isConst)
                    kind = SymbolKind::Constant;
                addFromCode(nameAt, kind, start, typeLast, i - 1);
            }
            if (isPunct(i, ','))
                ++i;
            else if (isPunct(i, ';'))
                return i + 1;
            else
                return skipStatement(i);
        }
    }

    // "enum [name] [: type] { A, B = 2, C };": each member is a constant.
    std::size_t enumeration(std::size_t start)
    {
        std::size_t i = start + 1;
        while (has(i) && !isPunct(i, '{') && !isPunct(i, ';'))
            ++i;
        if (!isPunct(i, '{'))
            return skipStatement(start);
        const std::size_t end = skipGroup(i, '{', '}');
        bool expectName = true;
        for (++i; i < end && !isPunct(i, '}'); ++i) {
            if (expectName && tok(i).kind == TokenKind::Name) {
                std::size_t last = i;
                while (last + 1 < end && !isPunct(last + 1, ',') && !isPunct(last + 1, '}'))
                    ++last;
                add(tok(i), SymbolKind::Constant, joined(&tok(start), &tok(start)) + " " + joined(&tok(i), &tok(last)),
                    tok(start).line);
            }
            expectName = isPunct(i, ',');
            if (isPunct(i, '(') || isPunct(i, '['))
                i = skipOne(i) - 1;
        }
        return afterBody(end);
    }

    std::size_t afterBody(std::size_t i) { return isPunct(i, ';') ? i + 1 : i; }

    // How much code is let go at once: the rest of the window moves down each time.
    static constexpr std::size_t kPassedAtOnce = 1024;
    // The largest window of code whose memory a thread keeps for its next file.
    static constexpr std::size_t kKeptTokens = 64 * 1024;

    // The scanner's buffers, kept by each thread between files: many small files do not
    // allocate the same memory again for each.
    struct Buffers {
        std::vector<Token> tokens;
        std::vector<Tok> lineTokens; // the tokens of the line just lexed
        // The code tokens lexed and not let go yet; code[0] is the parser's token `passed_`.
        std::vector<Tok> code;
    };
    static Buffers &threadBuffers()
    {
        static thread_local Buffers buffers;
        return buffers;
    }

    std::string_view text_;
    std::size_t next_ = 0;    // where the next line to lex begins
    std::uint32_t line_ = 0;  // the index of that line
    LineState state_ = LineState::Code;
    bool continued_ = false;  // the line before ended a directive with a backslash
    Buffers buffers_;
    std::vector<Token> &tokens_ = buffers_.tokens;
    std::vector<Tok> &lineTokens_ = buffers_.lineTokens;
    std::vector<Tok> &code_ = buffers_.code;
    std::size_t passed_ = 0;
    std::deque<LineComment> comments_; // in line order
    FileSymbols out_;
};

} // namespace

std::string_view kindName(SymbolKind kind)
{
    switch (kind) {
    case SymbolKind::Function: return "function";
    case SymbolKind::FrameFunction: return "frame function";
    case SymbolKind::Builtin: return "builtin";
    case SymbolKind::Prototype: return "prototype";
    case SymbolKind::Global: return "global";
    case SymbolKind::Constant: return "constant";
    case SymbolKind::Field: return "field";
    case SymbolKind::FrameMacro: return "frame";
    case SymbolKind::Define: return "#define";
    }
    return "";
}

FileSymbols scanSymbols(std::string_view text)
{
    return FileScanner(text).run();
}

std::vector<std::string> localNames(std::string_view text, std::uint32_t line)
{
    const FileSymbols file = scanSymbols(text);
    const Symbol *function = nullptr;
    for (const Symbol &s : file.symbols)
        if ((s.kind == SymbolKind::Function || s.kind == SymbolKind::FrameFunction) && s.line <= line)
            function = &s;
    if (!function)
        return {};
    std::vector<std::string> names;
    std::set<std::string, std::less<>> seen{function->name};
    LineState state = LineState::Code;
    std::vector<Token> tokens;
    // A name right after a type is declared there (parameters, "local float x", "float x");
    // after "," it is too while that declaration goes on, unless an initializer is being read.
    bool inDeclaration = false, inInitializer = false;
    std::string_view previous;
    TokenKind previousKind = TokenKind::Punctuation;
    forEachLine(text, [&](std::string_view lineText, std::size_t index) {
        if (index < function->line || index > line)
            return;
        tokens.clear();
        state = lexLine(lineText, state, tokens);
        for (const Token &t : tokens) {
            if (isComment(t.kind))
                continue;
            const std::string_view word = lineText.substr(t.begin, t.length);
            const bool afterType = previousKind == TokenKind::Type || (previousKind == TokenKind::Name && isOneOf(previous, kExtraTypes));
            if (t.kind == TokenKind::Name && !isOneOf(word, kExtraTypes) &&
                (afterType || (inDeclaration && !inInitializer && previous == ","))) {
                inDeclaration = true;
                if (seen.emplace(word).second)
                    names.emplace_back(word);
            } else if (word == "=") {
                inInitializer = inDeclaration;
            } else if (word == ",") {
                inInitializer = false;
            } else if (word == ";" || word == ")" || word == "{" || word == "}") {
                inDeclaration = inInitializer = false;
            }
            previous = word;
            previousKind = t.kind;
        }
    });
    return names;
}

namespace {

// Calls `work(i)` for each i in [begin, end) on as many threads as the machine runs at once, the
// caller's among them; the first exception thrown is thrown again here once all have stopped.
template <class Work>
void forEachInParallel(std::size_t begin, std::size_t end, const Work &work)
{
    std::atomic<std::size_t> next = begin;
    std::exception_ptr failure;
    std::mutex failing;
    const auto run = [&] {
        for (std::size_t i = next++; i < end; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard lock(failing);
                if (!failure)
                    failure = std::current_exception();
                next = end;
            }
        }
    };
    const std::size_t helpers =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()) - 1, end - begin > 1 ? end - begin - 1 : 0);
    std::vector<std::thread> threads;
    try {
        for (std::size_t t = 0; t < helpers; ++t)
            threads.emplace_back(run);
    } catch (const std::system_error &) {
        // No more threads to be had: those there are do the work.
    }
    run();
    for (std::thread &thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

SymbolIndex SymbolIndex::build(const SourceList &project, const ReadFile &read)
{
    namespace fs = std::filesystem;
    std::vector<std::string> queue;
    if (project.isSourceCode && !project.listFile.empty())
        queue.push_back(project.listFile);
    queue.insert(queue.end(), project.files.begin(), project.files.end());
    std::unordered_set<std::string> queued(queue.begin(), queue.end());
    const std::string listDirectory =
        fs::path(project.listFile.empty() && !queue.empty() ? queue.front() : project.listFile).parent_path().native();

    SymbolIndex index;
    // The files known so far are read and scanned side by side; the files they #include are
    // queued in the order one file after the other would have found them, and read next.
    for (std::size_t begin = 0; begin < queue.size();) {
        const std::size_t end = queue.size();
        std::vector<File> files(end - begin);
        std::vector<char> wasRead(end - begin, 0);
        forEachInParallel(begin, end, [&](std::size_t i) {
            File &file = files[i - begin];
            file.path = queue[i];
            try {
                file.text = read(file.path);
            } catch (...) {
                return; // a file that went away since the list was read leaves out only itself
            }
            file.symbols = scanSymbols(file.text);
            wasRead[i - begin] = 1;
        });
        for (std::size_t i = begin; i < end; ++i) {
            if (!wasRead[i - begin])
                continue;
            File &file = files[i - begin];
            const std::string directory = fs::path(file.path).parent_path().native();
            for (const std::string &name : file.symbols.includes) {
                std::string path = resolveSourceName(name, directory, listDirectory);
                if (!path.empty() && queued.insert(path).second)
                    queue.push_back(std::move(path));
            }
            index.files_.push_back(std::move(file));
        }
        begin = end;
    }
    return index;
}

bool SymbolIndex::update(const std::string &path, std::string text)
{
    if (!contains(path))
        return false;
    FileSymbols symbols = scanSymbols(text);
    return replace(path, std::move(text), std::move(symbols));
}

bool SymbolIndex::replace(const std::string &path, std::string text, FileSymbols symbols)
{
    return exchange(path, text, symbols);
}

bool SymbolIndex::exchange(const std::string &path, std::string &text, FileSymbols &symbols)
{
    for (File &file : files_) {
        if (file.path != path)
            continue;
        std::swap(file.symbols, symbols);
        std::swap(file.text, text);
        return true;
    }
    return false;
}

bool SymbolIndex::contains(const std::string &path) const
{
    return std::any_of(files_.begin(), files_.end(), [&](const File &f) { return f.path == path; });
}

std::vector<std::string> SymbolIndex::paths() const
{
    std::vector<std::string> out;
    for (const File &file : files_)
        out.push_back(file.path);
    return out;
}

std::size_t SymbolIndex::symbolCount() const
{
    std::size_t count = 0;
    for (const File &file : files_)
        count += file.symbols.symbols.size();
    return count;
}

std::vector<Definition> SymbolIndex::definitions(std::string_view name, bool frame) const
{
    std::vector<Definition> found, prototypes;
    for (const File &file : files_)
        for (const Symbol &s : file.symbols.symbols)
            if (s.name == name && (s.kind == SymbolKind::FrameMacro) == frame)
                (s.kind == SymbolKind::Prototype ? prototypes : found).push_back({file.path, s});
    return found.empty() ? prototypes : found;
}

std::vector<Reference> SymbolIndex::references(std::string_view name, bool frame) const
{
    std::vector<Reference> out;
    std::vector<Token> tokens;
    for (const File &file : files_) {
        if (name.empty() || file.text.find(name) == std::string::npos)
            continue;
        LineState state = LineState::Code;
        forEachLine(std::string_view(file.text), [&](std::string_view line, std::size_t index) {
            tokens.clear();
            state = lexLine(line, state, tokens);
            const bool frameLine = !tokens.empty() && line.substr(tokens[0].begin, tokens[0].length) == "$frame";
            for (const Token &t : tokens) {
                std::string_view word = line.substr(t.begin, t.length);
                bool use = false;
                if (frame && t.kind == TokenKind::FrameMacro)
                    use = word.substr(1) == name;
                else
                    use = t.kind == TokenKind::Name && word == name && frame == frameLine;
                if (!use)
                    continue;
                std::string_view shown = line;
                while (!shown.empty() && static_cast<unsigned char>(shown.front()) <= ' ')
                    shown.remove_prefix(1);
                const auto blanks = static_cast<std::uint32_t>(line.size() - shown.size());
                out.push_back({{file.path, static_cast<std::uint32_t>(index), t.begin},
                               t.length,
                               std::string(shown),
                               t.begin - blanks});
            }
        });
    }
    return out;
}

std::vector<Completion> SymbolIndex::completions(std::string_view prefix, CompletionContext context,
                                                 std::string_view framesOf) const
{
    const auto wanted = [&](SymbolKind kind) {
        switch (context) {
        case CompletionContext::Field: return kind == SymbolKind::Field;
        case CompletionContext::Frame: return kind == SymbolKind::FrameMacro;
        case CompletionContext::Any: return kind != SymbolKind::FrameMacro;
        }
        return false;
    };
    // Each file's names that begin with the prefix, already in order: one run per file.
    const auto before = [&](std::string_view name) {
        const int folded = compareFolded(name, prefix);
        return folded < 0 || (folded == 0 && name.size() < prefix.size());
    };
    const auto begins = [&](std::string_view name) {
        return name.size() >= prefix.size() && compareFolded(name, prefix) == 0;
    };
    using Range = std::pair<std::vector<std::uint32_t>::const_iterator, std::vector<std::uint32_t>::const_iterator>;
    std::vector<Range> ranges;
    ranges.reserve(files_.size());
    std::size_t total = 0;
    const bool onlyOneFile = context == CompletionContext::Frame && !framesOf.empty();
    for (const File &file : files_) {
        const std::vector<Symbol> &symbols = file.symbols.symbols;
        const std::vector<std::uint32_t> &order = file.symbols.byName;
        if (onlyOneFile && file.path != framesOf) {
            ranges.emplace_back(order.end(), order.end());
            continue;
        }
        const auto first = std::partition_point(order.begin(), order.end(),
                                                [&](std::uint32_t i) { return before(symbols[i].name); });
        const auto last = std::partition_point(first, order.end(), [&](std::uint32_t i) { return begins(symbols[i].name); });
        ranges.emplace_back(first, last);
        total += static_cast<std::size_t>(last - first);
    }
    std::vector<const Symbol *> names;
    names.reserve(total);
    std::vector<std::size_t> runs{0};
    for (std::size_t f = 0; f < files_.size(); ++f) {
        const std::vector<Symbol> &symbols = files_[f].symbols.symbols;
        for (auto at = ranges[f].first; at != ranges[f].second; ++at)
            if (wanted(symbols[*at].kind))
                names.push_back(&symbols[*at]);
        if (names.size() > runs.back())
            runs.push_back(names.size());
    }
    // The runs merged two by two, stably: of equal names the project's first stays.
    const auto less = [](const Symbol *a, const Symbol *b) { return compareNames(a->name, b->name) < 0; };
    std::vector<const Symbol *> merged(runs.size() > 2 ? names.size() : 0);
    while (runs.size() > 2) {
        std::vector<std::size_t> next{0};
        for (std::size_t r = 0; r + 1 < runs.size(); r += 2) {
            const std::size_t end = r + 2 < runs.size() ? runs[r + 2] : runs[r + 1];
            std::merge(names.begin() + static_cast<std::ptrdiff_t>(runs[r]),
                       names.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]),
                       names.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]),
                       names.begin() + static_cast<std::ptrdiff_t>(end),
                       merged.begin() + static_cast<std::ptrdiff_t>(runs[r]), less);
            next.push_back(end);
        }
        names.swap(merged);
        runs.swap(next);
    }
    // One of each name: its definition with a body or value rather than a prototype.
    std::vector<const Symbol *> distinct;
    distinct.reserve(names.size());
    for (const Symbol *symbol : names) {
        if (distinct.empty() || distinct.back()->name != symbol->name)
            distinct.push_back(symbol);
        else if (distinct.back()->kind == SymbolKind::Prototype)
            distinct.back() = symbol;
    }
    names.swap(distinct);
    // Only names with digits move, and only among their neighbours: nearly sorted already.
    std::stable_sort(names.begin(), names.end(),
                     [](const Symbol *a, const Symbol *b) { return namesInNumberOrder(a->name, b->name); });
    std::vector<Completion> out;
    out.reserve(names.size());
    for (const Symbol *symbol : names)
        out.push_back({symbol->name, completionDetail(*symbol)});
    return out;
}

} // namespace vardo::qc
