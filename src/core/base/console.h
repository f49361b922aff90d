#pragma once

#include <string>

namespace vardo {

// The status and failure message channel. It changes nothing in the window; each message is
// written as one line to standard error for a user who started the editor from a terminal.
void ConsoleMessage(const std::string &message);

} // namespace vardo
