#include "app/sharedstate.h"

namespace vardo {

std::string EditFile;
std::string GeneralFile;
bool LoadFailed = false;

} // namespace vardo
