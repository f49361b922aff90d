#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The mounted file systems that hold the user's files, standing in for drives.
namespace vardo::nav {

struct Volume {
    enum class Kind { Fixed, Removable, Optical, Network, Ram };
    std::string mountPoint;
    std::string fsType;
    std::string source; // the device, or the remote name of a network share
    std::string label;  // empty when the volume has none
    Kind kind = Kind::Fixed;

    // The entry text of the drive selector: mount point, a blank and the label (or the remote
    // name of a network share) in square brackets, in lower case.
    std::string entryText() const;
};

// Volumes from the text of /proc/self/mountinfo, without pseudo file systems, ordered by mount
// point; a later mount on the same point hides the earlier. `labelOf` gives a device's label.
std::vector<Volume> parseMountInfo(std::string_view mountinfo,
                                   const std::function<std::string(const std::string &)> &labelOf);

// The volumes mounted now.
std::vector<Volume> mountedVolumes();

// Index of the volume holding a directory (the deepest mount point containing it), or -1.
int volumeIndexOf(const std::vector<Volume> &volumes, const std::string &directory);

} // namespace vardo::nav
