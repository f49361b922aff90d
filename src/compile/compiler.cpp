#include "compile/compiler.h"

#include <array>

namespace vardo::build {

namespace {

struct NativeCompiler {
    const char *name;
    std::vector<std::string> args;
};

// fteqcc, gmqcc and frikqcc compile the progs.src of their directory when given nothing;
// qfcc is told to by its manual's option.
const std::array<NativeCompiler, 4> &nativeCompilers()
{
    static const std::array<NativeCompiler, 4> compilers = {{
        {"fteqcc", {}},
        {"gmqcc", {}},
        {"frikqcc", {}},
        {"qfcc", {"--progs-src", "progs.src"}},
    }};
    return compilers;
}

} // namespace

std::optional<tools::Command> findCompiler()
{
    if (const auto program = tools::findProgram("frikqcc2.exe")) {
        if (auto command = tools::commandFor(*program))
            return command;
    }
    for (const NativeCompiler &compiler : nativeCompilers()) {
        if (const auto program = tools::findOnPath(compiler.name))
            return tools::Command{*program, compiler.args};
    }
    return std::nullopt;
}

} // namespace vardo::build
