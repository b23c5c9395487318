#pragma once
// Folders of the program's own under the system's temporary folder ($TMPDIR, else /tmp): a working
// copy, a fuzz target's or a benchmark's files, a test's scratch space.
#include <string>
#include <string_view>

#include "base/result.h"
#include "base/tempregistry.h"

// Makes a new, empty folder named prefix + ".XXXXXX" (six characters chosen to make it unique),
// readable only by the user; its path without a trailing '/'. Failure File (the template's path
// and errno) when none can be made.
Result<std::string> MakeScratchFolder(std::string_view prefix);

// Removes the folder and everything in it; files a test made read-only go too.
void RemoveScratchFolder(const std::string& path);

// A scratch folder removed with its contents when the owner goes, or by a termination signal
// (tempregistry).
class ScratchFolder {
  public:
    explicit ScratchFolder(std::string_view prefix) : made_(MakeScratchFolder(prefix)) {
        if (made_) listed_ = tempregistry::Add(made_.value(), true);
    }
    ~ScratchFolder() {
        tempregistry::Remove(listed_);
        if (made_) RemoveScratchFolder(made_.value());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Whether the folder was made, or why not.
    Status Made() const { return made_ ? Status() : Status(made_.failure()); }
    // The folder's path ending in '/'; empty when it was not made.
    std::string Path() const { return made_ ? made_.value() + "/" : std::string(); }

  private:
    Result<std::string> made_;
    tempregistry::Entry* listed_ = nullptr;
};
