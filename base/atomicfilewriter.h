#pragma once
// Replaces a file as a whole: the new content goes to a temporary file in the same folder, which is
// synced and then renamed over the target. A failure at any step leaves an existing file exactly as
// it was and removes the temporary file.
//
// Only a regular file (or a symbolic link to one) is ever replaced. A FIFO or a character device
// (a terminal, /dev/stdout on one or on a pipe, /dev/null) is what the user meant to write into:
// the content goes through it as a whole at Commit, and the FIFO or device stays what it is. Any
// other kind of file (socket, block device) and a symbolic link loop are refused.
#include <functional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "base/tempregistry.h"
#include "base/uniquefd.h"

class AtomicFileWriter {
  public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();  // discards an uncommitted temporary file
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file for path. A symbolic link is followed, so its target is replaced;
    // an existing file's permissions carry over to the new one, and a file that may not be
    // written is refused. A FIFO or character device is opened for writing instead (a FIFO that
    // no one reads fails with ENXIO); a socket or block device fails with ENOTSUP, a folder
    // with EISDIR, a symbolic link loop with ELOOP. Every step's failure is a File failure with
    // the path given here and the errno of the step. The temporary file is ".NAME.tmpPID_N"
    // beside it (".tmpPID_N" for a name too long for that); such files that a killed process left
    // (its id no longer names a process) are removed first.
    Status Open(const std::string& path);
    // Writes all of data (one write call unless the system takes less); into a FIFO or device
    // only at Commit, so that it gets the content whole or nothing of it.
    Status Write(std::string_view data);
    // Syncs, closes and renames the temporary file over the target (a FIFO or device: writes the
    // content into it and closes it).
    Status Commit();
    // Syncs and closes the temporary file and puts it in place as a new file beside the path given
    // to Open, under the first of the names nameFor(0), nameFor(1), ... (up to `attempts`) that
    // no file has yet; an existing file is never replaced. committed gets the new file's path.
    // Not for a FIFO or device. EEXIST when every name is taken.
    Status CommitAsNew(const std::function<std::string(unsigned)>& nameFor, unsigned attempts,
                       std::string& committed);

    // From now on SIGTERM, SIGINT and SIGHUP first remove the temporary files of every writer
    // still at work, however many (and the scratch folders listed), then end the program as they
    // would have (for a program that has no handler of its own for them). A signal ignored when
    // this is called stays ignored.
    static void RemoveTemporaryFilesOnTermination();

  private:
    Failure Fail(int error);
    void Discard();

    std::string path_;  // as given to Open, for the failures
    std::string target_;
    std::string temp_;
    tempregistry::Entry* entry_ = nullptr;  // temp_ as listed for the termination signals
    bool through_ = false;  // the target is a FIFO or device, written into at Commit
    std::string pending_;   // what goes through it
    UniqueFd fd_;
};

// Writes bytes as the file at path whole, or leaves it as it was (AtomicFileWriter).
Status WriteFileWhole(const std::string& path, std::string_view bytes);

// Writes all of data to the open file fd, however many writes it takes; the errno of a failure,
// or 0.
int WriteAll(int fd, std::string_view data);

// The steps both platforms' writers share.
namespace atomicfile {
// The folder of a path ("." for a bare name) and its last component.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// The stem of the temporary names of a file NAME: ".NAME.tmp", or ".tmp" where NAME is so long
// that the longer form would be no legal file name.
std::string TempStem(const std::string& name);
// The temporary file of attempt: FOLDER/STEM<process id>_<attempt>.
std::string TempName(const std::string& folder, const std::string& stem, unsigned attempt);
// Removes the temporary files of stem in folder that a process left when it was killed (its id
// no longer names a process); those of a process still alive are its own business.
void RemoveStaleTemps(const std::string& folder, const std::string& stem);
}  // namespace atomicfile
