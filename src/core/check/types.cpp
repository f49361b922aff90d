#include "core/check/types.h"

#include <algorithm>

namespace vardo::check {

namespace {

const char *baseName(Base base)
{
    switch (base) {
    case Base::Void: return "void";
    case Base::Float: return "float";
    case Base::Int: return "int";
    case Base::Vector: return "vector";
    case Base::String: return "string";
    case Base::Entity: return "entity";
    case Base::Variant: return "__variant";
    default: return "?";
    }
}

} // namespace

Types::Types()
{
    for (int b = 0; b <= static_cast<int>(Base::Variant); ++b)
        intern(TypeInfo{static_cast<Base>(b), 0, {}, 0, false});
}

TypeId Types::intern(TypeInfo info)
{
    std::string key = std::to_string(static_cast<int>(info.base)) + ':' + std::to_string(info.inner) + ':' +
                      std::to_string(info.required) + (info.varargs ? "v" : "");
    for (const Parameter &p : info.parameters)
        key += ',' + std::to_string(p.type) + ' ' + p.name;
    const auto found = byKey_.find(key);
    if (found != byKey_.end())
        return found->second;
    const auto id = static_cast<TypeId>(types_.size());
    types_.push_back(std::move(info));
    byKey_.emplace(std::move(key), id);
    return id;
}

TypeId Types::field(TypeId value)
{
    return intern(TypeInfo{Base::Field, value, {}, 0, false});
}

TypeId Types::pointer(TypeId target)
{
    return intern(TypeInfo{Base::Pointer, target, {}, 0, false});
}

TypeId Types::function(TypeId result, std::vector<Parameter> parameters, std::size_t required, bool varargs)
{
    return intern(TypeInfo{Base::Function, result, std::move(parameters), required, varargs});
}

std::string Types::spelled(TypeId id) const
{
    const TypeInfo &t = types_[id];
    switch (t.base) {
    case Base::Field:
        return "." + spelled(t.inner);
    case Base::Pointer:
        return spelled(t.inner) + "*";
    case Base::Function: {
        std::string text = spelled(t.inner) + "(";
        for (std::size_t i = 0; i < t.parameters.size(); ++i) {
            text += (i ? ", " : "") + spelled(t.parameters[i].type);
            if (!t.parameters[i].name.empty())
                text += " " + t.parameters[i].name;
        }
        if (t.varargs)
            text += t.parameters.empty() ? "..." : ", ...";
        return text + ")";
    }
    default:
        return baseName(t.base);
    }
}

bool Types::isNumber(TypeId id) const
{
    return types_[id].base == Base::Float || types_[id].base == Base::Int;
}

bool Types::isPlain(TypeId id) const
{
    const Base b = types_[id].base;
    return b == Base::Float || b == Base::Int || b == Base::Vector || b == Base::String || b == Base::Entity;
}

bool Types::same(TypeId a, TypeId b) const
{
    if (a == b || (isNumber(a) && isNumber(b)))
        return true;
    const TypeInfo &x = types_[a], &y = types_[b];
    if (x.base == Base::Unknown || y.base == Base::Unknown)
        return true;
    if (x.base != y.base)
        return false;
    if (x.base == Base::Field || x.base == Base::Pointer)
        return same(x.inner, y.inner);
    if (x.base != Base::Function)
        return true;
    // Extra arguments a list of "..." takes are not worth an error: compare what both name.
    if (!same(x.inner, y.inner) || (!x.varargs && !y.varargs && x.parameters.size() != y.parameters.size()))
        return false;
    for (std::size_t i = 0; i < std::min(x.parameters.size(), y.parameters.size()); ++i)
        if (!same(x.parameters[i].type, y.parameters[i].type))
            return false;
    return true;
}

bool Types::assignable(TypeId to, TypeId from) const
{
    const Base a = types_[to].base, b = types_[from].base;
    if (a == Base::Unknown || b == Base::Unknown || a == Base::Variant || b == Base::Variant)
        return true;
    if (isNumber(to) && isNumber(from))
        return true;
    if (isPlain(to) || isPlain(from) || a == Base::Void || b == Base::Void)
        return a == b;
    return true;
}

} // namespace vardo::check
