#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The text model shared by every pane: bytes in the Windows-1252 code page,
// lines separated by CR LF, positions counting a line end as two characters.
namespace vardo::text {

// What an editor's text holds between its lines: the paragraph separator.
inline constexpr char16_t kParagraphSeparator = u'\u2029';

// At most this many characters of a line are read, its line end counted among them.
constexpr std::size_t kLineReadLimit = 4096;

// The longest line a pane lays out whole. The toolkit's layout of a line without break
// opportunities grows with the square of its length (measured: 22 ms at 4,096 characters,
// 55 ms at 16,384, 400 ms at 65,536 in a wrapping pane); at this length a line still lays out
// and takes a key in about 30 ms in every pane.
constexpr std::size_t kLongLineLimit = 10000;

// Cuts every line of `lines` ('\n' between lines) that is longer than `limit` characters into
// pieces of `limit` characters, each on a line of its own. Returns whether anything was cut.
bool cutLongLines(std::u16string &lines, std::size_t limit = kLongLineLimit);

// Decodes a file's bytes into lines separated by '\n': every CR LF is one line end, and so is
// a lone CR or a lone LF.
std::u16string decodeLines(std::string_view bytes);

// How a file's lines end: all alike, several kinds, or no line end at all. A CR LF pair is one
// line end; a lone CR and a lone LF are line ends of their own.
enum class LineEnds { None, CrLf, Lf, Cr, Mixed };

// One line end.
enum class LineEnd : unsigned char { CrLf, Lf, Cr };
std::string_view bytesOf(LineEnd end);

// How the lines of a file's bytes end, as a save needs to know to write them back as they were.
struct FileLineEnds {
    LineEnds style = LineEnds::None;
    // What new lines end with: the file's most common end (CR LF first on a tie, then LF); LF
    // for a file without any.
    LineEnd common = LineEnd::Lf;
    // Each line end in order, kept only when the file mixes them.
    std::vector<LineEnd> each;
};
FileLineEnds fileLineEnds(std::string_view bytes);

// Learns a file's line ends from its bytes a slice at a time, in one pass, so that a long read
// can report progress between slices. No slice may end between the CR and the LF of a line end.
class LineEndTally {
public:
    void add(std::string_view slice);
    FileLineEnds ends() const;

private:
    void count(LineEnd end);

    std::array<std::size_t, 3> counts_{};
    std::size_t total_ = 0;
    // Begun once a second kind of end shows up: every end so far, in order.
    std::vector<LineEnd> each_;
};

// Encodes text to Windows-1252 as encodeCp1252 does, with each `separator` written as `end`.
std::string encodeLines(std::u16string_view text, char16_t separator, std::string_view end);

// Decodes Windows-1252; its five unassigned bytes map to the code points of the same value,
// so every byte string decodes and encodes back unchanged.
std::u16string decodeCp1252(std::string_view bytes);

// The character of one byte of the code page.
char16_t decodeCp1252Byte(unsigned char byte);

// Whether a character has a byte in the code page.
bool isCp1252Encodable(char16_t c);

// Encodes text to Windows-1252; a character without a byte becomes '?'.
std::string encodeCp1252(std::u16string_view text);

// Case folding for comparisons without regard to case, over the code page's letters.
char16_t foldCase(char16_t c);

struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;
};

// Position of the first occurrence of `what` lying wholly within [start, start + length) of
// `text`, or -1.
long long findText(std::u16string_view text, std::u16string_view what, std::size_t start,
                   std::size_t length, FindOptions options = {});

// A search text prepared once for many searches through large texts, forwards and backwards.
// Letters are folded as they are compared unless case must match.
class TextSearch {
public:
    static constexpr std::size_t npos = std::u16string_view::npos;

    TextSearch(std::u16string_view what, FindOptions options);

    std::size_t size() const { return what_.size(); }
    // The first occurrence that starts at or after `from` and ends by `end`, or npos.
    std::size_t next(std::u16string_view text, std::size_t from, std::size_t end = npos) const;
    // The last occurrence that starts before `before` (npos: anywhere), or npos.
    std::size_t previous(std::u16string_view text, std::size_t before = npos) const;
    // Whether an occurrence starts at `position`.
    bool matchesAt(std::u16string_view text, std::size_t position) const;

private:
    char16_t key(char16_t c) const { return options_.matchCase ? c : foldCase(c); }
    bool sameAt(std::u16string_view text, std::size_t position) const;

    std::u16string what_;
    FindOptions options_;
    // Horspool shifts by the low byte of a character: sharing a slot only makes a shift shorter.
    std::array<std::size_t, 256> forwardShift_{}, backwardShift_{};
};

} // namespace vardo::text
