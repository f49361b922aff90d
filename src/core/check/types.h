#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The types of QuakeC, interned: two equal types have one id.
namespace vardo::check {

enum class Base : std::uint8_t { Unknown, Void, Float, Int, Vector, String, Entity, Variant, Function, Field, Pointer };

using TypeId = std::uint32_t;

struct Parameter {
    TypeId type;
    std::string name;
};

struct TypeInfo {
    Base base = Base::Unknown;
    TypeId inner = 0; // a field's value, a function's result, a pointer's target
    std::vector<Parameter> parameters;
    std::size_t required = 0; // parameters a call must give
    bool varargs = false;
};

class Types {
public:
    Types();

    TypeId basic(Base base) const { return static_cast<TypeId>(base); }
    TypeId field(TypeId value);
    TypeId pointer(TypeId target);
    TypeId function(TypeId result, std::vector<Parameter> parameters, std::size_t required, bool varargs);

    const TypeInfo &operator[](TypeId id) const { return types_[id]; }

    // As a modder writes it: "float", ".vector", "void(entity e, ...)".
    std::string spelled(TypeId id) const;
    // The same type for a compiler: parameter names aside, int and float alike.
    bool same(TypeId a, TypeId b) const;
    // Whether a value of type `from` may be stored in `to`; lenient where compilers differ.
    bool assignable(TypeId to, TypeId from) const;
    // Float and int are both numbers.
    bool isNumber(TypeId id) const;
    // A type the checks know well enough to call a mismatch: float, int, vector, string, entity.
    bool isPlain(TypeId id) const;

private:
    TypeId intern(TypeInfo info);

    std::vector<TypeInfo> types_;
    std::map<std::string, TypeId> byKey_;
};

} // namespace vardo::check
