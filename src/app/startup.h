#pragma once

#include <functional>
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

// The directory to start in when no argument names one: the current directory, unless it is
// gone (empty) or the home folder (a start from the desktop's menu); then the last working
// directory while it is a directory; else the home folder.
std::string startDirectory(const std::string &current, const std::string &home, const std::string &last,
                           const std::function<bool(const std::string &)> &isDirectory);

// Names the application and makes its fonts available. Call once after the QApplication.
void prepareApplication();

// Gives every large block of memory a mapping of its own. A file's text grows in a few large
// buffers while it loads: so placed, one grows without being copied or touched again, and goes
// back to the system when it is freed. prepareApplication() calls it.
void mapLargeBlocksApart();

// Enters the place the program's arguments name, before the window is built, and returns the
// file to open for editing once it is shown (empty for none). Without an argument, or with a
// bad one (which goes to the error box), startDirectory() chooses where, with the last working
// directory `last`. The arguments are main()'s after the QApplication took its own: their
// bytes are the path, whatever the locale. `launched` is the directory the editor was started
// in, empty when it was gone.
std::string enterStartPlace(int argc, char **argv, const std::string &launched, const std::string &last);

} // namespace vardo
