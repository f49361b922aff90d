#include "core/qc/symbols.h"

#include "core/qc/lexer.h"
#include "core/qc/textlines.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <unordered_set>

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

// A token of a whole file.
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
// comments that are read on their own.
class FileScanner {
public:
    explicit FileScanner(std::string_view text) : text_(text) {}

    FileSymbols run()
    {
        lex();
        parse();
        // Directive lines are read while lexing, declarations after: put them in text order.
        std::stable_sort(out_.symbols.begin(), out_.symbols.end(), [](const Symbol &a, const Symbol &b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        out_.byName.resize(out_.symbols.size());
        for (std::uint32_t i = 0; i < out_.byName.size(); ++i)
            out_.byName[i] = i;
        std::stable_sort(out_.byName.begin(), out_.byName.end(), [&](std::uint32_t a, std::uint32_t b) {
            return compareNames(out_.symbols[a].name, out_.symbols[b].name) < 0;
        });
        return std::move(out_);
    }

private:
    std::string_view textOf(const Tok &t) const { return text_.substr(t.begin, t.length); }

    void lex()
    {
        LineState state = LineState::Code;
        std::vector<Token> tokens;
        bool continued = false; // the line before ended a directive with a backslash
        forEachLine(text_, [&](std::string_view line, std::size_t index) {
            const auto lineBegin = static_cast<std::uint32_t>(line.data() - text_.data());
            const auto lineIndex = static_cast<std::uint32_t>(index);
            while (lineFirst_.size() <= index)
                lineFirst_.push_back(static_cast<std::uint32_t>(all_.size()));
            tokens.clear();
            state = lexLine(line, state, tokens);
            bool first = true;
            for (const Token &t : tokens) {
                all_.push_back({t.kind, first && !isComment(t.kind), lineBegin + t.begin, t.length, lineIndex, t.begin});
                first = first && isComment(t.kind);
            }
            const std::size_t lineStart = lineFirst_.back();
            const bool continuation = continued;
            const bool directive = continuation || isDirectiveLine(lineStart);
            continued = directive && !line.empty() && line.back() == '\\';
            if (!directive) {
                for (std::size_t i = lineStart; i < all_.size(); ++i)
                    if (!isComment(all_[i].kind))
                        code_.push_back(all_[i]);
            } else if (!continuation) {
                directiveLines_.push_back(lineStart);
            }
        });
        lineFirst_.push_back(static_cast<std::uint32_t>(all_.size()));
        // Read once every line is known: a symbol's comment may stand at the end of its line.
        for (const std::size_t lineStart : directiveLines_)
            directiveLine(lineStart);
    }

    const Tok *firstCode(std::size_t from) const
    {
        for (std::size_t i = from; i < all_.size(); ++i)
            if (!isComment(all_[i].kind))
                return &all_[i];
        return nullptr;
    }

    bool isDirectiveLine(std::size_t from) const
    {
        const Tok *first = firstCode(from);
        return first && (first->kind == TokenKind::Preprocessor ||
                         (first->kind == TokenKind::FrameMacro && isOneOf(textOf(*first), kFrameDirectives)));
    }

    // The code tokens of one line from `from`: "#define NAME ...", "#include "file"", "$frame a b".
    void directiveLine(std::size_t from)
    {
        std::vector<const Tok *> code;
        for (std::size_t i = from; i < lineFirst_[all_[from].line + 1]; ++i)
            if (!isComment(all_[i].kind))
                code.push_back(&all_[i]);
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

    std::string commentFor(std::uint32_t nameLine, std::uint32_t firstLine) const
    {
        const std::uint32_t lineEnd = lineFirst_[nameLine + 1];
        if (lineEnd > lineFirst_[nameLine]) {
            const Tok &last = all_[lineEnd - 1];
            if (last.kind == TokenKind::Comment && textOf(last).substr(0, 2) == "//")
                return std::string(lineComment(textOf(last)));
        }
        std::vector<std::string_view> above;
        for (std::uint32_t line = firstLine; line > 0 && above.size() < kCommentLines; --line) {
            const std::uint32_t begin = lineFirst_[line - 1];
            if (lineFirst_[line] != begin + 1)
                break;
            const Tok &only = all_[begin];
            if (only.kind != TokenKind::Comment || textOf(only).substr(0, 2) != "//")
                break;
            above.push_back(lineComment(textOf(only)));
        }
        std::string out;
        for (auto it = above.rbegin(); it != above.rend(); ++it)
            out.append(out.empty() ? "" : "\n").append(*it);
        return out;
    }

    // --- The declaration parser over `code_`.

    bool isPunct(std::size_t i, char c) const
    {
        return i < code_.size() && code_[i].kind == TokenKind::Punctuation && text_[code_[i].begin] == c;
    }

    bool isType(std::size_t i) const
    {
        return i < code_.size() && (code_[i].kind == TokenKind::Type ||
                                    (code_[i].kind == TokenKind::Name && isOneOf(textOf(code_[i]), kExtraTypes)));
    }

    bool isModifier(std::size_t i) const
    {
        if (i >= code_.size())
            return false;
        const std::string_view word = textOf(code_[i]);
        return (code_[i].kind == TokenKind::Keyword && (word == "const" || word == "var" || word == "local")) ||
               (code_[i].kind == TokenKind::Name && isOneOf(word, kModifiers));
    }

    // Past a bracketed group that opens at `i` with `open`.
    std::size_t skipGroup(std::size_t i, char open, char close) const
    {
        int depth = 0;
        for (; i < code_.size(); ++i) {
            if (isPunct(i, open))
                ++depth;
            else if (isPunct(i, close) && --depth <= 0)
                return i + 1;
            else if (open == '{' && depth > 0 && startsDeclarationLine(i))
                return i; // a body left open
        }
        return i;
    }

    // A line that begins in the first column with a type (or "." and a type) is taken for the
    // next declaration even inside an unclosed body.
    bool startsDeclarationLine(std::size_t i) const
    {
        const Tok &t = code_[i];
        if (!t.firstOnLine || t.column != 0)
            return false;
        return isType(i) || (isPunct(i, '.') && isType(i + 1));
    }

    // Past the statement that starts at `i`: its ";" at depth 0, or its braced group.
    std::size_t skipStatement(std::size_t i) const
    {
        while (i < code_.size()) {
            if (isPunct(i, ';') || isPunct(i, '}'))
                return i + 1;
            if (isPunct(i, '{')) {
                i = skipGroup(i, '{', '}');
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
        std::string declaration = joined(&code_[typeFirst], &code_[typeLast]);
        declaration += ' ';
        declaration += joined(&code_[nameAt], &code_[last]);
        add(code_[nameAt], kind, std::move(declaration), code_[typeFirst].line, builtin);
    }

    // Past the token at `i`, or past the group it opens.
    std::size_t skipOne(std::size_t i) const
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
        while (i < code_.size()) {
            const std::size_t next = declaration(i);
            i = next > i ? next : i + 1;
        }
    }

    // Reads one top-level declaration at `start`; returns where the next one starts.
    std::size_t declaration(std::size_t start)
    {
        if (code_[start].kind == TokenKind::Name && textOf(code_[start]) == "enum")
            return enumeration(start);
        std::size_t i = start;
        bool isConst = false, isVar = false;
        while (isModifier(i)) {
            isConst = isConst || textOf(code_[i]) == "const";
            isVar = isVar || textOf(code_[i]) == "var";
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
            if (i >= code_.size() || code_[i].kind != TokenKind::Name)
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
                return afterBody(skipGroup(i, '{', '}'));
            }
            if (isPunct(i, '=')) {
                const std::size_t equals = i++;
                if (isPunct(i, '{')) {
                    addFromCode(nameAt, SymbolKind::Function, start, typeLast, equals - 1);
                    return afterBody(skipGroup(i, '{', '}'));
                }
                if (isPunct(i, '[') && function) {
                    i = skipGroup(i, '[', ']');
                    addFromCode(nameAt, SymbolKind::FrameFunction, start, typeLast, i - 1);
                    return afterBody(isPunct(i, '{') ? skipGroup(i, '{', '}') : i);
                }
                if (i < code_.size() && code_[i].kind == TokenKind::BuiltinNumber) {
                    const std::string_view digits = textOf(code_[i]).substr(1);
                    const std::int32_t number = digits.size() <= 9 ? std::stoi(std::string(digits)) : -1;
                    addFromCode(nameAt, SymbolKind::Builtin, start, typeLast, i, number);
                    ++i;
                } else {
                    while (i < code_.size() && !isPunct(i, ',') && !isPunct(i, ';') && !startsDeclarationLine(i))
                        i = skipOne(i);
                    const SymbolKind kind = field ? SymbolKind::Field : (isVar ? SymbolKind::Global : SymbolKind::Constant);
                    addFromCode(nameAt, kind, start, typeLast, i - 1);
                }
            } else if (function && isPunct(i, ':') && i + 1 < code_.size() && code_[i + 1].kind == TokenKind::Number) {
                // Some compilers write a builtin's number after a colon.
                const std::string_view digits = textOf(code_[i + 1]);
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
        while (i < code_.size() && !isPunct(i, '{') && !isPunct(i, ';'))
            ++i;
        if (!isPunct(i, '{'))
            return skipStatement(start);
        const std::size_t end = skipGroup(i, '{', '}');
        bool expectName = true;
        for (++i; i < end && !isPunct(i, '}'); ++i) {
            if (expectName && code_[i].kind == TokenKind::Name) {
                std::size_t last = i;
                while (last + 1 < end && !isPunct(last + 1, ',') && !isPunct(last + 1, '}'))
                    ++last;
                add(code_[i], SymbolKind::Constant, joined(&code_[start], &code_[start]) + " " + joined(&code_[i], &code_[last]),
                    code_[start].line);
            }
            expectName = isPunct(i, ',');
            if (isPunct(i, '(') || isPunct(i, '['))
                i = skipOne(i) - 1;
        }
        return afterBody(end);
    }

    std::size_t afterBody(std::size_t i) const { return isPunct(i, ';') ? i + 1 : i; }

    std::string_view text_;
    std::vector<Tok> all_;
    std::vector<Tok> code_;
    std::vector<std::uint32_t> lineFirst_; // index in all_ of each line's first token
    std::vector<std::size_t> directiveLines_; // index in all_ of each directive's first token
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
    for (std::size_t i = 0; i < queue.size(); ++i) {
        File file{queue[i], {}, {}};
        try {
            file.text = read(file.path);
        } catch (...) {
            continue; // a file that went away since the list was read leaves out only itself
        }
        file.symbols = scanSymbols(file.text);
        const std::string directory = fs::path(file.path).parent_path().native();
        for (const std::string &name : file.symbols.includes) {
            std::string path = resolveSourceName(name, directory, listDirectory);
            if (!path.empty() && queued.insert(path).second)
                queue.push_back(std::move(path));
        }
        index.files_.push_back(std::move(file));
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
