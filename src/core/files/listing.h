#pragma once

#include <string>
#include <string_view>
#include <vector>

// Directory reading for the lists: names are byte strings as the file system stores them.
namespace vardo::nav {

// Whether a file name matches a mask of ";"-separated patterns. "*" stands for any run of
// characters, "?" for one; letters match without regard to case; a pattern ending in ".*" also
// matches a name without an extension, so "*.*" matches every name.
bool matchesMask(std::string_view name, std::string_view mask);

// Alphabetical order without regard to case; names equal but for case keep a fixed order.
bool lessIgnoringCase(const std::string &a, const std::string &b);

// Names of the ordinary files of a directory (regular files and links to them, not hidden)
// that match the mask, sorted. Throws IoError when the directory cannot be read.
std::vector<std::string> listFiles(const std::string &directory, std::string_view mask);

// Names of the subdirectories (and links to directories) that are not hidden, sorted.
// Throws IoError when the directory cannot be read.
std::vector<std::string> listSubdirectories(const std::string &directory);

// The ordinary files and the subdirectories of a directory, each sorted as the lists are.
struct DirectoryEntries {
    std::vector<std::string> files;
    std::vector<std::string> subdirectories;
};

// Reads a directory once for both kinds of entry. Throws IoError when it cannot be read.
DirectoryEntries readDirectory(const std::string &directory);

// One read of a directory shared by every list that changes with it: while it lives,
// listFiles and listSubdirectories of that directory answer from it. Throws IoError when the
// directory cannot be read.
class SharedRead {
public:
    explicit SharedRead(const std::string &directory);
    ~SharedRead();
    SharedRead(const SharedRead &) = delete;
    SharedRead &operator=(const SharedRead &) = delete;

    const DirectoryEntries &entries() const { return entries_; }
    // The entries of a directory whose shared read is alive, or null.
    static const DirectoryEntries *find(const std::string &directory);

private:
    std::string directory_;
    DirectoryEntries entries_;
    const SharedRead *outer_;
};

} // namespace vardo::nav
