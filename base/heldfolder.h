#pragma once
// A folder held open, and the few steps a program takes in it by name: listing, creating a file
// that must be new, renaming, removing, syncing, and locking it against another process doing
// the same. A name is one entry of the folder (no '/'); a symbolic link in the folder's place
// is never followed where the caller says so, so that what is written stays inside it.
// Every step returns 0 or the errno of its failure (Windows errors are mapped onto errno).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/uniquefd.h"

#ifdef _WIN32
using ProcessId = unsigned long;
#else
#include <sys/types.h>
using ProcessId = pid_t;
#endif

// This process's id, and whether id names no running process any more (a process that left
// temporary files behind when it was killed).
ProcessId CurrentProcessId();
bool ProcessGone(ProcessId id);

// Whether files can be made in the folder at path: 0, or the errno that says why not.
int FolderWritable(const std::string& path);

// Makes what was written to the open file durable (fsync, FlushFileBuffers).
int SyncFile(const UniqueFd& file);

class HeldFolder {
  public:
    enum class Kind { Missing, File, Folder, Link, Other };

    HeldFolder() = default;
    ~HeldFolder();
    HeldFolder(HeldFolder&& other) noexcept;
    HeldFolder& operator=(HeldFolder&& other) noexcept;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    // Opens the folder at path. With followLink false a symbolic link there fails with ELOOP;
    // a file in its place fails with ENOTDIR.
    int Open(const std::string& path, bool followLink);
    // Opens the folder name inside this one, never through a link (ELOOP), after making it when
    // create is set and it is missing.
    int OpenChild(const std::string& name, bool create, HeldFolder& child) const;
    bool IsOpen() const;
    // The path it was opened by.
    const std::string& Path() const { return path_; }

    // Calls each(name) for every entry but "." and "..".
    void ForEach(const std::function<void(const std::string& name)>& each) const;
    // What name is, without following a link; size gets a file's bytes.
    Kind KindOf(const std::string& name, uint64_t* size = nullptr) const;

    // Creates name as a new file (EEXIST when any entry has it) open for writing.
    int CreateNew(const std::string& name, UniqueFd& file) const;
    // Gives the file from the name to, which no entry may have yet (EEXIST); from goes.
    int MoveToNew(const std::string& from, const std::string& to) const;
    // Renames from to to, replacing an entry to that exists.
    int Rename(const std::string& from, const std::string& to) const;
    int Remove(const std::string& name) const;
    // Makes the folder's entries durable (best effort where the system has no such step).
    int Sync() const;

    // One process at a time: Lock waits for the folder's lock, Unlock gives it back.
    void Lock() const;
    void Unlock() const;
    // Takes a shared hold of a file made here: while held, RemoveUnlessHeld leaves it.
    static void Hold(const UniqueFd& file);
    // Removes name when no one holds it, and only the very file found free.
    void RemoveUnlessHeld(const std::string& name) const;

    // Opens name for reading, never through a link.
    int OpenToRead(const std::string& name, UniqueFd& file) const;
    // Whether the file open is still the one the name gives (not replaced since it was opened).
    bool IsNamed(const UniqueFd& file, const std::string& name) const;
    // Takes a hold of a file opened here without waiting: Alone when no one else holds it (it may
    // then be renamed), Shared beside the other holders, None when it is being removed.
    enum class HoldTaken { None, Alone, Shared };
    static HoldTaken TryHold(const UniqueFd& file);
    // A hold taken Alone becomes one shared with later holders, as Hold's.
    static void ShareHold(const UniqueFd& file);
    // The bytes of the open file from where it stands, when there are at most atMost of them.
    static std::optional<std::string> ReadUpTo(const UniqueFd& file, uint64_t atMost);

  private:
    void Close();

    std::string path_;
#ifdef _WIN32
    void* handle_ = nullptr;        // the folder, open while held
    mutable void* lock_ = nullptr;  // a named mutex of the folder, made on the first Lock
#else
    UniqueFd fd_;
#endif
};
