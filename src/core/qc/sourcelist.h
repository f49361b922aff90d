#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The source lists of a QuakeC project: which files the compiler reads, in which order.
// Paths are byte strings as the file system stores them.
namespace vardo::qc {

// Reads a whole file; throws when it cannot.
using ReadFile = std::function<std::string(const std::string &path)>;

struct SourceList {
    // The list's full path; empty for a directory without one, whose project is then all of
    // its .qc and .qh files.
    std::string listFile;
    // The output file as the list names it; empty when it names none.
    std::string output;
    // Full paths in the order the compiler reads them, each once.
    std::vector<std::string> files;
    // Names the list gives that are not on the disk.
    std::vector<std::string> missing;
    // A list in the newer style is QuakeC itself: its own #defines belong to the project.
    bool isSourceCode = false;
};

// The lists a directory may hold, one project each, in the order they are looked for.
inline constexpr std::array<std::string_view, 4> kSourceListNames = {"progs.src", "preprogs.src", "csprogs.src",
                                                                     "menu.src"};

// Reads the text of a list that lies in `directory`. The older style names the output file
// first and then the sources, with // and /* */ comments and # lines allowed; a list whose first
// word starts with "#" is in the newer style (#include, #includelist ... #endlist, #output,
// #pragma, #define, #ifdef and friends). Never fails: what it cannot read it skips.
SourceList parseSourceList(std::string_view text, const std::string &directory);

// The file a source name stands for: looked for from `fromDirectory`, then from
// `listDirectory`. A backslash separates like a slash, and a name written in another case than
// the file on the disk still finds it, as lists written on other systems expect. Empty when
// there is no such file.
std::string resolveSourceName(std::string_view name, const std::string &fromDirectory,
                              const std::string &listDirectory);

// The projects of a directory: one per list found, else one of all its .qc and .qh files
// (sorted by name). A list that cannot be read counts as empty.
std::vector<SourceList> readProjects(const std::string &directory, const ReadFile &read);

// Whether a folder holds one of the source lists.
bool holdsSourceList(const std::string &folder);

// The folder of the project `directory` belongs to: the nearest at or above it that holds a
// source list, else `directory` itself. The search stops below a folder it cannot read. Both
// are given and returned lexically normal and absolute.
std::string findProjectRoot(const std::string &directory);

// The project an edited file belongs to: the first whose files hold it, else that of
// progs.src, else the first. `projects` must not be empty.
std::size_t chooseProject(const std::vector<SourceList> &projects, const std::string &editedFile);

// Which files belong to a project: those below its root, and those its list names elsewhere
// (lists that reach a shared "../common" folder are normal).
class ProjectBounds {
public:
    ProjectBounds() = default;
    ProjectBounds(const std::string &root, const SourceList &project);

    // Whether a file belongs to the project; `path` is canonical.
    bool contains(const std::string &path) const;

private:
    std::string root_; // canonical, ending in '/'
    std::set<std::string> elsewhere_;
};

} // namespace vardo::qc
