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
// bare number (the hours of a time of day), and with no colon but a drive letter's.
bool plausibleFile(std::string_view file)
{
    if (file.empty() || isBlank(file.front()))
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
    Diagnostic diagnostic{Severity::Error, std::string(line.substr(0, colon)), lineNumber.value, 0};
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
    Diagnostic diagnostic{Severity::Error, std::string(line.substr(0, open)), lineNumber.value, 0};
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
    return Diagnostic{Severity::Error, std::string(line.substr(prefix.size(), at - prefix.size())), number.value, 0};
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
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\x1b') {
            out += line[i];
            continue;
        }
        // ESC [ parameters final-byte; any other escape drops the one character after it.
        if (i + 1 < line.size() && line[i + 1] == '[') {
            i += 2;
            while (i < line.size() && !(line[i] >= 0x40 && line[i] <= 0x7e))
                ++i;
        } else {
            ++i;
        }
    }
    return out;
}

void OutputReader::take(std::string_view raw, std::vector<Line> &out)
{
    Line line{withoutEscapes(raw), {}};
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

std::vector<OutputReader::Line> OutputReader::feed(std::string_view chunk)
{
    std::vector<Line> lines;
    while (!chunk.empty()) {
        const std::size_t room = kLongestLine - pending_.size();
        const std::size_t newline = chunk.substr(0, room).find('\n');
        if (newline == std::string_view::npos && chunk.size() < room) {
            pending_.append(chunk);
            break;
        }
        const bool ended = newline != std::string_view::npos;
        const std::size_t length = ended ? newline : room;
        std::string_view piece = chunk.substr(0, length);
        chunk.remove_prefix(ended ? length + 1 : length);
        if (!pending_.empty()) {
            pending_.append(piece);
            piece = pending_;
        }
        if (ended && piece.ends_with('\r'))
            piece.remove_suffix(1);
        take(piece, lines);
        pending_.clear();
    }
    return lines;
}

std::vector<OutputReader::Line> OutputReader::finish()
{
    std::vector<Line> lines;
    if (!pending_.empty()) {
        take(pending_, lines);
        pending_.clear();
    }
    return lines;
}

} // namespace vardo::qc
