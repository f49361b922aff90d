#pragma once

#include "core/check/filechecker.h"

#include <cstddef>
#include <string>
#include <vector>

// The inside of FileChecker, shared by its two halves: declarations.cpp and bodies.cpp.
namespace vardo::check {

// A function body or an initialiser found by the first pass, read by the second.
struct Task {
    std::int32_t global;           // the declaration it belongs to
    std::size_t parameters = 0;    // the "(" of the parameter list; 0 for none
    std::size_t frameBegin = 0;    // the "[" of a frame function's state; 0 for none
    std::size_t begin = 0;         // first token of the body or value
    std::size_t end = 0;           // one past its last token
    bool isBody = false;
};

// The value of an expression as the checks see it.
struct Value {
    TypeId type = 0; // Unknown
    bool zero = false;     // the constant 0, which fits any type
    bool isArray = false;
    const Decl *decl = nullptr;
};

class FileChecker::Impl {
public:
    Impl(const Unit &unit, Globals &globals, UnitResult &result);

    void declarations();
    void bodies();

private:
    // Tokens
    const Token &peek(std::size_t ahead = 0) const;
    const Token &next();
    const Token &previous() const;
    bool accept(std::string_view punct);
    bool expect(std::string_view punct, const char *what);
    bool atEnd() const { return at_ >= end_; }
    std::string found(const Token &t) const;
    void error(const Token &t, std::string message);
    void warning(const Token &t, std::string message);
    void missingAfter(const Token &previous, std::string_view what);
    void skipPast(std::string_view punct);
    void skipStatement();
    std::size_t matching(std::size_t open) const;
    std::size_t past(std::size_t open) const;

    // Types
    bool startsType(std::size_t ahead = 0) const;
    bool isModifier(const Token &t) const;
    const Decl *typeName(const Token &t) const;
    TypeId type(bool &ok);
    TypeId parameterList(TypeId result, bool &ok);

    // Declarations
    void globalDeclaration();
    void declarator(TypeId base, bool isTypedef);
    bool initialiser(std::int32_t global, std::size_t parameters);
    std::int32_t addGlobal(const Token &name, DeclarationKind kind, TypeId type, bool isArray);
    void enumeration();
    std::size_t bodyEnd(std::size_t open, bool &closed);

    // Bodies
    void task(const Task &t);
    void parameters(std::size_t open);
    bool statement(int depth);
    bool block(int depth);
    void localDeclaration(int depth);
    void ifStatement(int depth, bool &ends);
    void loop(int depth, bool &ends);
    void forLoop(int depth);
    void returnStatement();
    Value expression(int depth);
    bool atBitAssignment() const;
    Value assignment(int depth);
    Value conditional(int depth);
    Value binary(int least, int depth);
    Value unary(int depth);
    Value postfix(int depth);
    Value primary(int depth);
    Value name(const Token &t);
    Value field(const Value &object, int depth);
    Value call(const Token &at, const Value &callee, int depth);
    Value arithmetic(const Token &op, const Value &a, const Value &b);
    void checkAssign(const Token &at, TypeId to, const Value &from, const char *context);
    Value unknown() const { return Value{}; }
    Value of(Base b) const { return Value{types_.basic(b), false, false, nullptr}; }
    std::int32_t addLocal(const Token &name, DeclarationKind kind, TypeId type, bool isArray);
    const Decl *findLocal(std::string_view name, std::int32_t &index) const;
    // The local of that name in scope (its index in `index`), else the global; null for neither.
    const Decl *lookup(std::string_view name, std::int32_t &index) const;
    void reference(const Token &t, std::int32_t local, const Decl *decl);

    const Unit &unit_;
    Globals &globals_;
    Types &types_;
    UnitResult &result_;
    const std::vector<Token> &tokens_;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    Token endToken_;
    std::vector<Task> tasks_;
    std::size_t typeParameters_ = 0; // the "(" of the last type's parameters

    // The function being checked.
    std::int32_t function_ = -1;
    TypeId resultType_ = 0;
    std::vector<std::int32_t> scope_; // visible locals, latest last
    std::size_t firstLocal_ = 0;
};

} // namespace vardo::check
