#pragma once

#include "core/base/console.h"

#include <string>

// The editor's whole state beyond what its components show. Read and written only on the
// user-interface thread.
namespace vardo {

// The file whose text is in the editor pane; empty when none is open.
extern std::string EditFile;
// The file whose text was last loaded into the general pane.
extern std::string GeneralFile;
// True when the most recent load, open or autosave failed. Since a failed open changes nothing,
// the autosave still writes the editor's text to EditFile then.
extern bool LoadFailed;


} // namespace vardo
