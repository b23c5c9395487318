#include "base/tempregistry.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/tempregistryending.h"

namespace tempregistry {

struct Entry {
    std::atomic<bool> used{false};
    bool folder = false;
    char path[kMaxPath]{};
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

std::atomic<bool> g_ending{false};  // a termination signal came
std::atomic<int> g_making{0};       // makings under way, in every thread
thread_local int t_making = 0;      // of them, this thread's

}  // namespace

void RemoveEverythingListed() {
    g_ending.store(true);
    // The makings under way in other threads end in a moment (a system call each); wait for them,
    // up to a second, so that what they make is on the list's files when they are removed.
    for (int waited = 0; g_making.load() > t_making && waited < 1000; ++waited) PauseMillisecond();
    for (Entry* e = g_head.load(); e != nullptr; e = e->next)
        if (e->used.load() && !e->folder) RemoveListedFile(e->path);
    for (Entry* e = g_head.load(); e != nullptr; e = e->next)
        if (e->used.load() && e->folder) RemoveListedFolder(e->path);
}

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
    if (path.size() >= kMaxPath) return nullptr;
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

}  // namespace tempregistry
