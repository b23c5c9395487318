#include "base/tempregistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>
#include <vector>

namespace tempregistry {

struct Entry {
    std::atomic<bool> used{false};
    bool folder = false;
    char path[PATH_MAX]{};
    Entry* next = nullptr;  // set once, before the entry is published
};

namespace {

// Entries are made once and never freed: they are reused through the free list, so that the
// handler may walk the list at any moment without a lock.
std::atomic<Entry*> g_head{nullptr};
std::mutex g_mutex;  // guards g_free and the making of entries
std::vector<Entry*>& FreeEntries() {
    static std::vector<Entry*> entries;
    return entries;
}

// Removes the files directly in the folder, then the folder: system calls only.
void RemoveFolder(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long at = 0; at < n;) {
                const auto* d = reinterpret_cast<const struct dirent64*>(buffer + at);
                at += d->d_reclen;
                if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
                    ::unlinkat(fd, d->d_name, 0);
            }
        }
        ::close(fd);
    }
    ::rmdir(path);
}

std::atomic<bool> g_ending{false};  // a termination signal came
std::atomic<int> g_making{0};       // makings under way, in every thread
thread_local int t_making = 0;      // of them, this thread's

extern "C" void RemoveAndEnd(int signal) {
    g_ending.store(true);
    // The makings under way in other threads end in a moment (a system call each); wait for them,
    // up to a second, so that what they make is on the list's files when they are removed.
    for (int waited = 0; g_making.load() > t_making && waited < 1000; ++waited) {
        const timespec millisecond{0, 1000000};
        ::nanosleep(&millisecond, nullptr);
    }
    for (Entry* e = g_head.load(); e != nullptr; e = e->next)
        if (e->used.load() && !e->folder) ::unlink(e->path);
    for (Entry* e = g_head.load(); e != nullptr; e = e->next)
        if (e->used.load() && e->folder) RemoveFolder(e->path);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

Making::Making() {
    g_making.fetch_add(1);
    ++t_making;
    allowed_ = !g_ending.load();
}

Making::~Making() {
    --t_making;
    g_making.fetch_sub(1);
}

Entry* Add(const std::string& path, bool folder) {
    if (path.size() >= PATH_MAX) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    Entry* entry = nullptr;
    if (!FreeEntries().empty()) {
        entry = FreeEntries().back();
        FreeEntries().pop_back();
    } else {
        entry = new Entry;  // lives as long as the program: the handler may read it at any time
        entry->next = g_head.load();
        g_head.store(entry);
    }
    entry->folder = folder;
    std::memcpy(entry->path, path.c_str(), path.size() + 1);
    entry->used.store(true);
    return entry;
}

void Remove(Entry* entry) {
    if (entry == nullptr) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    entry->used.store(false);
    FreeEntries().push_back(entry);
}

void RemoveOnTermination() {
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    const int signals[] = {SIGTERM, SIGINT, SIGHUP};
    for (int signal : signals) sigaddset(&action.sa_mask, signal);
    for (int signal : signals) {
        // A signal the program was started to ignore (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace tempregistry
