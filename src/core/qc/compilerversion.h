#pragma once

#include <string>
#include <string_view>

// Which version a QuakeC compiler is, learned without running it: a compiler may compile
// whatever progs.src lies where it starts, and one found inside a mod is not to be trusted.
namespace vardo::qc {

// The upstream part of a Debian version: "3343+svn3400-4" is "3343", "1:0.3.6-2" is "0.3.6".
std::string upstreamVersion(std::string_view debianVersion);

// The version of the Debian package, named as the program, that installed it; empty when no
// such package owns it. `dpkgDirectory` is the package manager's database.
std::string packagedVersion(const std::string &program, const std::string &dpkgDirectory = "/var/lib/dpkg");

// A version written in the program's own bytes after its name ("FrikQCC v2.7", "gmqcc 0.3.6");
// empty when there is none.
std::string versionInProgram(const std::string &program);

// The compiler's name and version for people, such as "fteqcc 3343"; just its name when the
// version cannot be learned.
std::string compilerVersion(const std::string &program, const std::string &dpkgDirectory = "/var/lib/dpkg");

} // namespace vardo::qc
