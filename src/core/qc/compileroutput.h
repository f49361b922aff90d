#pragma once

#include <string>
#include <string_view>
#include <vector>

// What QuakeC compilers print: the diagnostics in their output lines and where they point.
// Knows the formats of fteqcc, gmqcc, frikqcc, qfcc and id's original qcc.
namespace vardo::qc {

enum class Severity { None, Error, Warning, Note };

// One recognised output line. `line` is 0 when the line names no place; lines and columns
// count from 1, and `column` is 0 when the compiler gave none.
struct Diagnostic {
    Severity severity = Severity::None;
    std::string file;
    int line = 0;
    int column = 0;

    bool hasPlace() const { return line > 0; }
    bool operator==(const Diagnostic &) const = default;
};

// Recognises one output line on its own (no line end, no colour codes).
Diagnostic recognizeLine(std::string_view line);

// A line with its terminal colour and cursor sequences removed.
std::string withoutEscapes(std::string_view line);

// Reads a compiler's output as it arrives in chunks of any size: splits it into lines (LF or
// CR LF), removes escape sequences, recognises each line and counts errors and warnings.
class OutputReader {
public:
    struct Line {
        std::string text;
        Diagnostic diagnostic;
    };

    // A line longer than this is cut into pieces of this length, so that output without line
    // ends cannot grow without bound.
    static constexpr std::size_t kLongestLine = 64 * 1024;

    // The complete lines the chunk ends; a partial last line waits for the next chunk.
    std::vector<Line> feed(std::string_view chunk);
    // The partial last line, if any, at the end of the output.
    std::vector<Line> finish();

    int errors() const { return errors_; }
    int warnings() const { return warnings_; }

private:
    void take(std::string_view raw, std::vector<Line> &out);

    std::string pending_;
    int errors_ = 0;
    int warnings_ = 0;
    // After fteqcc's "ERROR" banner, up to its closing "Error in FILE on line N".
    bool inFatalStop_ = false;
};

} // namespace vardo::qc
