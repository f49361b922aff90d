#include "symbols/folderwatcher.h"

#include <QSocketNotifier>
#include <array>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace vardo {

namespace {

constexpr std::uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kFileEvents = kEntryEvents | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE;

} // namespace

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent), descriptor_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    // Without a descriptor (the system's limit reached) nothing is watched: the index then
    // follows only what the window itself writes.
    if (descriptor_ < 0)
        return;
    notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

void FolderWatcher::watch(const std::set<std::string> &folders)
{
    for (auto it = folders_.begin(); it != folders_.end();) {
        if (folders.count(it->second)) {
            ++it;
            continue;
        }
        ::inotify_rm_watch(descriptor_, it->first);
        it = folders_.erase(it);
    }
    if (descriptor_ < 0)
        return;
    for (const std::string &folder : folders) {
        // The same folder under another name gets the same watch, which keeps its first name.
        const int watch = ::inotify_add_watch(descriptor_, folder.c_str(), kFileEvents | IN_ONLYDIR);
        if (watch >= 0)
            folders_.emplace(watch, folder);
    }
}

void FolderWatcher::readEvents()
{
    alignas(inotify_event) std::array<char, 16384> buffer;
    while (true) {
        const ssize_t length = ::read(descriptor_, buffer.data(), buffer.size());
        if (length <= 0)
            return;
        for (ssize_t at = 0; at < length;) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + at, sizeof event);
            const char *name = buffer.data() + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW)
                emit changesLost();
            const auto folder = folders_.find(event.wd);
            if (folder == folders_.end() || event.len == 0)
                continue;
            if (event.mask & kEntryEvents)
                emit entriesChanged(folder->second);
            emit fileChanged(folder->second + '/' + std::string(name));
        }
    }
}

} // namespace vardo
