#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// `vardo --check [DIR]`: the project's diagnostics in a terminal, without a window.
namespace vardo::check {

// Whether the program's arguments ask for the check (its first argument is "--check").
bool isCheckCommand(int argc, const char *const argv[]);

// Runs the check of the project of DIR (the first argument after "--check", default the
// current directory): prints "FILE:LINE:COLUMN: error: TEXT" lines with FILE relative to DIR,
// then a summary. Returns 1 when there are errors, 0 when there are none, 2 when DIR is
// missing, not a folder or its project cannot be read.
int runCheckCommand(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err);

} // namespace vardo::check
