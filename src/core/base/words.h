#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vardo {

// Splits a line of arguments into words as a shell would, and does nothing else a shell does
// (no variables, no globbing, no commands): blanks separate words, '...' keeps everything
// literally, "..." keeps everything but a backslash before " or \, and a backslash outside
// quotes keeps the next character. Throws AppError for an unclosed quote or a trailing
// backslash.
std::vector<std::string> splitWords(std::string_view line);

} // namespace vardo
