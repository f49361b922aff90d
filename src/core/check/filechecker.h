#pragma once

#include "core/check/preprocessor.h"
#include "core/check/projectchecker.h"
#include "core/check/types.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The parser and the checks of one preprocessed file: first its global declarations, then,
// once every file's are known, its function bodies and initialisers.
namespace vardo::check {

struct Decl {
    const std::string *name; // interned by the project
    DeclarationKind kind;
    TypeId type;
    std::uint16_t file;
    std::int32_t line;
    std::int32_t column;
    bool isArray = false;
    bool isDefinition = false; // has a body, a value or a builtin number
    std::int32_t function = -1; // a local's function: index of its global
    bool used = false;
};

// A name in the code and what it stands for: a local of the same unit, a global by name, or a
// frame of the unit (kFrameRef).
inline constexpr std::int32_t kFrameRef = -2;

struct Ref {
    std::uint16_t file;
    std::int32_t line;
    std::int32_t column;
    std::int32_t length;
    std::int32_t local; // index into the unit's locals; -1 for a global, kFrameRef for a frame
    const std::string *name;
};

// What the file checker asks the project.
class Globals {
public:
    virtual ~Globals() = default;
    // The declaration of a global name, from any file; null when there is none.
    virtual const Decl *find(std::string_view name) const = 0;
    // What a misspelt name may have meant.
    enum class Meant { Anything, Field, Type };
    // "; did you mean 'x'?" for a declared name near a misspelt one, else nothing.
    virtual std::string nearName(std::string_view name, Meant meant) const = 0;
    virtual const std::string *intern(std::string_view name) = 0;
    // Whether another file names this frame: lenient where compilers keep frames across files.
    virtual bool frameElsewhere(std::string_view name) const = 0;
    virtual Types &types() = 0;
};

// What checking a unit leaves behind.
struct UnitResult {
    std::vector<Decl> globals;
    std::vector<Decl> locals;
    std::vector<Ref> refs;
    std::vector<Problem> problems;
};

class FileChecker {
public:
    FileChecker(const Unit &unit, Globals &globals, UnitResult &result);
    ~FileChecker();

    // Reads the global declarations into result.globals; bodies are only found, not read.
    void declarations();
    // Checks the bodies and initialisers found by declarations(), with every global known.
    void bodies();

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vardo::check
