#pragma once

#include "core/qc/sourcelist.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The definitions of a QuakeC project, read from its sources without compiling them.
namespace vardo::qc {

enum class SymbolKind : std::uint8_t {
    Function,      // void() f = { ... };  or  void f() { ... }
    FrameFunction, // void() f = [$frame, next] { ... };
    Builtin,       // void(vector v) makevectors = #1;
    Prototype,     // void() f;
    Global,        // float x;
    Constant,      // float X = 1;  const float X = 1;
    Field,         // .float health;
    FrameMacro,    // $frame stand1 stand2
    Define         // #define NAME value
};

// The kind as the window names it ("function", "field", ...).
std::string_view kindName(SymbolKind kind);

struct Symbol {
    std::string name; // a frame macro's without its "$"
    SymbolKind kind;
    std::uint32_t line;   // from 0
    std::uint32_t column; // from 0, in characters of the file's code page
    std::int32_t builtinNumber = -1;
    std::string declaration; // its text with blanks and line ends made single spaces
    std::string comment;     // its // comment: at the end of its line, else on the lines just above
};

struct FileSymbols {
    std::vector<Symbol> symbols;
    std::vector<std::string> includes; // the names of its #include lines, as written
    // The symbols' indices in the order completion offers names: without regard to case first
    // (see compareNames), so that a look-up needs no sort of its own.
    std::vector<std::uint32_t> byName;
};

// The order completion offers names in, as a reader looks for them: without regard to the case
// of ASCII letters first, then byte by byte. Negative, zero or positive as `a` comes first,
// equals `b`, or comes after it.
int compareNames(std::string_view a, std::string_view b);

// The definitions of one file's text. Bodies are skipped; a body left open while typing ends
// at the next line that starts with a type in its first column, so what follows still counts.
FileSymbols scanSymbols(std::string_view text);

// A place in a project's file.
struct Place {
    std::string path;
    std::uint32_t line;
    std::uint32_t column;
};

struct Definition {
    std::string path;
    Symbol symbol;
};

struct Reference {
    Place place;
    std::uint32_t length; // of the use as written: "$name" for a frame macro
    std::string lineText; // its line without the leading blanks
    std::uint32_t nameInText; // where the use begins in lineText
};

// What completion offers: everything but frames, only fields (after "."), only frames (after "$").
enum class CompletionContext : std::uint8_t { Any, Field, Frame };

// A name completion offers, and what it is: its type and kind (".float field",
// "void(entity e) function"), or "frame".
struct Completion {
    std::string name;
    std::string detail;

    friend bool operator==(const Completion &, const Completion &) = default;
};

// Whether `a` comes before `b` when a run of digits counts by its value: "shocka2" before
// "shocka10"; otherwise as compareNames.
bool namesInNumberOrder(std::string_view a, std::string_view b);

// The names of the current function's parameters and locals declared above `line`, from the
// text being edited, in the order they are declared.
std::vector<std::string> localNames(std::string_view text, std::uint32_t line);

class SymbolIndex {
public:
    // Indexes a project: its list itself when it is QuakeC, its files in order, and every file
    // they #include. Files that cannot be read are left out. Files are read and scanned on
    // several threads at once: `read` must allow that.
    static SymbolIndex build(const SourceList &project, const ReadFile &read);

    // Re-indexes one file of the project from its text; false when the path is not part of it.
    bool update(const std::string &path, std::string text);
    // The same with the text's symbols already scanned.
    bool replace(const std::string &path, std::string text, FileSymbols symbols);
    // The same, handing back in `text` and `symbols` what the file held before, for the caller
    // to free where it suits it.
    bool exchange(const std::string &path, std::string &text, FileSymbols &symbols);

    bool contains(const std::string &path) const;
    // The files indexed, in project order.
    std::vector<std::string> paths() const;
    std::size_t fileCount() const { return files_.size(); }
    std::size_t symbolCount() const;

    // The definitions of a name: those with a body or a value first, prototypes only when there
    // is nothing else. `frame` looks among the frame macros instead.
    std::vector<Definition> definitions(std::string_view name, bool frame = false) const;

    // Every use of a name as a name (not inside comments or strings), in project order. With
    // `frame`, the uses of "$name".
    std::vector<Reference> references(std::string_view name, bool frame = false) const;

    // The distinct names that begin with `prefix`, in number order, each with what its first
    // definition is. Frames come from the file `framesOf` alone (a frame macro belongs to the
    // file that defines it), from every file when it is empty.
    std::vector<Completion> completions(std::string_view prefix, CompletionContext context,
                                        std::string_view framesOf = {}) const;

private:
    struct File {
        std::string path;
        std::string text;
        FileSymbols symbols;
    };
    std::vector<File> files_;
};

} // namespace vardo::qc
