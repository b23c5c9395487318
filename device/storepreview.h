#pragma once
// What a store would change on the device: the device's gateway settings file as it is now (the
// backup a store takes first) compared with the list, as "vr7lon diff" compares two files, in the
// user's words. The window shows it and asks before the store goes on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DeviceBackup;
class SnvtList;

struct StorePreview {
    uint32_t device = 0;
    bool deviceHadFile = false;
    std::string unreadable;  // UTF-8: why the device's file is no list, when it is not
    size_t added = 0, removed = 0, moved = 0, changed = 0;
    std::vector<std::string> lines;  // UTF-8, one a variable that differs, in the list's order
    std::string backupPath;          // the backup taken of the device's file, when one was

    bool Same() const { return lines.empty() && deviceHadFile && unreadable.empty(); }
    // The text above the lines: the summary (or what there is not to compare) and the question.
    std::string Headline() const;
};

// The preview of storing list into device `device`, whose file is `current`.
StorePreview MakeStorePreview(uint32_t device, const DeviceBackup& current, const SnvtList& list);
