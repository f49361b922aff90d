#include "core/base/console.h"

#include <cstdio>

namespace vardo {

void ConsoleMessage(const std::string &message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

} // namespace vardo
