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
    // The checker's text; empty on rows read from a compiler's output.
    std::string message;

    bool hasPlace() const { return line > 0; }
    bool operator==(const Diagnostic &) const = default;
};

// Recognises one output line on its own (no line end, no colour codes).
Diagnostic recognizeLine(std::string_view line);

// Whether an output line is one that fteqcc 3343, the version Debian packages, prints for what
// newer compilers accept: a source list with #pragma lines ("Couldn't open file #pragma") or a
// builtin given a name (`= #0:ex_bprint;` gives `":" is not a type`).
bool isOldFteqccComplaint(std::string_view line);

// A line with its terminal control sequences removed, as OutputReader removes them: CSI
// (colours, cursor moves), OSC (window titles, hyperlinks), DCS, SOS, PM and APC strings and the
// other escape sequences, in their 7-bit (ESC [) and 8-bit (0x9B, or U+009B in UTF-8) forms. A
// lone CR starts the line over (what a terminal shows after progress output); the bytes of
// other control characters and of broken UTF-8 are kept, for shownText() to make visible.
std::string withoutEscapes(std::string_view line);

// The most characters of a line that a row shows: more than a row has room for, and few enough
// that painting rows costs little.
inline constexpr std::size_t kShownLength = 500;

// A line as a row shows it, in UTF-8: control characters (TAB aside) and bytes that are not
// UTF-8 as visible escapes (\x07, \xFF), cut after `longest` characters (an escape counts as
// one) with an ellipsis, which also ends a line that was `cut` before.
std::string shownText(std::string_view line, bool cut = false, std::size_t longest = kShownLength);

// Reads a compiler's output as it arrives in chunks of any size: splits it into lines (LF;
// CRs right before it belong to the line end, as compilers under wine print CR LF), removes
// control sequences as withoutEscapes() does, recognises each line and counts errors and
// warnings. What comes out does not depend on where the chunks are cut.
class OutputReader {
public:
    struct Line {
        std::string text; // without the line end and the control sequences
        Diagnostic diagnostic;
        bool cut = false; // the line was longer than kLongestLine: the rest is not in `text`
    };

    // The most bytes of a line that are kept and recognised; the rest of a longer line is
    // passed over, so that output without line ends is read at the pipe's pace in bounded
    // memory.
    static constexpr std::size_t kLongestLine = 64 * 1024;

    // The complete lines the chunk ends; a partial last line waits for the next chunk.
    std::vector<Line> feed(std::string_view chunk);
    // The partial last line, if any, at the end of the output.
    std::vector<Line> finish();

    int errors() const { return errors_; }
    int warnings() const { return warnings_; }

private:
    enum class State : unsigned char { Text, Escape, EscapeIntermediate, Csi, String, StringEscape };

    void step(unsigned char byte, std::vector<Line> &out);
    void text(unsigned char byte, std::vector<Line> &out);
    void escape(unsigned char byte, std::vector<Line> &out);
    void string(unsigned char byte, std::vector<Line> &out);
    void control(unsigned char byte, std::vector<Line> &out);
    void c1(unsigned char byte);
    bool continues(unsigned char byte) const;
    void put(unsigned char byte);
    void putRun(std::string_view run);
    void endLine(std::vector<Line> &out);
    void take(std::vector<Line> &out);

    // The line so far.
    std::string line_;
    bool cut_ = false;
    // A lone CR came: the next character starts the line over.
    bool returned_ = false;
    State state_ = State::Text;
    // A UTF-8 sequence in progress: its first byte while its second is awaited, and how many
    // continuation bytes are still to come.
    unsigned char lead_ = 0;
    unsigned char need_ = 0;
    // A 0xC2 whose next byte tells whether it begins a C1 control (U+0080 to U+009F).
    bool heldC2_ = false;

    int errors_ = 0;
    int warnings_ = 0;
    // After fteqcc's "ERROR" banner, up to its closing "Error in FILE on line N".
    bool inFatalStop_ = false;
};

} // namespace vardo::qc
