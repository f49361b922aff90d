#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vardo::edit {

// The index entries of a QuakeC text: every line that contains one of the definition patterns
// (exact case) and an "=", cut after its first "=". Lines are those of the editor pane, each
// read up to the pane's line limit; carriage returns are dropped from the entries. A line ends
// at a line feed or at the editor's own paragraph separator (U+2029), so the editor's raw text
// is scanned as it is.
std::vector<std::u16string> scanFunctionIndex(std::u16string_view text);

// The entry for one line, or an empty string when the line gives none.
std::u16string indexEntryOf(std::u16string_view line);

// The name an entry defines: the name just before its "=" ("boss_sh" of "void() boss_sh =");
// empty when none stands there.
std::u16string_view indexEntryName(std::u16string_view entry);

} // namespace vardo::edit
