#pragma once

#include "help/helppages.h"

#include <array>

namespace vardo {

class TabbedNotebook;
class TextPane;

// Fills the help notebook with one read-only memo per page and one for the keys, the mini-help
// in front, and returns the memos.
std::array<TextPane *, help::kMemoCount> buildHelpMemos(TabbedNotebook *notebook);

} // namespace vardo
