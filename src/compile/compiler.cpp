#include "compile/compiler.h"

#include "core/base/errors.h"
#include "core/base/paths.h"
#include "core/base/words.h"
#include "doc/qtext.h"
#include "settings/settings.h"

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

const QString kProgramKey = QStringLiteral("compiler/program");
const QString kArgumentsKey = QStringLiteral("compiler/arguments");

std::optional<CompilerRun> foundCompiler(const std::vector<std::string> &extra)
{
    if (const auto program = tools::findProgram("frikqcc2.exe")) {
        if (auto command = tools::commandFor(*program, extra))
            return CompilerRun{*command, *program, false};
    }
    for (const NativeCompiler &compiler : nativeCompilers()) {
        if (const auto program = tools::findOnPath(compiler.name)) {
            std::vector<std::string> args = compiler.args;
            args.insert(args.end(), extra.begin(), extra.end());
            return CompilerRun{{*program, std::move(args)}, *program, false};
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<tools::Command> findCompiler()
{
    const auto found = foundCompiler({});
    return found ? std::optional(found->command) : std::nullopt;
}

std::vector<std::string> foundCompilers()
{
    std::vector<std::string> found;
    if (const auto program = tools::findProgram("frikqcc2.exe"))
        found.push_back(*program);
    for (const NativeCompiler &compiler : nativeCompilers()) {
        if (const auto program = tools::findOnPath(compiler.name))
            found.push_back(*program);
    }
    return found;
}

CompilerChoice savedChoice(const Settings &settings)
{
    return {settings.path(kProgramKey), settings.text(kArgumentsKey).toStdString()};
}

void saveChoice(Settings &settings, const CompilerChoice &choice)
{
    if (choice == CompilerChoice{}) {
        settings.remove(QStringLiteral("compiler"));
    } else {
        settings.setPath(kProgramKey, choice.program);
        settings.setText(kArgumentsKey, QString::fromStdString(choice.arguments));
    }
    settings.save();
}

std::string choosableProgram(const std::string &typed)
{
    const std::string program = typed.find('/') == std::string::npos ? tools::findOnPath(typed).value_or(typed) : typed;
    if (!tools::isExecutableFile(program) && !tools::isWindowsProgram(program))
        throw AppError(program + " is not an executable program");
    // Remembered for compiles in any directory.
    return program.starts_with('/') ? program : paths::canonical(program);
}

std::optional<CompilerRun> compilerToRun(const CompilerChoice &choice)
{
    const std::vector<std::string> extra = splitWords(choice.arguments);
    if (choice.program.empty())
        return foundCompiler(extra);
    auto command = tools::commandFor(choice.program, extra);
    if (!command)
        throw AppError(choice.program + " is a Windows program, and wine is not installed to run it");
    return CompilerRun{std::move(*command), choice.program, true};
}

} // namespace vardo::build
