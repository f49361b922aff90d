#include "core/files/listing.h"

#include "core/base/errors.h"
#include "core/base/paths.h"

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace vardo::nav {

namespace {

unsigned char fold(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    if (suffix.size() > name.size())
        return false;
    const std::string_view end = name.substr(name.size() - suffix.size());
    return std::equal(end.begin(), end.end(), suffix.begin(), [](char x, char y) { return fold(x) == fold(y); });
}

bool matchesPattern(std::string_view name, std::string_view pattern)
{
    // The common "*.ext" needs no backtracking: the name only has to end in ".ext".
    if (!pattern.empty() && pattern[0] == '*' && pattern.find_first_of("*?", 1) == std::string_view::npos)
        return endsWithIgnoringCase(name, pattern.substr(1));
    // Iterative wildcard match with a single backtrack point for the last '*'.
    std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    // A '*' is tried first: it is a wildcard even where the name holds a '*' too.
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++n;
            ++p;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Whether a pattern matches every name without looking at it: "*", and "*.*", which matches
// the names without an extension too.
bool matchesEveryName(std::string_view pattern)
{
    return pattern == "*" || pattern == "*.*";
}

bool matchesOnePattern(std::string_view name, std::string_view pattern)
{
    if (matchesEveryName(pattern))
        return true;
    if (matchesPattern(name, pattern))
        return true;
    const bool anyExtension = pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*";
    return anyExtension && name.find('.') == std::string_view::npos &&
           matchesPattern(name, pattern.substr(0, pattern.size() - 2));
}

enum class EntryKind { File, Directory, Other };

EntryKind kindOf(const std::string &directory, const dirent &entry)
{
    if (entry.d_type == DT_REG)
        return EntryKind::File;
    if (entry.d_type == DT_DIR)
        return EntryKind::Directory;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return EntryKind::Other;
    struct stat st {};
    if (::stat(paths::join(directory, entry.d_name).c_str(), &st) != 0)
        return EntryKind::Other;
    if (S_ISREG(st.st_mode))
        return EntryKind::File;
    return S_ISDIR(st.st_mode) ? EntryKind::Directory : EntryKind::Other;
}

// Calls `visit` with every entry of a directory that is not hidden.
template <typename Visit>
void forEachEntry(const std::string &directory, Visit visit)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(directory.c_str()), &::closedir);
    if (!dir)
        throw ioErrorFromErrno(errno);
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (entry->d_name[0] != '.')
            visit(*entry);
        errno = 0;
    }
    if (errno != 0)
        throw ioErrorFromErrno(errno);
}

void sortNames(std::vector<std::string> &names)
{
    std::sort(names.begin(), names.end(), lessIgnoringCase);
}

template <typename Keep>
std::vector<std::string> listEntries(const std::string &directory, Keep keep)
{
    std::vector<std::string> names;
    forEachEntry(directory, [&](const dirent &entry) {
        if (keep(entry))
            names.emplace_back(entry.d_name);
    });
    sortNames(names);
    return names;
}

const SharedRead *innermostRead = nullptr;

} // namespace

const DirectoryEntries *SharedRead::find(const std::string &directory)
{
    for (const SharedRead *read = innermostRead; read; read = read->outer_)
        if (read->directory_ == directory)
            return &read->entries_;
    return nullptr;
}

DirectoryEntries readDirectory(const std::string &directory)
{
    DirectoryEntries entries;
    forEachEntry(directory, [&](const dirent &entry) {
        switch (kindOf(directory, entry)) {
        case EntryKind::File: entries.files.emplace_back(entry.d_name); break;
        case EntryKind::Directory: entries.subdirectories.emplace_back(entry.d_name); break;
        case EntryKind::Other: break;
        }
    });
    sortNames(entries.files);
    sortNames(entries.subdirectories);
    return entries;
}

SharedRead::SharedRead(const std::string &directory)
    : directory_(directory), entries_(readDirectory(directory)), outer_(innermostRead)
{
    innermostRead = this;
}

SharedRead::~SharedRead()
{
    innermostRead = outer_;
}

bool matchesMask(std::string_view name, std::string_view mask)
{
    while (true) {
        const auto semicolon = mask.find(';');
        if (matchesOnePattern(name, mask.substr(0, semicolon)))
            return true;
        if (semicolon == std::string_view::npos)
            return false;
        mask.remove_prefix(semicolon + 1);
    }
}

bool lessIgnoringCase(const std::string &a, const std::string &b)
{
    // Folding only where the bytes differ keeps this close to a plain comparison: sorting a
    // large directory spends most of its time here.
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] == b[i])
            continue;
        const unsigned char x = fold(a[i]), y = fold(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

std::vector<std::string> listFiles(const std::string &directory, std::string_view mask)
{
    if (const DirectoryEntries *shared = SharedRead::find(directory)) {
        if (matchesEveryName(mask))
            return shared->files;
        std::vector<std::string> names;
        std::copy_if(shared->files.begin(), shared->files.end(), std::back_inserter(names),
                     [mask](const std::string &name) { return matchesMask(name, mask); });
        return names;
    }
    return listEntries(directory, [&](const dirent &entry) {
        return matchesMask(entry.d_name, mask) && kindOf(directory, entry) == EntryKind::File;
    });
}

std::vector<std::string> listSubdirectories(const std::string &directory)
{
    if (const DirectoryEntries *shared = SharedRead::find(directory))
        return shared->subdirectories;
    return listEntries(directory, [&](const dirent &entry) {
        return kindOf(directory, entry) == EntryKind::Directory;
    });
}

} // namespace vardo::nav
