#include "app/sharedstate.h"

#include <cstdio>

namespace vardo {

std::string EditFile;
std::string GeneralFile;
bool LoadFailed = false;

void ConsoleMessage(const std::string &message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

} // namespace vardo
