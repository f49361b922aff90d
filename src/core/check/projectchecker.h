#pragma once

#include "core/qc/compileroutput.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Checks a QuakeC project the way its compiler would, without compiling it: every file of the
// project, or one edited file against what the others declare.
namespace vardo::check {

// A place in a file: an absolute, lexically normal path, line and column from 1.
struct Place {
    std::string path;
    int line = 0;
    int column = 0;

    bool operator==(const Place &) const = default;
};

enum class DeclarationKind { Global, Constant, Field, Function, Builtin, Local, Parameter, Frame, Type };

// What a name stands for where it is used.
struct Declaration {
    std::string name;
    DeclarationKind kind = DeclarationKind::Global;
    // The type as a modder writes it: "float", ".float", "void(entity e)". A frame's name is
    // without its "$", its place on its $frame line.
    std::string type;
    Place place;
    // The function a local or parameter belongs to; empty for everything else.
    std::string function;

    bool operator==(const Declaration &) const = default;
};

class Project;

// The largest file the check reads: a check holds about sixty bytes of memory for each byte of
// its text, and a mod's own files stay far below this (the largest of the game's is 67 KB).
constexpr std::size_t kLargestChecked = 4u << 20;

// Why a file over that size is not checked.
std::string tooLargeToCheck(const std::string &path);

// One project's checker. Not shared between threads: one thread uses it at a time.
class ProjectChecker {
public:
    // `root` is the project's folder, as qc::findProjectRoot gives it.
    explicit ProjectChecker(std::string root);
    ~ProjectChecker();
    ProjectChecker(const ProjectChecker &) = delete;
    ProjectChecker &operator=(const ProjectChecker &) = delete;

    // Reads and checks every file of the project; `open` holds the texts of edited files by
    // absolute path, which stand in for what the disk has. Throws AppError when the project
    // cannot be read.
    std::vector<qc::Diagnostic> checkAll(const std::map<std::string, std::string> &open = {});

    // Checks a new text of one file against the rest of the project as last read. A file the
    // project does not list is checked as if it came last.
    std::vector<qc::Diagnostic> checkFile(const std::string &path, std::string text);

    // The declaration of the name at a place of a checked file, locals and parameters included.
    std::optional<Declaration> declarationAt(const std::string &path, int line, int column) const;

    // Every use of a declaration, the declaration itself included; a local's only in its function.
    std::vector<Place> usesOf(const Declaration &declaration) const;

    const std::string &root() const { return root_; }

private:
    std::string root_;
    std::unique_ptr<Project> project_;
};

} // namespace vardo::check
