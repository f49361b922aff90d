#pragma once

#include "core/check/tokens.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The preprocessor of QuakeC: #define, #undef, the #if family, #include, #pragma, and the
// $frame lines that name a model's frames.
namespace vardo::check {

struct Macro {
    std::string name;
    bool hasParameters = false;
    bool variadic = false;
    std::vector<std::string> parameters;
    std::string text;          // the body's text; `body` points into it
    std::vector<Token> body;
};

using Macros = std::map<std::string, std::shared_ptr<const Macro>, std::less<>>;

// A problem with the place it is reported at.
struct Problem {
    std::uint16_t file;
    std::int32_t line;
    std::int32_t column;
    std::string message;
    bool warning = false;
};

// A file the preprocessor reads: its index for tokens and its text, which must outlive them.
struct SourceText {
    std::uint16_t file;
    const std::string *text;
};

// Finds and reads an #include: the name as written, the including file's index. Returns no
// text when there is no such file.
using IncludeReader = std::function<SourceText(const std::string &name, std::uint16_t from)>;

// Where a $frame line names a frame.
struct FramePlace {
    std::uint16_t file;
    std::int32_t line;
    std::int32_t column;
};

using Frames = std::map<std::string, FramePlace, std::less<>>;

// What one source file comes to after preprocessing, its #includes inlined.
struct Unit {
    std::vector<Token> tokens;
    Frames frames;
    std::vector<Problem> problems;
    bool autoproto = false;
    // Texts made while expanding (pasted names, stringized arguments) that tokens point into.
    std::deque<std::string> made;
    // The macros expanded, whose bodies tokens point into even after an #undef.
    std::set<std::shared_ptr<const Macro>> expanded;
};

// Preprocesses one file starting from `macros`, which it leaves as they stand at its end.
Unit preprocess(const SourceText &source, Macros &macros, const IncludeReader &include);

} // namespace vardo::check
