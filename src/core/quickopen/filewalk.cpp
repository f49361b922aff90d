#include "core/quickopen/filewalk.h"

#include "core/files/fileio.h"
#include "core/qc/sourcelist.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <dirent.h>
#include <filesystem>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace vardo::quickopen {

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix)
{
    return name.size() > suffix.size() &&
           std::ranges::equal(name.substr(name.size() - suffix.size()), suffix, [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

// Larger than any source list a person writes.
constexpr std::size_t kLargestList = 16 * 1024 * 1024;

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

} // namespace

bool isOfferedName(std::string_view name)
{
    static constexpr std::array<std::string_view, 5> kExtensions = {".qc", ".qh", ".src", ".cfg", ".txt"};
    return std::ranges::any_of(kExtensions, [name](std::string_view ext) { return endsWithIgnoringCase(name, ext); });
}

std::vector<std::string> listedFiles(const std::string &root)
{
    const auto read = [](const std::string &path) { return fileio::readWholeFile(path, kLargestList); };
    const std::filesystem::path base = std::filesystem::path(root).lexically_normal();
    std::vector<std::string> listed;
    std::set<std::string> seen;
    for (const qc::SourceList &project : qc::readProjects(root, read)) {
        for (const std::string &file : project.files) {
            const std::filesystem::path normal = std::filesystem::path(file).lexically_normal();
            const std::filesystem::path relative = normal.lexically_relative(base);
            const bool below = !relative.empty() && *relative.begin() != "..";
            std::string shown = below ? relative.native() : normal.native();
            if (seen.insert(shown).second)
                listed.push_back(std::move(shown));
        }
    }
    return listed;
}

bool opensForEditing(std::string_view name)
{
    return endsWithIgnoringCase(name, ".qc") || endsWithIgnoringCase(name, ".qh");
}

FileWalk::FileWalk(std::string root) : root_(std::move(root))
{
    struct stat info {};
    if (::stat(root_.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        device_ = info.st_dev;
        visit(info.st_dev, info.st_ino);
        pending_.emplace_back();
    }
}

bool FileWalk::visit(dev_t device, ino_t inode)
{
    return device == device_ && seen_.emplace(device, inode).second;
}

std::vector<std::string> FileWalk::next(std::size_t most)
{
    std::vector<std::string> found;
    while (found.size() < most && !pending_.empty()) {
        const std::string relative = std::move(pending_.front());
        pending_.pop_front();
        readFolder(relative, found);
    }
    return found;
}

void FileWalk::readFolder(const std::string &relative, std::vector<std::string> &found)
{
    const std::string folder = relative.empty() ? root_ : root_ + "/" + relative;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return;
    struct Folder {
        bool linked; // a real folder is preferred to a link that reaches it too
        std::string name;
        dev_t device;
        ino_t inode;
        auto operator<=>(const Folder &) const = default;
    };
    std::vector<std::string> files;
    std::vector<Folder> folders;
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.starts_with('.'))
            continue;
        // Links are followed, so only a plain file is known without asking.
        if (entry->d_type == DT_REG) {
            if (isOfferedName(name))
                files.emplace_back(name);
            continue;
        }
        struct stat info {};
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            folders.push_back({entry->d_type != DT_DIR, std::string(name), info.st_dev, info.st_ino});
        else if (S_ISREG(info.st_mode) && isOfferedName(name))
            files.emplace_back(name);
    }
    const std::string prefix = relative.empty() ? std::string() : relative + "/";
    std::ranges::sort(files);
    std::ranges::sort(folders);
    for (const std::string &name : files)
        found.push_back(prefix + name);
    for (const Folder &folder : folders) {
        if (visit(folder.device, folder.inode))
            pending_.push_back(prefix + folder.name);
    }
}

} // namespace vardo::quickopen
