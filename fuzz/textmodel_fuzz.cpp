// The text model: decoding with line-end conversion and the code page, the cutting of long
// lines, find text, case folding, and the safe save read back from disk.
#include "core/files/fileio.h"
#include "core/text/textmodel.h"
#include "fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace text = vardo::text;
namespace fileio = vardo::fileio;

namespace {

// The one directory every save goes to: a file and a symbolic link to it.
std::string gDirectory;
std::string gFile;
std::string gLink;

void removeDirectory()
{
    ::unlink(gLink.c_str());
    ::unlink(gFile.c_str());
    ::rmdir(gDirectory.c_str());
}

// The bytes with every CR LF, lone CR and lone LF made one '\n'.
std::string normalisedLineEnds(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        out += bytes[i] == '\r' ? '\n' : bytes[i];
    }
    return out;
}

// Each line longer than the limit becomes its pieces of `limit` characters, in order, each on
// a line of its own; every other line stays as it is.
void checkCutLongLines(std::u16string_view lines, std::size_t limit)
{
    std::u16string expected;
    bool anyLong = false;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(lines.find(u'\n', start), lines.size());
        const std::u16string_view line = lines.substr(start, end - start);
        anyLong = anyLong || line.size() > limit;
        for (std::size_t piece = 0; piece < line.size(); piece += limit)
            expected.append(line.substr(piece, limit)).append(piece + limit < line.size() ? u"\n" : u"");
        if (end == lines.size())
            break;
        expected += u'\n';
        start = end + 1;
    }
    std::u16string cut(lines);
    FUZZ_CHECK(text::cutLongLines(cut, limit) == anyLong);
    FUZZ_CHECK(cut == expected);
}

void checkCodePage(std::string_view bytes)
{
    const std::u16string decoded = text::decodeCp1252(bytes);
    FUZZ_CHECK(decoded.size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        FUZZ_CHECK(decoded[i] == text::decodeCp1252Byte(static_cast<unsigned char>(bytes[i])));
        FUZZ_CHECK(text::isCp1252Encodable(decoded[i]));
    }
    FUZZ_CHECK(text::encodeCp1252(decoded) == bytes);

    const std::u16string lines = text::decodeLines(bytes);
    FUZZ_CHECK(lines.find(u'\r') == std::u16string::npos);
    FUZZ_CHECK(text::encodeCp1252(lines) == normalisedLineEnds(bytes));
    // Loading what a save of the pane wrote gives the same lines back.
    FUZZ_CHECK(text::decodeLines(text::encodeCp1252(withCrLf(lines))) == lines);
    checkCutLongLines(lines, 1 + bytes.size() % 64);
}

void checkFoldCase(std::u16string_view text)
{
    for (const char16_t c : text) {
        const char16_t f = text::foldCase(c);
        FUZZ_CHECK(text::foldCase(f) == f);
        if (c < 0x80)
            FUZZ_CHECK(f == ((c >= u'A' && c <= u'Z') ? c + 32 : c));
        if (text::isCp1252Encodable(c))
            FUZZ_CHECK(text::isCp1252Encodable(f));
    }
}

void checkSave(std::string_view bytes, bool throughLink)
{
    const std::string &path = throughLink ? gLink : gFile;
    fileio::saveFileSafely(path, bytes);
    FUZZ_CHECK(fileio::readWholeFile(gFile, bytes.size()) == bytes);
    FUZZ_CHECK(fileio::readWholeFile(gLink, bytes.size()) == bytes);
    if (!bytes.empty()) {
        bool tooLarge = false;
        try {
            fileio::readWholeFile(gFile, bytes.size() - 1);
        } catch (const fileio::TooLargeError &) {
            tooLarge = true;
        }
        FUZZ_CHECK(tooLarge);
    }
    // The link stays a link, and no temporary file is left behind.
    struct stat st {};
    FUZZ_CHECK(::lstat(gLink.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    DIR *dir = ::opendir(gDirectory.c_str());
    FUZZ_CHECK(dir != nullptr);
    int entries = 0;
    while (const dirent *entry = ::readdir(dir))
        entries += entry->d_name[0] != '.' || std::string_view(entry->d_name).starts_with(".vardo");
    ::closedir(dir);
    FUZZ_CHECK(entries == 2);
}

bool isLetter(char16_t c)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
        return true;
    if (c >= 0xC0 && c <= 0xFF)
        return c != 0xD7 && c != 0xF7;
    constexpr char16_t others[] = {0xAA, 0xB5, 0xBA, 0x152, 0x153, 0x160, 0x161, 0x178, 0x17D, 0x17E, 0x192};
    return std::find(std::begin(others), std::end(others), c) != std::end(others);
}

bool isWordChar(char16_t c)
{
    return c == u'_' || (c >= u'0' && c <= u'9') || isLetter(c);
}

// The plain search findText must agree with: every position in turn.
long long referenceFind(std::u16string_view text, std::u16string_view what, std::size_t start,
                        std::size_t length, text::FindOptions options)
{
    if (what.empty() || start >= text.size())
        return -1;
    const std::size_t end = length >= text.size() - start ? text.size() : start + length;
    const auto same = [&](char16_t a, char16_t b) {
        return options.matchCase ? a == b : text::foldCase(a) == text::foldCase(b);
    };
    for (std::size_t pos = start; pos + what.size() <= end; ++pos) {
        if (!std::equal(what.begin(), what.end(), text.begin() + static_cast<std::ptrdiff_t>(pos), same))
            continue;
        const std::size_t after = pos + what.size();
        if (options.wholeWord && ((pos > 0 && isWordChar(text[pos - 1])) ||
                                  (after < text.size() && isWordChar(text[after]))))
            continue;
        return static_cast<long long>(pos);
    }
    return -1;
}

void checkFind(FuzzedDataProvider &input)
{
    text::FindOptions options;
    options.matchCase = input.ConsumeBool();
    options.wholeWord = input.ConsumeBool();
    const int textKind = input.ConsumeIntegralInRange(0, 2);
    const int whatKind = input.ConsumeIntegralInRange(0, 2);
    std::size_t start = input.ConsumeIntegralInRange<std::size_t>(0, 5000);
    // Lengths reach past the end of the text and up to the largest value.
    std::size_t length = input.ConsumeBool() ? input.ConsumeIntegralInRange<std::size_t>(0, 5000)
                                             : input.ConsumeIntegral<std::size_t>();
    const std::size_t whatOffset = input.ConsumeIntegralInRange<std::size_t>(0, 5000);
    const std::size_t whatSize = input.ConsumeIntegralInRange<std::size_t>(0, 24);
    std::string whatBytes = input.ConsumeBytesAsString(whatKind == 0 ? whatSize : 0);
    const std::string rest = input.ConsumeRemainingBytesAsString();

    std::u16string text;
    if (textKind == 0) {
        text = text::decodeCp1252(rest);
    } else if (textKind == 1) {
        text = withCrLf(text::decodeLines(rest));
    } else {
        // Any UTF-16 code unit, surrogates and characters outside the code page included.
        for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(rest[i]) |
                                          static_cast<unsigned char>(rest[i + 1]) << 8);
    }
    checkFoldCase(text);

    std::u16string what;
    if (whatKind == 0) {
        what = text::decodeCp1252(whatBytes);
    } else if (!text.empty()) {
        // A piece of the text itself, in its own case or folded.
        const std::size_t offset = whatOffset % text.size();
        what = text.substr(offset, whatSize);
        if (whatKind == 2)
            std::transform(what.begin(), what.end(), what.begin(), text::foldCase);
    }

    const long long found = text::findText(text, what, start, length, options);
    FUZZ_CHECK(found == referenceFind(text, what, start, length, options));
    if (found >= 0) {
        const auto pos = static_cast<std::size_t>(found);
        FUZZ_CHECK(pos >= start && pos + what.size() <= text.size());
        FUZZ_CHECK(length >= what.size() && pos - start <= length - what.size());
    }
    // Backwards: the last occurrence that starts before `start`, as the forward search sees them.
    std::size_t last = text::TextSearch::npos;
    for (long long at = referenceFind(text, what, 0, text.size(), options);
         at >= 0 && static_cast<std::size_t>(at) < start;
         at = referenceFind(text, what, static_cast<std::size_t>(at) + 1, text.size(), options))
        last = static_cast<std::size_t>(at);
    FUZZ_CHECK(text::TextSearch(what, options).previous(text, start) == last);
    // A piece of the text, searched from the start over the whole text, is always found at or
    // before the place it was taken from (folded, only when case does not matter).
    if (whatKind != 0 && !what.empty() && !options.wholeWord && (whatKind == 1 || !options.matchCase)) {
        const long long again = text::findText(text, what, 0, text.size(), options);
        FUZZ_CHECK(again >= 0 && static_cast<std::size_t>(again) <= whatOffset % text.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vardo-fuzz-XXXXXX";
    FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
    gDirectory = pattern;
    gFile = gDirectory + "/file.qc";
    gLink = gDirectory + "/link.qc";
    fileio::saveFileSafely(gFile, "");
    FUZZ_CHECK(::symlink("file.qc", gLink.c_str()) == 0);
    std::atexit(removeDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    checkCodePage(bytes);
    checkSave(bytes, size % 2 == 1);
    FuzzedDataProvider input(data, size);
    checkFind(input);
    return 0;
}
