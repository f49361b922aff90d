#include "core/files/volumes.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace vardo::nav {

namespace {

const std::set<std::string, std::less<>> kPseudoTypes = {
    "proc", "sysfs", "cgroup", "cgroup2", "devpts", "devtmpfs", "securityfs", "debugfs",
    "tracefs", "pstore", "bpf", "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc",
    "autofs", "rpc_pipefs", "nsfs", "efivarfs", "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal",
    "overlay.lower", "squashfs", "ramfs"};
const std::set<std::string, std::less<>> kNetworkTypes = {
    "cifs", "smb3", "smbfs", "nfs", "nfs4", "fuse.sshfs", "9p", "afs", "ncpfs", "davfs", "fuse.davfs2"};

// Mount points of the system's own run-time trees are not places users keep files.
bool isSystemMountPoint(std::string_view mountPoint)
{
    for (std::string_view prefix : {"/proc", "/sys", "/dev", "/run", "/boot/efi"}) {
        if (mountPoint == prefix ||
            (mountPoint.substr(0, prefix.size()) == prefix && mountPoint.size() > prefix.size() &&
             mountPoint[prefix.size()] == '/'))
            return !(prefix == "/run" && (mountPoint.rfind("/run/media/", 0) == 0 ||
                                          mountPoint.rfind("/run/mount/", 0) == 0));
    }
    return false;
}

// Undoes the octal escapes (\040 for a blank) of mountinfo and the \xHH escapes of udev.
std::string unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else if (text[i] == '\\' && i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 3)), nullptr, 8));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

Volume::Kind kindOf(const std::string &fsType, const std::string &mountPoint)
{
    if (kNetworkTypes.count(fsType))
        return Volume::Kind::Network;
    if (fsType == "iso9660" || fsType == "udf")
        return Volume::Kind::Optical;
    if (fsType == "tmpfs")
        return Volume::Kind::Ram;
    for (std::string_view prefix : {"/media/", "/run/media/", "/mnt/"})
        if (mountPoint.rfind(prefix, 0) == 0)
            return Volume::Kind::Removable;
    return Volume::Kind::Fixed;
}

bool isDirectory(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string labelFromUdev(const std::string &device)
{
    static const std::map<std::string, std::string> labels = [] {
        std::map<std::string, std::string> byDevice;
        const char *const dir = "/dev/disk/by-label";
        const std::unique_ptr<DIR, int (*)(DIR *)> d(::opendir(dir), &::closedir);
        if (!d)
            return byDevice;
        while (const dirent *entry = ::readdir(d.get())) {
            if (entry->d_name[0] == '.')
                continue;
            char resolved[PATH_MAX];
            const std::string link = std::string(dir) + "/" + entry->d_name;
            if (::realpath(link.c_str(), resolved))
                byDevice[resolved] = unescape(entry->d_name);
        }
        return byDevice;
    }();
    char resolved[PATH_MAX];
    const std::string key = ::realpath(device.c_str(), resolved) ? resolved : device;
    const auto it = labels.find(key);
    return it == labels.end() ? std::string() : it->second;
}

} // namespace

std::string Volume::entryText() const
{
    const std::string name = kind == Kind::Network ? source : label;
    return mountPoint + " [" + lower(name) + "]";
}

std::vector<Volume> parseMountInfo(std::string_view mountinfo,
                                   const std::function<std::string(const std::string &)> &labelOf)
{
    std::map<std::string, Volume> byMountPoint;
    std::istringstream lines{std::string(mountinfo)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string id, parent, devices, root, mountPoint, word;
        if (!(fields >> id >> parent >> devices >> root >> mountPoint))
            continue;
        while (fields >> word && word != "-") {
        }
        std::string fsType, source;
        if (!(fields >> fsType >> source))
            continue;
        Volume volume;
        volume.mountPoint = unescape(mountPoint);
        volume.fsType = fsType;
        volume.source = unescape(source);
        volume.kind = kindOf(fsType, volume.mountPoint);
        if (kPseudoTypes.count(fsType) || isSystemMountPoint(volume.mountPoint))
            continue;
        if (volume.kind != Volume::Kind::Network)
            volume.label = labelOf(volume.source);
        byMountPoint[volume.mountPoint] = std::move(volume);
    }
    std::vector<Volume> volumes;
    for (auto &[mountPoint, volume] : byMountPoint)
        volumes.push_back(std::move(volume));
    return volumes;
}

std::vector<Volume> mountedVolumes()
{
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    std::vector<Volume> volumes = parseMountInfo(text.str(), labelFromUdev);
    // Bind mounts of single files (common in containers) hold no directory to move to.
    std::erase_if(volumes, [](const Volume &v) { return !isDirectory(v.mountPoint); });
    return volumes;
}

int volumeIndexOf(const std::vector<Volume> &volumes, const std::string &directory)
{
    int best = -1;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const std::string &mp = volumes[i].mountPoint;
        const bool contains = directory == mp || mp == "/" ||
                              (directory.rfind(mp, 0) == 0 && directory[mp.size()] == '/');
        if (contains && (best < 0 || mp.size() > bestLength)) {
            best = static_cast<int>(i);
            bestLength = mp.size();
        }
    }
    return best;
}

} // namespace vardo::nav
