#include "core/qc/compileroutput.h"

#include <algorithm>
#include <array>
#include <optional>

namespace vardo::qc {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) { return lower(a) == lower(b); });
}

std::string_view trimmedLeft(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view trimmedRight(std::string_view text)
{
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The number of decimal digits at `at`; larger numbers than a line can have count as none.
struct Number {
    int value = 0;
    std::size_t end = 0; // one past the last digit; 0 when there is no number
};

Number numberAt(std::string_view text, std::size_t at)
{
    Number number;
    std::size_t i = at;
    while (i < text.size() && isDigit(text[i]) && i - at < 9) {
        number.value = number.value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == at || (i < text.size() && isDigit(text[i])))
        return {};
    number.end = i;
    return number;
}

// A number directly followed by a colon, or none.
Number numberBeforeColon(std::string_view text, std::size_t at)
{
    const Number number = numberAt(text, at);
    return number.end != 0 && number.end < text.size() && text[number.end] == ':' ? number : Number{};
}

// A file name as compilers print it: not empty, not starting with a blank, not ending in a
// bare number (the hours of a time of day), with no control characters, and with no colon but
// a drive letter's.
bool plausibleFile(std::string_view file)
{
    if (file.empty() || isBlank(file.front()))
        return false;
    if (std::ranges::any_of(file, [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F; }))
        return false;
    const std::size_t blank = file.find_last_of(" \t");
    if (std::ranges::all_of(blank == std::string_view::npos ? file : file.substr(blank + 1), isDigit))
        return false;
    const std::size_t from = file.size() > 1 && isAlpha(file[0]) && file[1] == ':' ? 2 : 0;
    return file.find(':', from) == std::string_view::npos;
}

struct Keyword {
    std::string_view word;
    Severity severity;
};

// Longer words first where one begins another.
constexpr std::array kKeywords = {
    Keyword{"fatal error", Severity::Error}, Keyword{"werror", Severity::Error},
    Keyword{"error", Severity::Error},       Keyword{"warning", Severity::Warning},
    Keyword{"notice", Severity::Note},       Keyword{"note", Severity::Note},
};

// The severity word that opens a message: "error:", "warning:", or with a code as in
// "warning F307:".
std::optional<Severity> severityWord(std::string_view message)
{
    for (const Keyword &keyword : kKeywords) {
        if (!startsWithIgnoringCase(message, keyword.word))
            continue;
        std::string_view rest = message.substr(keyword.word.size());
        if (!rest.empty() && rest.front() == ' ') {
            const std::size_t codeEnd = rest.find_first_of(": ", 1);
            if (codeEnd == std::string_view::npos || codeEnd == 1 || rest[codeEnd] != ':')
                continue;
            rest = rest.substr(codeEnd);
        }
        if (!rest.empty() && rest.front() == ':')
            return keyword.severity;
    }
    return std::nullopt;
}

// The severity of the message after a place. id's qcc printed its errors with no word at all;
// fteqcc follows a diagnostic with "FILE:LINE:    TYPE NAME is defined here".
Severity messageSeverity(std::string_view message)
{
    message = trimmedLeft(message);
    if (const auto severity = severityWord(message))
        return *severity;
    if (message.ends_with("is defined here"))
        return Severity::Note;
    return Severity::Error;
}

// "FILE:LINE: ...", "FILE:LINE:COL: ..." and inside a macro "FILE:LINE:MACRO:LINE: ...".
std::optional<Diagnostic> colonForm(std::string_view line)
{
    const std::size_t from = line.size() > 2 && isAlpha(line[0]) && line[1] == ':' ? 2 : 0;
    const std::size_t colon = line.find(':', from);
    if (colon == std::string_view::npos || !plausibleFile(line.substr(0, colon)))
        return std::nullopt;
    const Number lineNumber = numberBeforeColon(line, colon + 1);
    if (lineNumber.value == 0)
        return std::nullopt;
    Diagnostic diagnostic{Severity::Error, std::string(line.substr(0, colon)), lineNumber.value, 0, {}};
    std::size_t rest = lineNumber.end + 1;
    if (const Number column = numberBeforeColon(line, rest); column.end != 0) {
        diagnostic.column = column.value;
        rest = column.end + 1;
    } else if (const std::size_t macroEnd = line.find(':', rest); macroEnd != std::string_view::npos) {
        const std::string_view macro = line.substr(rest, macroEnd - rest);
        const Number macroLine = numberBeforeColon(line, macroEnd + 1);
        if (!macro.empty() && macroLine.end != 0 &&
            std::ranges::all_of(macro, [](char c) { return isAlpha(c) || isDigit(c) || c == '_'; }))
            rest = macroLine.end + 1;
    }
    diagnostic.severity = messageSeverity(line.substr(rest));
    return diagnostic;
}

// "FILE(LINE): ...", "FILE(LINE) : ..." and "FILE(LINE,COL): ...".
std::optional<Diagnostic> parenthesisedForm(std::string_view line)
{
    const std::size_t open = line.find('(');
    if (open == std::string_view::npos || !plausibleFile(line.substr(0, open)))
        return std::nullopt;
    const Number lineNumber = numberAt(line, open + 1);
    if (lineNumber.end == 0 || lineNumber.value == 0)
        return std::nullopt;
    Diagnostic diagnostic{Severity::Error, std::string(line.substr(0, open)), lineNumber.value, 0, {}};
    std::size_t close = lineNumber.end;
    if (close < line.size() && line[close] == ',') {
        const Number column = numberAt(line, close + 1);
        if (column.end == 0)
            return std::nullopt;
        diagnostic.column = column.value;
        close = column.end;
    }
    if (close >= line.size() || line[close] != ')')
        return std::nullopt;
    const std::string_view rest = trimmedLeft(line.substr(close + 1));
    if (rest.empty() || rest.front() != ':')
        return std::nullopt;
    diagnostic.severity = messageSeverity(rest.substr(1));
    return diagnostic;
}

// frikqcc's "Error Q### FILE(LINE): MSG".
std::optional<Diagnostic> codeFirstForm(std::string_view line)
{
    for (const auto &[word, severity] : {std::pair{std::string_view("Error "), Severity::Error},
                                         std::pair{std::string_view("Warning "), Severity::Warning}}) {
        if (!line.starts_with(word))
            continue;
        const std::string_view code = line.substr(word.size());
        const std::size_t blank = code.find(' ');
        if (blank == std::string_view::npos || blank == 0 || code.substr(0, blank).find('(') != std::string_view::npos)
            return std::nullopt;
        auto diagnostic = parenthesisedForm(code.substr(blank + 1));
        if (diagnostic)
            diagnostic->severity = severity;
        return diagnostic;
    }
    return std::nullopt;
}

// fteqcc's closing line of a fatal stop, "Error in FILE on line N".
std::optional<Diagnostic> fatalPlace(std::string_view line)
{
    constexpr std::string_view prefix = "Error in ", onLine = " on line ";
    const std::size_t at = line.rfind(onLine);
    if (!line.starts_with(prefix) || at == std::string_view::npos || at <= prefix.size())
        return std::nullopt;
    const Number number = numberAt(line, at + onLine.size());
    if (number.end != line.size() || number.value == 0)
        return std::nullopt;
    return Diagnostic{Severity::Error, std::string(line.substr(prefix.size(), at - prefix.size())), number.value, 0, {}};
}

// fteqcc's "************ ERROR ************" that opens a fatal stop.
bool isFatalBanner(std::string_view line)
{
    line = trimmedLeft(line);
    return line.starts_with("****") && line.ends_with("****") && line.find(" ERROR ") != std::string_view::npos;
}

} // namespace

Diagnostic recognizeLine(std::string_view line)
{
    line = trimmedRight(line);
    for (auto form : {fatalPlace, codeFirstForm, parenthesisedForm, colonForm}) {
        if (auto diagnostic = form(line))
            return *std::move(diagnostic);
    }
    Diagnostic placeless;
    if (isFatalBanner(line))
        placeless.severity = Severity::Error;
    else if (const auto severity = severityWord(line))
        placeless.severity = *severity;
    return placeless;
}

std::string withoutEscapes(std::string_view line)
{
    OutputReader reader;
    std::vector<OutputReader::Line> lines = reader.feed(line);
    std::vector<OutputReader::Line> rest = reader.finish();
    std::string out;
    for (auto *part : {&lines, &rest}) {
        for (OutputReader::Line &piece : *part)
            out += piece.text;
    }
    return out;
}

namespace {

void appendEscape(std::string &out, unsigned char byte)
{
    constexpr char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t utf8Length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF)
        length = 2;
    else if (first >= 0xE0 && first <= 0xEF)
        length = 3, low = first == 0xE0 ? 0xA0 : 0x80, high = first == 0xED ? 0x9F : 0xBF;
    else if (first >= 0xF0 && first <= 0xF4)
        length = 4, low = first == 0xF0 ? 0x90 : 0x80, high = first == 0xF4 ? 0x8F : 0xBF;
    else
        return 0;
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

std::string shownText(std::string_view line, bool cut, std::size_t longest)
{
    std::string out;
    out.reserve(std::min(line.size(), longest) + 8);
    std::size_t shown = 0, at = 0;
    for (; at < line.size() && shown < longest; ++shown) {
        const auto byte = static_cast<unsigned char>(line[at]);
        const std::size_t length = utf8Length(line, at);
        // C0 controls but TAB, DEL, and C1 controls written as UTF-8.
        const bool control = (byte < 0x20 && byte != '\t') || byte == 0x7F ||
                             (byte == 0xC2 && length == 2 && static_cast<unsigned char>(line[at + 1]) < 0xA0);
        if (length == 0 || control) {
            appendEscape(out, control && length == 2 ? static_cast<unsigned char>(line[at + 1]) : byte);
            at += control ? length : 1;
        } else {
            out.append(line.substr(at, length));
            at += length;
        }
    }
    if (cut || at < line.size())
        out += "\u2026";
    return out;
}

void OutputReader::take(std::vector<Line> &out)
{
    // A copy of its own size: line_ keeps its room for the next line.
    Line line{line_, {}, cut_};
    line_.clear();
    cut_ = false;
    const std::string_view text = line.text;
    line.diagnostic = recognizeLine(text);
    if (inFatalStop_) {
        // The message and place of the stop belong to the error that caused it.
        if (!trimmedRight(text).empty() && line.diagnostic.severity == Severity::None)
            line.diagnostic.severity = Severity::Error;
        inFatalStop_ = !fatalPlace(trimmedRight(text));
    } else if (isFatalBanner(text)) {
        inFatalStop_ = true;
        errors_ = std::max(errors_, 1);
    } else if (line.diagnostic.severity == Severity::Error) {
        ++errors_;
    } else if (line.diagnostic.severity == Severity::Warning) {
        ++warnings_;
    }
    out.push_back(std::move(line));
}

// Printable ASCII and TAB: the bytes that go into the line as they are, whatever came before.
static bool isPlain(unsigned char byte)
{
    return (byte >= 0x20 && byte < 0x7F) || byte == '\t';
}

void OutputReader::put(unsigned char byte)
{
    if (returned_) {
        line_.clear();
        cut_ = false;
        returned_ = false;
    }
    if (line_.size() < kLongestLine)
        line_ += static_cast<char>(byte);
    else
        cut_ = true;
}

void OutputReader::putRun(std::string_view run)
{
    if (returned_) {
        line_.clear();
        cut_ = false;
        returned_ = false;
    }
    const std::size_t room = kLongestLine - line_.size();
    line_.append(run.substr(0, room));
    cut_ = cut_ || run.size() > room;
}

void OutputReader::endLine(std::vector<Line> &out)
{
    if (heldC2_)
        put(0xC2);
    heldC2_ = false;
    need_ = lead_ = 0;
    returned_ = false;
    state_ = State::Text;
    take(out);
}

bool OutputReader::continues(unsigned char byte) const
{
    // The second byte of some sequences is narrower: no overlong forms, no surrogates, nothing
    // past U+10FFFF.
    switch (lead_) {
    case 0xE0:
        return byte >= 0xA0 && byte <= 0xBF;
    case 0xED:
        return byte >= 0x80 && byte <= 0x9F;
    case 0xF0:
        return byte >= 0x90 && byte <= 0xBF;
    case 0xF4:
        return byte >= 0x80 && byte <= 0x8F;
    default:
        return byte >= 0x80 && byte <= 0xBF;
    }
}

// CSI, DCS, SOS, ST, OSC, PM and APC.
static bool beginsOrEndsSequence(unsigned char c1)
{
    return c1 == 0x90 || c1 == 0x98 || c1 >= 0x9B;
}

// A C1 control, as a byte of its own or as U+0080 to U+009F.
void OutputReader::c1(unsigned char byte)
{
    switch (byte) {
    case 0x9B: // CSI
        state_ = State::Csi;
        break;
    case 0x90: // DCS
    case 0x98: // SOS
    case 0x9D: // OSC
    case 0x9E: // PM
    case 0x9F: // APC
        state_ = State::String;
        break;
    case 0x9C: // ST with nothing to end
        break;
    default: // the others do nothing in a list: shown as escapes
        put(byte);
    }
}

void OutputReader::control(unsigned char byte, std::vector<Line> &out)
{
    switch (byte) {
    case '\n':
        endLine(out);
        break;
    case '\r':
        returned_ = true;
        break;
    case 0x1B:
        state_ = State::Escape;
        break;
    default: // BEL, backspace and the like: shown as escapes
        put(byte);
    }
}

void OutputReader::text(unsigned char byte, std::vector<Line> &out)
{
    if (heldC2_) {
        heldC2_ = false;
        if (byte >= 0x80 && byte <= 0x9F) {
            // U+0080 to U+009F: the controls that do nothing in a list keep both their bytes.
            if (!beginsOrEndsSequence(byte))
                put(0xC2);
            c1(byte);
            return;
        }
        put(0xC2);
        if (byte >= 0xA0 && byte <= 0xBF)
            return put(byte);
        // A broken sequence: its byte stays, and this one is taken on its own.
    }
    if (need_ > 0) {
        if (continues(byte)) {
            put(byte);
            --need_;
            lead_ = 0;
            return;
        }
        need_ = lead_ = 0;
    }
    if (isPlain(byte))
        return put(byte);
    if (byte < 0x20 || byte == 0x7F)
        return control(byte, out);
    if (byte == 0xC2) {
        heldC2_ = true;
    } else if (byte >= 0xC3 && byte <= 0xF4) {
        put(byte);
        lead_ = byte;
        need_ = byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
    } else if (byte <= 0x9F) {
        c1(byte);
    } else {
        put(byte); // no UTF-8 sequence begins with it: shown as an escape
    }
}

// After ESC, and after ESC and intermediate bytes.
void OutputReader::escape(unsigned char byte, std::vector<Line> &out)
{
    if (byte == 0x1B) {
        state_ = State::Escape;
    } else if (byte >= 0x20 && byte <= 0x2F) {
        state_ = State::EscapeIntermediate;
    } else if (state_ == State::Escape && byte == '[') {
        state_ = State::Csi;
    } else if (state_ == State::Escape && (byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_')) {
        state_ = State::String;
    } else if (byte >= 0x30 && byte <= 0x7E) {
        state_ = State::Text; // the final byte
    } else {
        // Not a sequence after all: the byte is taken as text.
        state_ = State::Text;
        text(byte, out);
    }
}

// Inside an OSC, DCS, SOS, PM or APC string, up to BEL or ST. A line end ends it too, so that
// a string left open hides no more than the rest of its line.
void OutputReader::string(unsigned char byte, std::vector<Line> &out)
{
    if (state_ == State::StringEscape) {
        if (byte == '\\') {
            state_ = State::Text;
        } else {
            state_ = State::Escape;
            escape(byte, out);
        }
        return;
    }
    if (heldC2_) {
        heldC2_ = false;
        if (byte == 0x9C) {
            state_ = State::Text;
            return;
        }
    }
    if (need_ > 0) {
        if (continues(byte)) {
            --need_;
            lead_ = 0;
            return;
        }
        need_ = lead_ = 0;
    }
    switch (byte) {
    case '\n':
        return endLine(out);
    case 0x07: // BEL
    case 0x9C: // ST
    case 0x18: // CAN
    case 0x1A: // SUB
        state_ = State::Text;
        return;
    case 0x1B:
        state_ = State::StringEscape;
        return;
    default:
        if (byte == 0xC2) {
            heldC2_ = true;
        } else if (byte >= 0xC3 && byte <= 0xF4) {
            lead_ = byte;
            need_ = byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
        }
    }
}

void OutputReader::step(unsigned char byte, std::vector<Line> &out)
{
    switch (state_) {
    case State::Text:
        return text(byte, out);
    case State::Escape:
    case State::EscapeIntermediate:
        return escape(byte, out);
    case State::Csi:
        if (byte >= 0x20 && byte <= 0x3F)
            return;
        state_ = State::Text;
        if (byte < 0x40 || byte > 0x7E)
            text(byte, out); // broken off: the byte is taken as text (ESC begins anew)
        return;
    case State::String:
    case State::StringEscape:
        return string(byte, out);
    }
}

std::vector<OutputReader::Line> OutputReader::feed(std::string_view chunk)
{
    std::vector<Line> lines;
    const char *at = chunk.data();
    const char *const end = at + chunk.size();
    while (at < end) {
        // Runs of plain text go in at once.
        if (state_ == State::Text && need_ == 0 && !heldC2_) {
            const char *run = at;
            while (run < end && isPlain(static_cast<unsigned char>(*run)))
                ++run;
            if (run != at) {
                putRun(std::string_view(at, static_cast<std::size_t>(run - at)));
                at = run;
                continue;
            }
        }
        step(static_cast<unsigned char>(*at++), lines);
    }
    return lines;
}

std::vector<OutputReader::Line> OutputReader::finish()
{
    std::vector<Line> lines;
    if (heldC2_ && state_ == State::Text)
        put(0xC2);
    heldC2_ = false;
    if (!line_.empty())
        take(lines);
    line_.clear();
    cut_ = returned_ = false;
    state_ = State::Text;
    need_ = lead_ = 0;
    return lines;
}

bool isOldFteqccComplaint(std::string_view line)
{
    return line.find("Couldn't open file #pragma") != std::string_view::npos ||
           line.find("\":\" is not a type") != std::string_view::npos;
}

} // namespace vardo::qc
