#pragma once

#include "tools/programs.h"

#include <optional>

// Which QuakeC compiler "QCC!" runs, and how.
namespace vardo::build {

// What the output list says when no compiler can be found.
inline constexpr const char *kNoCompilerFound =
    "No QuakeC compiler found: put frikqcc2.exe in this directory or install fteqcc "
    "(or gmqcc, frikqcc, qfcc).";

// The compiler for the current directory: "frikqcc2.exe" in that directory or along PATH
// (through wine when it is a Windows program), else the first of fteqcc, gmqcc, frikqcc and
// qfcc along PATH. Each is started so that it compiles the progs.src of its working directory.
std::optional<tools::Command> findCompiler();

} // namespace vardo::build
