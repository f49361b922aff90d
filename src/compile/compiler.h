#pragma once

#include "tools/programs.h"

#include <optional>
#include <string>
#include <vector>

// Which QuakeC compiler "QCC!" runs, and how.
namespace vardo {
class Settings;
}

namespace vardo::build {

// What the output list says when no compiler can be found.
inline constexpr const char *kNoCompilerFound =
    "No QuakeC compiler found: put frikqcc2.exe in this directory or install fteqcc "
    "(or gmqcc, frikqcc, qfcc).";

// The compiler for the current directory: "frikqcc2.exe" in that directory or along PATH
// (through wine when it is a Windows program), else the first of fteqcc, gmqcc, frikqcc and
// qfcc along PATH. Each is started so that it compiles the progs.src of its working directory.
std::optional<tools::Command> findCompiler();

// The compilers there are to choose from: frikqcc2.exe where findCompiler() would take it,
// then each of the others found along PATH.
std::vector<std::string> foundCompilers();

// The compiler the user chose, remembered between starts. An empty program: the compiler is
// found as findCompiler() finds it. The arguments are added after the compiler's own, as
// splitWords() splits them.
struct CompilerChoice {
    std::string program;
    std::string arguments;
    bool operator==(const CompilerChoice &) const = default;
};

CompilerChoice savedChoice(const Settings &settings);
// Remembers a choice; the found compiler without arguments is remembered as no choice at all.
void saveChoice(Settings &settings, const CompilerChoice &choice);

// A program that can be chosen, as an absolute path: an executable file or a Windows program,
// found along PATH when the name has no '/'. Throws AppError saying why not.
std::string choosableProgram(const std::string &typed);

// What "QCC!" starts, and which compiler that is.
struct CompilerRun {
    tools::Command command;
    std::string compiler; // the compiler's own path, also when wine starts it
    bool chosen = false;  // the user's choice rather than the one found
};

// The saved choice, else the compiler found; nothing when there is none. Throws AppError when
// the saved choice cannot run (arguments that do not split, a Windows program without wine).
std::optional<CompilerRun> compilerToRun(const CompilerChoice &choice);

} // namespace vardo::build
