#include "core/check/commandline.h"

#include "core/base/errors.h"
#include "core/check/projectchecker.h"
#include "core/qc/sourcelist.h"

#include <cstring>
#include <filesystem>
#include <ostream>

namespace vardo::check {

namespace fs = std::filesystem;

namespace {

std::string counted(int n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

bool isCheckCommand(int argc, const char *const argv[])
{
    return argc >= 2 && std::strcmp(argv[1], "--check") == 0;
}

int runCheckCommand(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err)
{
    const std::string given = arguments.empty() ? "." : arguments.front();
    std::error_code error;
    const fs::path directory = fs::absolute(given, error).lexically_normal();
    if (error || !fs::exists(directory, error)) {
        err << "vardo: " << given << ": no such folder\n";
        return 2;
    }
    if (!fs::is_directory(directory, error)) {
        err << "vardo: " << given << ": not a folder\n";
        return 2;
    }
    std::vector<qc::Diagnostic> diagnostics;
    try {
        ProjectChecker checker(qc::findProjectRoot(directory.native()));
        diagnostics = checker.checkAll();
    } catch (const AppError &e) {
        err << "vardo: " << e.what() << "\n";
        return 2;
    }
    int errors = 0, warnings = 0;
    for (const qc::Diagnostic &d : diagnostics) {
        const bool isError = d.severity == qc::Severity::Error;
        (isError ? errors : warnings)++;
        out << fs::path(d.file).lexically_relative(directory).native() << ':' << d.line << ':' << d.column
            << (isError ? ": error: " : ": warning: ") << d.message << '\n';
    }
    out << counted(errors, "error", "errors") << ", " << counted(warnings, "warning", "warnings") << '\n';
    return errors ? 1 : 0;
}

} // namespace vardo::check
