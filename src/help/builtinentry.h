#pragma once

#include <string>
#include <string_view>

namespace vardo::help {

// The entry of the Builtin reference page for a function: from its "Function: name" line to
// the blank line that ends it, with LF line ends; empty when the page has none.
std::string builtinEntry(std::string_view name);

} // namespace vardo::help
