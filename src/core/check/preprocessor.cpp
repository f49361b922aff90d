#include "core/check/preprocessor.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace vardo::check {

namespace {

constexpr std::size_t kMostIncludeDepth = 32;
constexpr std::size_t kMostExpansionDepth = 200;
constexpr int kMostConditionDepth = 100;
// What one file may make through macros, in tokens and in bytes of pasted or quoted text: far
// above any mod, and far below what a few lines of doubling macros would fill the memory with.
constexpr std::size_t kMostExpandedTokens = 1'000'000;
constexpr std::size_t kMostMadeBytes = 16'000'000;
// An #if line's value after its macros are replaced.
constexpr std::size_t kMostConditionTokens = 100'000;

constexpr std::array<std::string_view, 13> kFrameDirectives = {
    "frame", "framevalue", "cd", "origin", "base", "skin", "scale", "modelname",
    "flush", "framesave", "framerestore", "spritename", "skin2"};

bool isFrameDirective(std::string_view word)
{
    return std::find(kFrameDirectives.begin(), kFrameDirectives.end(), word) != kFrameDirectives.end();
}

// The directive's name without its "#" and the blanks after it.
std::string_view directiveName(const Token &t)
{
    std::string_view name = t.text.substr(1);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t'))
        name.remove_prefix(1);
    return name;
}

// Evaluates the condition of an #if: C's integer operators, defined(NAME), macros by value,
// other names 0.
class ConditionValue {
public:
    ConditionValue(const std::vector<Token> &tokens, const Macros &macros) : macros_(macros) { expand(tokens, 0); }

    long value()
    {
        const long v = binary(0, 0);
        return ok_ ? v : 0;
    }

private:
    void expand(const std::vector<Token> &tokens, std::size_t depth)
    {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const Token &t = tokens[i];
            if (t.isName("defined")) {
                std::size_t j = i + 1;
                const bool paren = j < tokens.size() && tokens[j].is("(");
                if (paren)
                    ++j;
                const bool known = j < tokens.size() && macros_.count(tokens[j].text) != 0;
                i = paren && j + 1 < tokens.size() && tokens[j + 1].is(")") ? j + 1 : j;
                out_.push_back(known ? one_ : zero_);
                continue;
            }
            if (out_.size() > kMostConditionTokens) {
                ok_ = false;
                return;
            }
            const auto macro = t.kind == Tok::Name ? macros_.find(t.text) : macros_.end();
            if (macro != macros_.end() && !macro->second->hasParameters && depth < 16)
                expand(macro->second->body, depth + 1);
            else
                out_.push_back(t);
        }
    }

    static long apply(std::string_view op, long a, long b)
    {
        if (op == "||") return a || b;
        if (op == "&&") return a && b;
        if (op == "|") return a | b;
        if (op == "^") return a ^ b;
        if (op == "&") return a & b;
        if (op == "==") return a == b;
        if (op == "!=") return a != b;
        if (op == "<") return a < b;
        if (op == ">") return a > b;
        if (op == "<=") return a <= b;
        if (op == ">=") return a >= b;
        if (op == "<<") return (b >= 0 && b < 63) ? a << b : 0;
        if (op == ">>") return (b >= 0 && b < 63) ? a >> b : 0;
        if (op == "+") return a + b;
        if (op == "-") return a - b;
        if (op == "*") return a * b;
        if (op == "/") return b ? a / b : 0;
        return b ? a % b : 0;
    }

    long binary(int least, int depth)
    {
        long left = unary(depth);
        while (at_ < out_.size() && binaryPrecedence(out_[at_]) > least) {
            const Token &op = out_[at_++];
            const long right = binary(binaryPrecedence(op), depth + 1);
            left = apply(op.text, left, right);
        }
        return left;
    }

    long unary(int depth)
    {
        if (depth > kMostConditionDepth || at_ >= out_.size()) {
            ok_ = false;
            return 0;
        }
        const Token &t = out_[at_++];
        if (t.is("!"))
            return !unary(depth + 1);
        if (t.is("-"))
            return -unary(depth + 1);
        if (t.is("(")) {
            const long v = binary(0, depth + 1);
            if (at_ < out_.size() && out_[at_].is(")"))
                ++at_;
            return v;
        }
        if (t.kind == Tok::Number)
            return std::strtol(std::string(t.text).c_str(), nullptr, 0);
        return 0;
    }

    const Macros &macros_;
    std::vector<Token> out_;
    std::size_t at_ = 0;
    bool ok_ = true;
    Token one_{Tok::Number, false, 0, 0, 0, "1", 0};
    Token zero_{Tok::Number, false, 0, 0, 0, "0", 0};
};

class Preprocessor {
public:
    Preprocessor(Macros &macros, const IncludeReader &include) : macros_(macros), include_(include) {}

    Unit run(const SourceText &source)
    {
        push(source);
        while (!stack_.empty())
            step();
        return std::move(unit_);
    }

private:
    struct Input {
        std::vector<Token> tokens;
        std::size_t at = 0;
        const Macro *macro = nullptr; // the macro this expands; none for a file
        std::size_t conditions = 0;   // open conditions when the file began
    };

    struct Branch {
        bool outerActive;
        bool active;
        bool taken;
        Token at;
    };

    void problem(const Token &t, std::string message, bool warning = false)
    {
        unit_.problems.push_back({t.file, t.line, t.column, std::move(message), warning});
    }

    bool active() const { return conditions_.empty() || conditions_.back().active; }

    void push(const SourceText &source)
    {
        std::vector<LexProblem> problems;
        Input input;
        input.tokens = tokenize(*source.text, source.file, problems);
        input.conditions = conditions_.size();
        for (LexProblem &p : problems)
            unit_.problems.push_back({source.file, p.line, p.column, std::move(p.message), false});
        files_.push_back(source.file);
        stack_.push_back(std::move(input));
    }

    void pop()
    {
        Input &top = stack_.back();
        if (!top.macro) {
            while (conditions_.size() > top.conditions) {
                problem(conditions_.back().at, "this #if has no #endif");
                conditions_.pop_back();
            }
            files_.pop_back();
        }
        stack_.pop_back();
    }

    void step()
    {
        Input &top = stack_.back();
        if (top.at >= top.tokens.size()) {
            pop();
            return;
        }
        const Token t = top.tokens[top.at];
        if (!top.macro && t.kind == Tok::Directive && t.lineStart && (t.text[0] == '#' || isFrameDirective(t.text.substr(1)))) {
            ++top.at;
            std::vector<Token> line = restOfLine(top);
            directive(t, line);
            return;
        }
        ++top.at;
        if (!active())
            return;
        if (t.kind == Tok::Name) {
            const auto macro = macros_.find(t.text);
            if (macro != macros_.end() && !expanding(macro->second.get())) {
                expand(t, macro->second);
                return;
            }
        }
        emit(t);
    }

    void emit(Token t)
    {
        if (t.kind == Tok::Directive)
            t.kind = t.text[0] == '$' ? Tok::Frame : Tok::Punct;
        unit_.tokens.push_back(t);
    }

    static std::vector<Token> restOfLine(Input &input)
    {
        std::vector<Token> line;
        while (input.at < input.tokens.size()) {
            const Token &t = input.tokens[input.at];
            if (t.lineStart && !(!line.empty() && line.back().is("\\")))
                break;
            if (!line.empty() && line.back().is("\\"))
                line.pop_back();
            line.push_back(t);
            ++input.at;
        }
        return line;
    }

    bool expanding(const Macro *macro) const
    {
        return std::any_of(stack_.begin(), stack_.end(), [&](const Input &i) { return i.macro == macro; });
    }

    // The next token for a macro's arguments, across the ends of expansions but not of files.
    const Token *nextRaw()
    {
        while (!stack_.empty()) {
            Input &top = stack_.back();
            if (top.at < top.tokens.size())
                return &top.tokens[top.at];
            if (!top.macro)
                return nullptr;
            stack_.pop_back();
        }
        return nullptr;
    }

    bool overBudget() const { return expanded_ > kMostExpandedTokens || madeBytes_ > kMostMadeBytes; }

    void tooFar(const Token &site, const Macro &macro)
    {
        if (!tooDeep_)
            problem(site, "the macro " + macro.name + " expands too far");
        tooDeep_ = true;
    }

    void expand(const Token &site, const std::shared_ptr<const Macro> &macro)
    {
        if (stack_.size() > kMostExpansionDepth || overBudget()) {
            tooFar(site, *macro);
            return;
        }
        std::vector<std::vector<Token>> arguments;
        if (macro->hasParameters) {
            const Token *open = nextRaw();
            if (!open || !open->is("(")) {
                emit(site);
                return;
            }
            ++stack_.back().at;
            if (!readArguments(site, arguments))
                return;
        }
        unit_.expanded.insert(macro);
        Input input;
        input.macro = macro.get();
        input.tokens = substitute(site, *macro, arguments);
        expanded_ += input.tokens.size();
        if (overBudget()) {
            tooFar(site, *macro);
            return;
        }
        stack_.push_back(std::move(input));
    }

    bool readArguments(const Token &site, std::vector<std::vector<Token>> &arguments)
    {
        arguments.emplace_back();
        int depth = 0;
        for (const Token *t = nextRaw(); t; t = nextRaw()) {
            const Token token = *t;
            ++stack_.back().at;
            if (token.is("(") || token.is("[")) {
                ++depth;
            } else if ((token.is(")") || token.is("]")) && depth > 0) {
                --depth;
            } else if (token.is(")")) {
                return true;
            } else if (token.is(",") && depth == 0) {
                arguments.emplace_back();
                continue;
            }
            arguments.back().push_back(token);
        }
        problem(site, "the arguments of " + std::string(site.text) + " have no closing )");
        return false;
    }

    std::vector<Token> substitute(const Token &site, const Macro &macro, const std::vector<std::vector<Token>> &arguments)
    {
        const auto argument = [&](std::string_view name) -> const std::vector<Token> * {
            for (std::size_t i = 0; i < macro.parameters.size(); ++i)
                if (macro.parameters[i] == name)
                    return i < arguments.size() ? &arguments[i] : &none_;
            if (macro.variadic && name == "__VA_ARGS__")
                return macro.parameters.size() < arguments.size() ? &arguments[macro.parameters.size()] : &none_;
            return nullptr;
        };
        std::vector<Token> out;
        // An argument used many times multiplies: stop once the whole budget is spent.
        for (std::size_t i = 0; i < macro.body.size() && out.size() <= kMostExpandedTokens && !overBudget(); ++i) {
            const Token &t = macro.body[i];
            if (t.is("#") && i + 1 < macro.body.size() && argument(macro.body[i + 1].text)) {
                out.push_back(made(site, Tok::String, "\"" + spelled(*argument(macro.body[++i].text)) + "\""));
            } else if (t.is("##") && !out.empty() && i + 1 < macro.body.size()) {
                const Token &next = macro.body[++i];
                const std::vector<Token> *value = argument(next.text);
                const std::string right = value ? spelled(*value) : std::string(next.text);
                out.back() = made(site, out.back().kind, std::string(out.back().text) + right);
            } else if (const std::vector<Token> *value = t.kind == Tok::Name ? argument(t.text) : nullptr) {
                for (const Token &a : *value)
                    out.push_back(at(site, a));
            } else {
                out.push_back(at(site, t));
            }
        }
        return out;
    }

    static std::string spelled(const std::vector<Token> &tokens)
    {
        std::string text;
        for (const Token &t : tokens)
            text += (text.empty() ? "" : " ") + std::string(t.text);
        return text;
    }

    static Token at(const Token &site, Token t)
    {
        t.file = site.file;
        t.line = site.line;
        t.column = site.column;
        t.endLine = site.line;
        t.lineStart = false;
        return t;
    }

    Token made(const Token &site, Tok kind, std::string text)
    {
        madeBytes_ += text.size();
        unit_.made.push_back(std::move(text));
        Token t = at(site, Token{});
        t.kind = kind;
        t.text = unit_.made.back();
        return t;
    }

    void directive(const Token &t, const std::vector<Token> &line)
    {
        const std::string_view name = directiveName(t);
        if (t.text[0] == '$') {
            if (active() && name == "frame")
                for (const Token &f : line)
                    unit_.frames.emplace(f.text, FramePlace{f.file, f.line, f.column});
            return;
        }
        if (name == "if" || name == "ifdef" || name == "ifndef") {
            bool value = false;
            if (active()) {
                if (name == "if")
                    value = ConditionValue(line, macros_).value() != 0;
                else
                    value = (!line.empty() && macros_.count(line.front().text)) == (name == "ifdef");
            }
            conditions_.push_back({active(), value, value, t});
        } else if (name == "else" || name == "elif") {
            if (conditions_.size() <= stack_.back().conditions) {
                problem(t, "#" + std::string(name) + " without #if");
                return;
            }
            Branch &c = conditions_.back();
            const bool value = c.outerActive && !c.taken && (name == "else" || ConditionValue(line, macros_).value() != 0);
            c.active = value;
            c.taken = c.taken || value;
        } else if (name == "endif") {
            if (conditions_.size() <= stack_.back().conditions)
                problem(t, "#endif without #if");
            else
                conditions_.pop_back();
        } else if (active()) {
            activeDirective(t, name, line);
        }
    }

    void activeDirective(const Token &t, std::string_view name, const std::vector<Token> &line)
    {
        if (name == "define") {
            define(t, line);
        } else if (name == "undef") {
            if (!line.empty())
                macros_.erase(std::string(line.front().text));
        } else if (name == "include") {
            includeFile(t, line);
        } else if (name == "pragma") {
            if (!line.empty() && line.front().isName("autoproto"))
                unit_.autoproto = true;
        } else if (name == "error") {
            problem(t, "#error " + spelled(line));
        } else if (name == "warning") {
            problem(t, "#warning " + spelled(line), true);
        } else if (name != "message" && name != "line" && name != "output" && name != "includelist" &&
                   name != "endlist" && name != "datafile" && name != "copyright" && name != "eof") {
            problem(t, "unknown directive #" + std::string(name), true);
        }
    }

    void define(const Token &t, const std::vector<Token> &line)
    {
        if (line.empty() || line.front().kind != Tok::Name) {
            problem(t, "#define needs a name");
            return;
        }
        auto macro = std::make_shared<Macro>();
        macro->name = line.front().text;
        std::size_t i = 1;
        // A parameter list touches the name: "#define f(x)", not "#define f (x)".
        if (i < line.size() && line[i].is("(") && line[i].line == line[0].line &&
            line[i].column == line[0].column + static_cast<std::int32_t>(line[0].text.size())) {
            macro->hasParameters = true;
            for (++i; i < line.size() && !line[i].is(")"); ++i) {
                if (line[i].is("..."))
                    macro->variadic = true;
                else if (line[i].kind == Tok::Name)
                    macro->parameters.emplace_back(line[i].text);
            }
            ++i;
        }
        for (; i < line.size(); ++i)
            macro->text += std::string(line[i].text) + ' ';
        std::vector<LexProblem> ignored;
        macro->body = tokenize(macro->text, t.file, ignored);
        macros_[macro->name] = std::move(macro);
    }

    void includeFile(const Token &t, const std::vector<Token> &line)
    {
        std::string name;
        if (!line.empty() && line.front().kind == Tok::String)
            name = line.front().text.substr(1, line.front().text.size() >= 2 ? line.front().text.size() - 2 : 0);
        else if (!line.empty() && line.front().is("<"))
            for (std::size_t i = 1; i < line.size() && !line[i].is(">"); ++i)
                name += line[i].text;
        if (name.empty()) {
            problem(t, "#include needs a file name");
            return;
        }
        const SourceText source = include_(name, t.file);
        if (!source.text) {
            problem(t, "cannot find the included file " + name);
        } else if (std::find(files_.begin(), files_.end(), source.file) != files_.end()) {
            problem(t, name + " includes itself");
        } else if (files_.size() >= kMostIncludeDepth) {
            problem(t, "#include nested too deeply");
        } else {
            push(source);
        }
    }

    Macros &macros_;
    const IncludeReader &include_;
    Unit unit_;
    std::vector<Input> stack_;
    std::vector<Branch> conditions_;
    std::vector<std::uint16_t> files_;
    std::size_t expanded_ = 0;
    std::size_t madeBytes_ = 0;
    bool tooDeep_ = false;
    const std::vector<Token> none_;
};

} // namespace

Unit preprocess(const SourceText &source, Macros &macros, const IncludeReader &include)
{
    return Preprocessor(macros, include).run(source);
}

} // namespace vardo::check
