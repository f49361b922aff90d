#include "core/check/projectchecker.h"

namespace vardo::check {

class Project {};

ProjectChecker::ProjectChecker(std::string root) : root_(std::move(root)), project_(std::make_unique<Project>()) {}

ProjectChecker::~ProjectChecker() = default;

std::vector<qc::Diagnostic> ProjectChecker::checkAll(const std::map<std::string, std::string> &)
{
    return {};
}

std::vector<qc::Diagnostic> ProjectChecker::checkFile(const std::string &, std::string)
{
    return {};
}

std::optional<Declaration> ProjectChecker::declarationAt(const std::string &, int, int) const
{
    return std::nullopt;
}

std::vector<Place> ProjectChecker::usesOf(const Declaration &) const
{
    return {};
}

} // namespace vardo::check
