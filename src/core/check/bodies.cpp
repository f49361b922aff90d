#include "core/check/checkerimpl.h"

namespace vardo::check {

namespace {

// Deeper nesting than this is reported, not followed: the stack stays small.
constexpr int kMostDepth = 200;

bool isAssignment(const Token &t)
{
    static constexpr std::string_view kOps[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="};
    if (t.kind != Tok::Punct)
        return false;
    for (std::string_view op : kOps)
        if (t.text == op)
            return true;
    return false;
}

std::string quoted(std::string_view name)
{
    return "'" + std::string(name) + "'";
}

} // namespace

void FileChecker::Impl::bodies()
{
    for (const Task &t : tasks_)
        task(t);
}

void FileChecker::Impl::task(const Task &t)
{
    const Decl &owner = result_.globals[static_cast<std::size_t>(t.global)];
    function_ = t.isBody ? t.global : -1;
    resultType_ = types_[owner.type].base == Base::Function ? types_[owner.type].inner : owner.type;
    scope_.clear();
    firstLocal_ = result_.locals.size();
    if (t.parameters && t.isBody)
        parameters(t.parameters);
    if (t.frameBegin) {
        at_ = t.frameBegin + 1;
        end_ = matching(t.frameBegin);
        expression(0);
        if (accept(","))
            expression(0);
        end_ = tokens_.size();
    }
    at_ = t.begin;
    end_ = t.end;
    if (!t.isBody) {
        if (peek().is("{")) {
            next();
            while (!atEnd() && !peek().is("}")) {
                assignment(0);
                if (!accept(","))
                    break;
            }
        } else {
            checkAssign(peek(), owner.type, expression(0), "give");
        }
        end_ = tokens_.size();
        return;
    }
    bool ends = false;
    while (!atEnd()) {
        const std::size_t before = at_;
        ends = statement(0) || ends;
        if (at_ == before)
            ++at_;
    }
    const Base result = types_[resultType_].base;
    if (!ends && result != Base::Void && result != Base::Unknown && result != Base::Variant)
        warning(tokens_[std::min(t.end, tokens_.size() - 1)], quoted(*owner.name) + " can end without returning a value");
    for (std::size_t i = firstLocal_; i < result_.locals.size(); ++i) {
        const Decl &d = result_.locals[i];
        if (!d.used && d.kind == DeclarationKind::Local)
            result_.problems.push_back({d.file, d.line, d.column, "the local " + quoted(*d.name) + " is never used", true});
    }
    end_ = tokens_.size();
    function_ = -1;
}

// The parameters as locals of the function, from the list that declared them: in each
// parameter, the last name before a default value or a size that does not begin it.
void FileChecker::Impl::parameters(std::size_t open)
{
    const TypeInfo &f = types_[result_.globals[static_cast<std::size_t>(function_)].type];
    const std::size_t close = std::min(matching(open), tokens_.size());
    std::size_t n = 0, segment = open + 1;
    const Token *name = nullptr;
    bool ended = false; // past "=" or "[" in this parameter
    int depth = 0;
    for (std::size_t i = open + 1; i <= close && i < tokens_.size(); ++i) {
        const Token &t = tokens_[i];
        if (i == close || (depth == 0 && t.is(","))) {
            if (name)
                addLocal(*name, DeclarationKind::Parameter, n < f.parameters.size() ? f.parameters[n].type : 0, false);
            ++n;
            segment = i + 1;
            name = nullptr;
            ended = false;
        } else if (t.is("(") || t.is("[")) {
            ended = ended || (depth == 0 && t.is("["));
            ++depth;
        } else if (t.is(")") || t.is("]")) {
            --depth;
        } else if (depth == 0 && t.is("=")) {
            ended = true;
        } else if (depth == 0 && !ended && t.kind == Tok::Name && i > segment && !isModifier(tokens_[i - 1]) &&
                   !tokens_[i - 1].is(".")) {
            name = &t;
        }
    }
}

std::int32_t FileChecker::Impl::addLocal(const Token &name, DeclarationKind kind, TypeId type, bool isArray)
{
    Decl d{globals_.intern(name.text), kind, type, name.file, name.line, name.column, isArray};
    d.function = function_;
    d.used = kind != DeclarationKind::Local;
    result_.locals.push_back(d);
    const auto index = static_cast<std::int32_t>(result_.locals.size() - 1);
    scope_.push_back(index);
    result_.refs.push_back(Ref{name.file, name.line, name.column, static_cast<std::int32_t>(name.text.size()), index, d.name});
    return index;
}

const Decl *FileChecker::Impl::findLocal(std::string_view name, std::int32_t &index) const
{
    for (auto it = scope_.rbegin(); it != scope_.rend(); ++it)
        if (*result_.locals[static_cast<std::size_t>(*it)].name == name) {
            index = *it;
            return &result_.locals[static_cast<std::size_t>(*it)];
        }
    return nullptr;
}

const Decl *FileChecker::Impl::lookup(std::string_view name, std::int32_t &index) const
{
    const Decl *d = findLocal(name, index);
    return d ? d : globals_.find(name);
}

void FileChecker::Impl::reference(const Token &t, std::int32_t local, const Decl *decl)
{
    result_.refs.push_back(Ref{t.file, t.line, t.column, static_cast<std::int32_t>(t.text.size()), local, decl->name});
}

// Returns whether the statement never falls through to the next (it returns, or loops forever).
bool FileChecker::Impl::statement(int depth)
{
    if (depth > kMostDepth) {
        error(peek(), "statements nested too deeply");
        at_ = end_;
        return false;
    }
    const Token &t = peek();
    if (t.is("{")) {
        next();
        return block(depth + 1);
    }
    if (accept(";"))
        return false;
    if (t.isName("local") || (startsType() && !peek(1).is("(") && !peek(1).is(".")) ||
        ((t.isName("const") || t.isName("static")) && startsType(1))) {
        localDeclaration(depth);
        return false;
    }
    if (t.kind == Tok::Name) {
        if (t.text == "if") {
            bool ends = false;
            ifStatement(depth, ends);
            return ends;
        }
        if (t.text == "while" || t.text == "do") {
            bool ends = false;
            loop(depth, ends);
            return ends;
        }
        if (t.text == "for") {
            forLoop(depth);
            return false;
        }
        if (t.text == "switch") {
            next();
            expect("(", "'(' after switch");
            expression(depth + 1);
            expect(")", "')' after the switch value");
            statement(depth + 1);
            return false;
        }
        if (t.text == "case") {
            next();
            expression(depth + 1);
            if (accept(".."))
                expression(depth + 1);
            expect(":", "':' after the case value");
            return false;
        }
        if (t.text == "default" && peek(1).is(":")) {
            at_ += 2;
            return false;
        }
        if (t.text == "break" || t.text == "continue") {
            next();
            if (!accept(";"))
                missingAfter(t, ";");
            return false;
        }
        if (t.text == "return") {
            returnStatement();
            return true;
        }
        if (t.text == "goto") {
            next();
            next();
            accept(";");
            return true;
        }
        if (peek(1).is(":") && !peek(2).is(":")) {
            at_ += 2; // a label
            return false;
        }
    }
    const std::size_t problems = result_.problems.size();
    expression(depth + 1);
    if (accept(";"))
        return false;
    const Token &previous = this->previous();
    if (result_.problems.size() == problems)
        missingAfter(previous, ";");
    if (!peek().lineStart || peek().line == previous.endLine)
        skipStatement();
    return false;
}

bool FileChecker::Impl::block(int depth)
{
    bool ends = false;
    while (!atEnd() && !peek().is("}")) {
        const std::size_t before = at_;
        ends = statement(depth) || ends;
        if (at_ == before)
            ++at_;
    }
    expect("}", "'}'");
    return ends;
}

void FileChecker::Impl::localDeclaration(int depth)
{
    bool ok = true;
    const TypeId base = type(ok);
    if (!ok) {
        skipStatement();
        return;
    }
    for (;;) {
        const Token &name = next();
        if (name.kind != Tok::Name) {
            error(name, "expected a name for the local" + found(name));
            skipStatement();
            return;
        }
        TypeId t = base;
        if (peek().is("("))
            t = parameterList(base, ok);
        bool isArray = false;
        if (accept("[")) {
            isArray = true;
            skipPast("]");
        }
        Value init;
        if (accept("=") && accept("{")) {
            while (!atEnd() && !peek().is("}")) {
                assignment(depth + 1);
                if (!accept(","))
                    break;
            }
            expect("}", "'}' to end the values");
        } else if (previous().is("=")) {
            init = assignment(depth + 1);
        }
        addLocal(name, DeclarationKind::Local, t, isArray);
        if (init.type || init.zero)
            checkAssign(name, t, init, "give");
        if (!accept(","))
            break;
    }
    if (!accept(";")) {
        missingAfter(previous(), ";");
        if (!peek().lineStart)
            skipStatement();
    }
}

void FileChecker::Impl::ifStatement(int depth, bool &ends)
{
    next();
    if (peek().isName("not") || peek().is("!"))
        next(); // "if not (x)" and "if !(x)"
    expect("(", "'(' after if");
    expression(depth + 1);
    expect(")", "')' after the condition");
    const bool thenEnds = statement(depth + 1);
    if (peek().isName("else")) {
        next();
        ends = statement(depth + 1) && thenEnds;
    }
}

void FileChecker::Impl::loop(int depth, bool &ends)
{
    const bool isDo = next().text == "do";
    if (isDo) {
        statement(depth + 1);
        if (!peek().isName("while")) {
            error(peek(), "expected 'while' after the body of 'do'");
            return;
        }
        next();
    }
    expect("(", "'(' after while");
    const bool forever = peek().kind == Tok::Number && peek().text != "0" && peek(1).is(")");
    expression(depth + 1);
    expect(")", "')' after the condition");
    if (!isDo)
        statement(depth + 1);
    else if (!accept(";"))
        missingAfter(previous(), ";");
    ends = forever;
}

void FileChecker::Impl::forLoop(int depth)
{
    next();
    expect("(", "'(' after for");
    if (startsType())
        localDeclaration(depth);
    else {
        if (!peek().is(";"))
            expression(depth + 1);
        expect(";", "';' in for");
    }
    if (!peek().is(";"))
        expression(depth + 1);
    expect(";", "';' in for");
    if (!peek().is(")"))
        expression(depth + 1);
    expect(")", "')' to end the for");
    statement(depth + 1);
}

void FileChecker::Impl::returnStatement()
{
    const Token &at = next();
    if (accept(";"))
        return;
    const Value v = expression(1);
    if (types_[resultType_].base != Base::Void)
        checkAssign(at, resultType_, v, "return");
    if (!accept(";")) {
        missingAfter(previous(), ";");
        if (!peek().lineStart)
            skipStatement();
    }
}

void FileChecker::Impl::checkAssign(const Token &at, TypeId to, const Value &from, const char *context)
{
    if (from.zero || types_.assignable(to, from.type))
        return;
    const std::string what = types_.spelled(from.type), into = types_.spelled(to);
    if (std::string_view(context) == "return")
        error(at, "returns a " + what + " from a function that returns " + into);
    else
        error(at, "type mismatch: cannot " + std::string(context) + " a " + what + " to a " + into);
}

Value FileChecker::Impl::expression(int depth)
{
    Value v = assignment(depth);
    while (accept(","))
        v = assignment(depth);
    return v;
}

// fteqcc's "x (-) y" clears the bits of y in x, "x (+) y" sets them.
bool FileChecker::Impl::atBitAssignment() const
{
    return peek().is("(") && (peek(1).is("-") || peek(1).is("+")) && peek(2).is(")");
}

Value FileChecker::Impl::assignment(int depth)
{
    const Value target = conditional(depth);
    if (atBitAssignment()) {
        at_ += 3;
        assignment(depth + 1);
        return target;
    }
    if (!isAssignment(peek()))
        return target;
    const Token &op = next();
    const Value value = assignment(depth + 1);
    if (op.text == "=")
        checkAssign(op, target.type, value, "assign");
    else if (types_.isPlain(target.type) && types_.isPlain(value.type))
        arithmetic(op, target, value);
    return target;
}

Value FileChecker::Impl::conditional(int depth)
{
    const Value condition = binary(0, depth);
    if (!accept("?"))
        return condition;
    const Value a = assignment(depth + 1);
    expect(":", "':' in ?:");
    const Value b = assignment(depth + 1);
    if (a.zero)
        return b;
    return b.zero || types_.same(a.type, b.type) ? a : unknown();
}

Value FileChecker::Impl::binary(int least, int depth)
{
    Value left = unary(depth);
    while (binaryPrecedence(peek()) > least) {
        const Token &op = next();
        const Value right = binary(binaryPrecedence(op), depth + 1);
        left = arithmetic(op, left, right);
    }
    return left;
}

// The type of `a op b`, with an error where the types cannot go together.
Value FileChecker::Impl::arithmetic(const Token &op, const Value &a, const Value &b)
{
    const Base x = types_[a.type].base, y = types_[b.type].base;
    const std::string_view o = op.text.back() == '=' && op.text.size() == 2 && op.text != "==" && op.text != "!=" &&
                                       op.text != "<=" && op.text != ">="
                                   ? op.text.substr(0, 1)
                                   : op.text;
    const bool numbers = types_.isNumber(a.type) && types_.isNumber(b.type);
    if (o == "==" || o == "!=") {
        if (!a.zero && !b.zero && types_.isPlain(a.type) && types_.isPlain(b.type) && !numbers && x != y)
            error(op, "cannot compare a " + types_.spelled(a.type) + " with a " + types_.spelled(b.type));
        return of(Base::Float);
    }
    if (o == "+" || o == "-") {
        if ((x == Base::Vector && types_.isNumber(b.type)) || (y == Base::Vector && types_.isNumber(a.type)))
            error(op, "cannot " + std::string(o == "+" ? "add" : "subtract") + " a " + types_.spelled(a.type) + " and a " +
                          types_.spelled(b.type));
        if (numbers)
            return of(x == Base::Int && y == Base::Int ? Base::Int : Base::Float);
        return x == Base::Vector && y == Base::Vector ? of(Base::Vector) : unknown();
    }
    if (o == "*") {
        if (numbers)
            return of(x == Base::Int && y == Base::Int ? Base::Int : Base::Float);
        if (x == Base::Vector && y == Base::Vector)
            return of(Base::Float);
        if ((x == Base::Vector && types_.isNumber(b.type)) || (y == Base::Vector && types_.isNumber(a.type)))
            return of(Base::Vector);
        return unknown();
    }
    if (o == "/") {
        if (numbers)
            return of(Base::Float);
        return x == Base::Vector && types_.isNumber(b.type) ? of(Base::Vector) : unknown();
    }
    return of(x == Base::Int && y == Base::Int ? Base::Int : Base::Float);
}

Value FileChecker::Impl::unary(int depth)
{
    if (depth > kMostDepth) {
        error(peek(), "expression nested too deeply");
        at_ = end_;
        return unknown();
    }
    const Token &t = peek();
    if (t.is("!")) {
        next();
        unary(depth + 1);
        return of(Base::Float);
    }
    if (t.is("-") || t.is("+") || t.is("~") || t.is("++") || t.is("--")) {
        next();
        Value v = unary(depth + 1);
        v.zero = false;
        return v;
    }
    if (t.is("&") || t.is("*")) {
        next();
        unary(depth + 1);
        return unknown();
    }
    // A cast: (float) x
    if (t.is("(") && startsType(1) && !peek(2).is("(")) {
        const std::size_t save = at_;
        next();
        bool ok = true;
        const TypeId to = type(ok);
        if (ok && accept(")")) {
            unary(depth + 1);
            return Value{to, false, false, nullptr};
        }
        at_ = save;
    }
    return postfix(depth);
}

Value FileChecker::Impl::postfix(int depth)
{
    Value v = primary(depth);
    for (;;) {
        const Token &t = peek();
        if (t.is("(") && !atBitAssignment()) {
            v = call(t, v, depth + 1);
        } else if (t.is(".")) {
            next();
            v = field(v, depth + 1);
        } else if (t.is("->")) {
            next();
            if (peek().kind == Tok::Name)
                next();
            v = unknown();
        } else if (t.is("[")) {
            next();
            expression(depth + 1);
            expect("]", "']'");
            Value element = v.isArray ? v : (types_[v.type].base == Base::Vector ? of(Base::Float) : unknown());
            element.isArray = false;
            element.decl = nullptr;
            v = element;
        } else if (t.is("++") || t.is("--")) {
            next();
        } else {
            return v;
        }
    }
}

Value FileChecker::Impl::call(const Token &at, const Value &callee, int depth)
{
    next();
    std::vector<std::pair<const Token *, Value>> arguments;
    while (!atEnd() && !peek().is(")")) {
        const Token &where = peek();
        arguments.emplace_back(&where, assignment(depth + 1));
        if (!accept(","))
            break;
    }
    if (!accept(")")) {
        error(peek(), "expected ')' to end the arguments" + found(peek()));
        return unknown();
    }
    const TypeInfo &f = types_[callee.type];
    if (f.base != Base::Function)
        return unknown();
    const std::string name = callee.decl ? quoted(*callee.decl->name) : std::string("the function");
    if (arguments.size() > f.parameters.size() && !f.varargs)
        error(*arguments[f.parameters.size()].first, "too many arguments for " + name + ": it takes " +
                                                         std::to_string(f.parameters.size()));
    else if (arguments.size() < f.required) // fteqcc only warns: the rest hold what they held
        warning(at, "too few arguments for " + name + ": it takes " + std::to_string(f.required));
    for (std::size_t i = 0; i < arguments.size() && i < f.parameters.size(); ++i) {
        const Value &a = arguments[i].second;
        if (!a.zero && !types_.assignable(f.parameters[i].type, a.type))
            error(*arguments[i].first, "argument " + std::to_string(i + 1) + " of " + name + " should be a " +
                                           types_.spelled(f.parameters[i].type) + ", not a " + types_.spelled(a.type));
    }
    return Value{f.inner, false, false, nullptr};
}

// The name after "entity.": a field, a field-typed variable, or "(expression)".
Value FileChecker::Impl::field(const Value &object, int depth)
{
    if (accept("(")) {
        const Value f = expression(depth + 1);
        expect(")", "')'");
        return types_[f.type].base == Base::Field ? Value{types_[f.type].inner, false, false, nullptr} : unknown();
    }
    const Token &t = next();
    if (t.kind != Tok::Name) {
        error(t, "expected a field name after '.'" + found(t));
        return unknown();
    }
    const Base on = types_[object.type].base;
    if (on == Base::Vector && (t.text == "x" || t.text == "y" || t.text == "z"))
        return of(Base::Float);
    std::int32_t local = -1;
    const Decl *d = lookup(t.text, local);
    if (d) {
        reference(t, local, d);
        const_cast<Decl *>(d)->used = true;
        if (types_[d->type].base == Base::Field)
            return Value{types_[d->type].inner, false, false, d};
        return unknown();
    }
    const std::size_t n = t.text.size();
    if (n > 2 && t.text[n - 2] == '_' && (t.text[n - 1] == 'x' || t.text[n - 1] == 'y' || t.text[n - 1] == 'z'))
        if (const Decl *v = globals_.find(t.text.substr(0, n - 2)); v && types_[v->type].base == Base::Field) {
            reference(t, -1, v);
            return of(Base::Float);
        }
    if (on == Base::Entity) // what else has members (structs, pointers) is not followed
        error(t, "unknown field " + quoted(t.text) + globals_.nearName(t.text, Globals::Meant::Field));
    return unknown();
}

Value FileChecker::Impl::name(const Token &t)
{
    std::int32_t local = -1;
    const Decl *d = lookup(t.text, local);
    if (d) {
        reference(t, local, d);
        if (local >= 0)
            result_.locals[static_cast<std::size_t>(local)].used = true;
        return Value{d->type, false, d->isArray, d};
    }
    const std::size_t n = t.text.size();
    if (n > 2 && t.text[n - 2] == '_' && (t.text[n - 1] == 'x' || t.text[n - 1] == 'y' || t.text[n - 1] == 'z')) {
        const std::string_view base = t.text.substr(0, n - 2);
        d = lookup(base, local);
        if (d && types_[d->type].base == Base::Vector) {
            reference(t, local, d);
            if (local >= 0)
                result_.locals[static_cast<std::size_t>(local)].used = true;
            return of(Base::Float);
        }
        if (d && types_[d->type].base == Base::Field)
            return unknown();
    }
    // The compiler's own names: __FILE__, __LINE__, __NULL__ ...
    if (n > 4 && t.text.substr(0, 2) == "__" && t.text.substr(n - 2) == "__")
        return unknown();
    std::string near = globals_.nearName(t.text, Globals::Meant::Anything);
    if (near.empty())
        for (std::int32_t i : scope_)
            if (const std::string &candidate = *result_.locals[static_cast<std::size_t>(i)].name;
                candidate.size() + 2 > n && candidate.size() < n + 2 && candidate != t.text) {
                std::size_t same = 0;
                while (same < n && same < candidate.size() && candidate[same] == t.text[same])
                    ++same;
                if (same + 2 >= std::max(n, candidate.size()))
                    near = "; did you mean " + quoted(candidate) + "?";
            }
    error(t, "unknown name " + quoted(t.text) + near);
    return unknown();
}

Value FileChecker::Impl::primary(int depth)
{
    const Token &t = next();
    switch (t.kind) {
    case Tok::Name:
        return name(t);
    case Tok::Number: {
        const bool zero = t.text.find_first_not_of("0.") == std::string_view::npos;
        return Value{types_.basic(Base::Float), zero, false, nullptr};
    }
    case Tok::String:
        while (peek().kind == Tok::String)
            next();
        return of(Base::String);
    case Tok::Vector:
        return t.text.size() <= 4 ? of(Base::Float) : of(Base::Vector);
    case Tok::Frame:
        if (unit_.frames.count(t.text.substr(1)))
            result_.refs.push_back(Ref{t.file, t.line, t.column, static_cast<std::int32_t>(t.text.size()), kFrameRef,
                                       globals_.intern(t.text.substr(1))});
        else if (!globals_.frameElsewhere(t.text.substr(1)))
            error(t, "unknown frame " + quoted(t.text));
        return of(Base::Float);
    case Tok::Builtin:
        return unknown();
    default:
        break;
    }
    if (t.is("(")) {
        const Value v = expression(depth + 1);
        if (!accept(")")) {
            missingAfter(previous(), ")");
            return unknown();
        }
        return v;
    }
    if (t.is("[")) { // a vector of expressions: [x, y, z]
        while (!atEnd() && !peek().is("]")) {
            assignment(depth + 1);
            if (!accept(","))
                break;
        }
        expect("]", "']'");
        return of(Base::Vector);
    }
    if (t.kind == Tok::End)
        error(t, "the file ends in the middle of an expression");
    else
        error(t, "unexpected " + quoted(t.text));
    if (!t.is(";") && !t.is("}") && !t.is(")"))
        return unknown();
    --at_;
    return unknown();
}

} // namespace vardo::check
