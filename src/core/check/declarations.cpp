#include "core/check/checkerimpl.h"

#include <algorithm>
#include <array>

namespace vardo::check {

namespace {

constexpr std::array<std::string_view, 18> kModifiers = {
    "local", "const", "var", "static", "nosave", "shared", "noref", "extern", "inline", "__inline",
    "optional", "__used", "nonvirtual", "virtual", "strip", "__strip", "__accumulate", "__weak"};

struct BaseName {
    std::string_view name;
    Base base;
};

constexpr std::array<BaseName, 9> kBaseNames = {{{"float", Base::Float}, {"vector", Base::Vector},
                                                 {"string", Base::String}, {"entity", Base::Entity},
                                                 {"void", Base::Void}, {"int", Base::Int},
                                                 {"integer", Base::Int}, {"__variant", Base::Variant},
                                                 {"variant", Base::Variant}}};

const BaseName *baseOf(const Token &t)
{
    if (t.kind != Tok::Name)
        return nullptr;
    for (const BaseName &b : kBaseNames)
        if (b.name == t.text)
            return &b;
    return nullptr;
}

} // namespace

FileChecker::FileChecker(const Unit &unit, Globals &globals, UnitResult &result)
    : impl_(std::make_unique<Impl>(unit, globals, result))
{
}

FileChecker::~FileChecker() = default;

void FileChecker::declarations()
{
    impl_->declarations();
}

void FileChecker::bodies()
{
    impl_->bodies();
}

FileChecker::Impl::Impl(const Unit &unit, Globals &globals, UnitResult &result)
    : unit_(unit), globals_(globals), types_(globals.types()), result_(result), tokens_(unit.tokens),
      end_(unit.tokens.size())
{
    if (!tokens_.empty()) {
        endToken_ = tokens_.back();
        endToken_.column += static_cast<std::int32_t>(endToken_.text.size());
        endToken_.line = endToken_.endLine;
    } else {
        endToken_.line = endToken_.column = 1;
    }
    endToken_.kind = Tok::End;
    endToken_.text = {};
}

const Token &FileChecker::Impl::peek(std::size_t ahead) const
{
    return at_ + ahead < end_ ? tokens_[at_ + ahead] : endToken_;
}

const Token &FileChecker::Impl::previous() const
{
    return at_ > 0 && at_ - 1 < tokens_.size() ? tokens_[at_ - 1] : endToken_;
}

const Token &FileChecker::Impl::next()
{
    const Token &t = peek();
    if (at_ < end_)
        ++at_;
    return t;
}

bool FileChecker::Impl::accept(std::string_view punct)
{
    if (!peek().is(punct))
        return false;
    ++at_;
    return true;
}

bool FileChecker::Impl::expect(std::string_view punct, const char *what)
{
    if (accept(punct))
        return true;
    const Token &t = peek();
    error(t, std::string("expected ") + what + found(t));
    return false;
}

// What stands where something else was expected.
std::string FileChecker::Impl::found(const Token &t) const
{
    if (t.kind != Tok::End)
        return ", found '" + std::string(t.text) + "'";
    return end_ < tokens_.size() ? ", found the '}' that ends the function" : " at the end of the file";
}

void FileChecker::Impl::error(const Token &t, std::string message)
{
    result_.problems.push_back({t.file, t.line, t.column, std::move(message), false});
}

void FileChecker::Impl::warning(const Token &t, std::string message)
{
    result_.problems.push_back({t.file, t.line, t.column, std::move(message), true});
}

// A missing ';' or ')' belongs after the token before it, which may be lines above.
void FileChecker::Impl::missingAfter(const Token &previous, std::string_view what)
{
    Token after = previous;
    after.line = previous.endLine;
    after.column += static_cast<std::int32_t>(previous.text.size());
    error(after, "missing '" + std::string(what) + "' here");
}

// Skips to just past `punct` at this level, or to a '}' that closes the level.
void FileChecker::Impl::skipPast(std::string_view punct)
{
    int depth = 0;
    while (!atEnd()) {
        const Token &t = peek();
        if (depth == 0 && t.is(punct)) {
            ++at_;
            return;
        }
        if (t.is("(") || t.is("{") || t.is("["))
            ++depth;
        else if (t.is(")") || t.is("}") || t.is("]")) {
            if (depth == 0)
                return;
            --depth;
        }
        ++at_;
    }
}

void FileChecker::Impl::skipStatement()
{
    skipPast(";");
}

std::size_t FileChecker::Impl::matching(std::size_t open) const
{
    int depth = 0;
    for (std::size_t i = open; i < end_; ++i) {
        const Token &t = tokens_[i];
        if (t.is("(") || t.is("[") || t.is("{"))
            ++depth;
        else if ((t.is(")") || t.is("]") || t.is("}")) && --depth == 0)
            return i;
    }
    return end_;
}

// Just past the bracket that closes the one at `open`; the end when none does.
std::size_t FileChecker::Impl::past(std::size_t open) const
{
    return std::min(matching(open) + 1, end_);
}

bool FileChecker::Impl::isModifier(const Token &t) const
{
    return t.kind == Tok::Name && std::find(kModifiers.begin(), kModifiers.end(), t.text) != kModifiers.end();
}

const Decl *FileChecker::Impl::typeName(const Token &t) const
{
    if (t.kind != Tok::Name)
        return nullptr;
    for (auto it = result_.globals.rbegin(); it != result_.globals.rend(); ++it)
        if (*it->name == t.text)
            return it->kind == DeclarationKind::Type ? &*it : nullptr;
    const Decl *d = globals_.find(t.text);
    return d && d->kind == DeclarationKind::Type ? d : nullptr;
}

// Whether a declaration starts here: modifiers, dots, a type.
bool FileChecker::Impl::startsType(std::size_t ahead) const
{
    std::size_t i = ahead;
    while (isModifier(peek(i)))
        ++i;
    if (i > ahead && !peek(i).is(".") && peek(i).kind == Tok::Name)
        return true;
    while (peek(i).is("."))
        ++i;
    const Token &t = peek(i);
    if (baseOf(t))
        return true;
    return typeName(t) && (peek(i + 1).kind == Tok::Name || peek(i + 1).is("(") || peek(i + 1).is("*"));
}

TypeId FileChecker::Impl::type(bool &ok)
{
    while (isModifier(peek()))
        next();
    int dots = 0;
    while (accept("."))
        ++dots;
    const Token &t = next();
    TypeId id = 0;
    if (const BaseName *b = baseOf(t)) {
        id = types_.basic(b->base);
    } else if (const Decl *d = typeName(t)) {
        id = d->type;
    } else if (t.isName("struct") || t.isName("union") || t.isName("class")) {
        if (peek().kind == Tok::Name)
            next();
        if (peek().is("{"))
            at_ = past(at_);
    } else {
        error(t, "expected a type" + found(t));
        ok = false;
        return 0;
    }
    const std::size_t open = peek().is("(") ? at_ : 0;
    while (peek().is("(") && ok)
        id = parameterList(id, ok);
    typeParameters_ = open;
    while (accept("*"))
        id = types_.pointer(id);
    for (int i = 0; i < dots; ++i)
        id = types_.field(id);
    return id;
}

// The parameters of a function type returning `result`: "(float a, optional entity e, ...)".
TypeId FileChecker::Impl::parameterList(TypeId result, bool &ok)
{
    next(); // (
    std::vector<Parameter> list;
    std::size_t required = 0;
    bool varargs = false;
    if (peek().isName("void") && peek(1).is(")"))
        next();
    while (ok && !peek().is(")") && !atEnd()) {
        if (accept("...")) {
            varargs = true;
            if (peek().kind == Tok::Name)
                next(); // a name for the extra arguments
        } else {
            bool optional = peek().isName("optional");
            const TypeId t = type(ok);
            std::string name;
            if (peek().kind == Tok::Name && !startsType())
                name = next().text;
            if (accept("[")) {
                skipPast("]");
            }
            if (accept("=")) {
                optional = true;
                while (!atEnd() && !peek().is(",") && !peek().is(")"))
                    next();
            }
            if (!optional)
                required = list.size() + 1;
            list.push_back({t, std::move(name)});
        }
        if (!accept(","))
            break;
    }
    if (ok && !accept(")")) {
        error(peek(), "expected ')' to end the parameters" + found(peek()));
        ok = false;
    }
    return types_.function(result, std::move(list), required, varargs);
}

void FileChecker::Impl::declarations()
{
    while (!atEnd()) {
        const std::size_t before = at_;
        globalDeclaration();
        if (at_ == before)
            ++at_;
    }
}

void FileChecker::Impl::globalDeclaration()
{
    const Token &t = peek();
    if (accept(";"))
        return;
    if (t.isName("enum") || t.isName("enumflags")) {
        enumeration();
        return;
    }
    const bool isTypedef = t.isName("typedef");
    if (isTypedef)
        next();
    if (!isTypedef && !startsType()) {
        error(t, t.kind == Tok::Name ? "unknown type '" + std::string(t.text) + "'" + globals_.nearName(t.text, Globals::Meant::Type)
                                     : "expected a declaration" + found(t));
        skipStatement();
        return;
    }
    bool ok = true;
    const TypeId base = type(ok);
    if (!ok) {
        skipStatement();
        return;
    }
    declarator(base, isTypedef);
}

void FileChecker::Impl::declarator(TypeId base, bool isTypedef)
{
    for (;;) {
        const Token &name = peek();
        if (name.kind != Tok::Name) {
            error(name, "expected a name" + found(name));
            skipStatement();
            return;
        }
        next();
        TypeId t = base;
        std::size_t parameters = 0;
        bool ok = true;
        if (peek().is("(")) {
            parameters = at_;
            t = parameterList(base, ok);
        } else if (types_[base].base == Base::Function) {
            parameters = typeParameters_; // "void(float a) f" declares them in its type
        }
        bool isArray = false;
        if (accept("[")) {
            isArray = true;
            skipPast("]");
        }
        if (!ok) {
            skipStatement();
            return;
        }
        const DeclarationKind kind = isTypedef ? DeclarationKind::Type
                                     : types_[t].base == Base::Field ? DeclarationKind::Field
                                     : types_[t].base == Base::Function ? DeclarationKind::Function
                                                                        : DeclarationKind::Global;
        const std::int32_t global = addGlobal(name, kind, t, isArray);
        if (peek().is("{") && types_[t].base == Base::Function) {
            initialiser(global, parameters);
            accept(";");
            return;
        }
        if (accept("=") && initialiser(global, parameters)) {
            accept(";"); // optional after a body
            return;
        }
        if (accept(","))
            continue;
        if (!accept(";"))
            missingAfter(previous(), ";");
        return;
    }
}

// What follows "=", or the "{" of a C-style body.
// Returns whether it was a body.
bool FileChecker::Impl::initialiser(std::int32_t global, std::size_t parameters)
{
    Decl &d = result_.globals[static_cast<std::size_t>(global)];
    d.isDefinition = true;
    if (peek().kind == Tok::Builtin) {
        next();
        d.kind = DeclarationKind::Builtin;
        if (accept(":") && peek().kind == Tok::Name)
            next();
        return false;
    }
    Task task{global, parameters, 0, 0, 0, false};
    if (peek().is("[") && types_[d.type].base == Base::Function) {
        task.frameBegin = at_;
        at_ = past(at_);
    }
    if (peek().is("{") && (types_[d.type].base == Base::Function || task.frameBegin)) {
        task.isBody = true;
        task.begin = at_ + 1;
        bool closed = true;
        task.end = bodyEnd(at_, closed);
        at_ = closed ? task.end + 1 : task.end;
        tasks_.push_back(task);
        return true;
    }
    if (peek().is("{")) { // an array's values
        task.begin = at_;
        at_ = past(at_);
        task.end = at_;
        tasks_.push_back(task);
        return false;
    }
    if (d.kind == DeclarationKind::Global)
        d.kind = DeclarationKind::Constant;
    task.begin = at_;
    int depth = 0;
    while (!atEnd() && (depth > 0 || (!peek().is(",") && !peek().is(";")))) {
        if (peek().is("(") || peek().is("["))
            ++depth;
        else if ((peek().is(")") || peek().is("]")) && depth > 0)
            --depth;
        if (peek().lineStart && startsType() && at_ > task.begin)
            break; // a missing ';': the next declaration begins
        next();
    }
    task.end = at_;
    tasks_.push_back(task);
    return false;
}

// The closing '}' of a body, or where it must have been missing: a line that begins in the
// first column with a global declaration, which code inside a body never does.
std::size_t FileChecker::Impl::bodyEnd(std::size_t open, bool &closed)
{
    int depth = 0;
    for (std::size_t i = open; i < end_; ++i) {
        const Token &t = tokens_[i];
        if (t.is("{")) {
            ++depth;
        } else if (t.is("}")) {
            if (--depth == 0)
                return i;
        } else if (t.lineStart && t.column == 1 && i + 1 < end_ &&
                   ((baseOf(t) && (tokens_[i + 1].is("(") || tokens_[i + 1].kind == Tok::Name)) ||
                    (t.is(".") && baseOf(tokens_[i + 1])))) {
            missingAfter(tokens_[i - 1], "}");
            closed = false;
            return i;
        }
    }
    missingAfter(end_ > 0 ? tokens_[end_ - 1] : endToken_, "}");
    closed = false;
    return end_;
}

std::int32_t FileChecker::Impl::addGlobal(const Token &name, DeclarationKind kind, TypeId type, bool isArray)
{
    const Decl *earlier = nullptr;
    for (const Decl &d : result_.globals)
        if (*d.name == name.text)
            earlier = &d;
    if (!earlier)
        earlier = globals_.find(name.text);
    if (earlier && !types_.same(earlier->type, type) && earlier->kind != DeclarationKind::Type)
        error(name, "'" + std::string(name.text) + "' was declared as " + types_.spelled(earlier->type) + " before, here as " +
                        types_.spelled(type));
    result_.globals.push_back(Decl{globals_.intern(name.text), kind, type, name.file, name.line, name.column, isArray});
    result_.refs.push_back(Ref{name.file, name.line, name.column, static_cast<std::int32_t>(name.text.size()), -1,
                               result_.globals.back().name});
    return static_cast<std::int32_t>(result_.globals.size() - 1);
}

// enum [: type] { A, B = 2, C };  and enumflags.
void FileChecker::Impl::enumeration()
{
    next();
    TypeId t = types_.basic(Base::Float);
    bool ok = true;
    if (accept(":") || baseOf(peek()))
        t = type(ok);
    if (peek().kind == Tok::Name && !peek().is("{"))
        next();
    if (!ok || !expect("{", "'{' after enum")) {
        skipStatement();
        return;
    }
    while (!atEnd() && !peek().is("}")) {
        const Token &name = next();
        if (name.kind != Tok::Name) {
            error(name, "expected a name in the enum" + found(name));
            skipPast("}");
            accept(";");
            return;
        }
        const std::int32_t global = addGlobal(name, DeclarationKind::Constant, t, false);
        result_.globals[static_cast<std::size_t>(global)].isDefinition = true;
        if (accept("=")) {
            Task task{global, 0, 0, at_, 0, false};
            while (!atEnd() && !peek().is(",") && !peek().is("}"))
                next();
            task.end = at_;
            tasks_.push_back(task);
        }
        if (!accept(","))
            break;
    }
    expect("}", "'}' to end the enum");
    accept(";");
}

} // namespace vardo::check
