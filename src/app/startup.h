#pragma once

#include <string>

namespace vardo {

// Where the editor starts, from its one optional argument: a directory is entered as if chosen
// in the directory list; for a file its folder is entered and the file is opened for editing.
struct StartPlace {
    std::string directory;
    std::string file; // empty for a directory
};

// The place an argument names, with full paths. Throws AppError naming the argument when it
// is neither a directory nor an ordinary file.
StartPlace startPlaceFor(const std::string &argument);

// Names the application and makes its fonts available. Call once after the QApplication.
void prepareApplication();

// Enters the place the program's arguments name, before the window is built, and returns the
// file to open for editing once it is shown (empty for none). A bad argument goes to the error
// box and the start goes on where it would have without one. The arguments are main()'s after
// the QApplication took its own: their bytes are the path, whatever the locale.
std::string enterStartPlace(int argc, char **argv);

} // namespace vardo
