#pragma once
// Replaces a file as a whole: the new content goes to a temporary file in the same folder, which is
// synced and then renamed over the target. A failure at any step leaves an existing file exactly as
// it was and removes the temporary file.
#include <string>
#include <string_view>

#include "uniquefd.h"

class CAtomicFileWriter {
  public:
    CAtomicFileWriter() = default;
    ~CAtomicFileWriter();  // discards an uncommitted temporary file
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

    // Creates the temporary file for path. A symbolic link is followed, so its target is replaced;
    // an existing file's permissions carry over to the new one, and a file that may not be
    // written is refused.
    bool Open(const std::string& path);
    // Writes all of data (one write call unless the system takes less).
    bool Write(std::string_view data);
    // Syncs, closes and renames the temporary file over the target.
    bool Commit();

    // errno of the step that failed.
    int Error() const { return error_; }

  private:
    bool Fail(int error);
    void Discard();

    std::string target_;
    std::string temp_;
    UniqueFd fd_;
    int error_ = 0;
};
