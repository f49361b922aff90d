#pragma once

#include <cstddef>
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

// The files quick open offers: everything a modder opens by name below a project's root.
namespace vardo::quickopen {

// Whether a file name has one of the extensions quick open lists (.qc .qh .src .cfg .txt, in
// any case).
bool isOfferedName(std::string_view name);
// Whether a chosen file opens in the editor (.qc .qh) rather than in the general pane.
bool opensForEditing(std::string_view name);

// The files the root's source lists name, in the compiler's order and each once: relative to the
// root when below it, else absolute (a shared "../common" folder, say).
std::vector<std::string> listedFiles(const std::string &root);

// The offered files below a root, read a few directories at a time so that a huge tree is
// listed lazily. Folders whose names start with "." are skipped, and so are those on another
// file system; a folder reached twice (through a symbolic link, which may form a loop) is read
// once. Folders that cannot be read are passed over.
class FileWalk {
public:
    explicit FileWalk(std::string root);

    // Up to about `most` more paths, relative to the root, shallower folders first, each
    // folder's names in byte order and its real subfolders before linked ones; empty once the
    // walk is done.
    std::vector<std::string> next(std::size_t most);
    bool done() const { return pending_.empty(); }

private:
    void readFolder(const std::string &relative, std::vector<std::string> &found);
    // Whether a folder is new and on the root's file system; remembers it.
    bool visit(dev_t device, ino_t inode);

    std::string root_;
    dev_t device_ = 0;
    std::deque<std::string> pending_; // relative folders still to read; "" is the root
    std::set<std::pair<dev_t, ino_t>> seen_;
};

} // namespace vardo::quickopen
