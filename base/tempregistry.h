#pragma once
// The temporary files and folders the program has made, for a termination signal to remove: a
// file being written, a scratch folder with whatever it holds. The list grows to as many entries
// as are alive at once (any number: a fleet's workers each hold their own), and the signal
// handler only reads it and calls async-signal-safe functions.
#include <string>

namespace tempregistry {

struct Entry;

// Lists a file, or a folder whose files (one level) go with it; nullptr when the path is too long
// to be listed (the owner then removes it alone). Thread-safe.
Entry* Add(const std::string& path, bool folder);
// Takes the entry off the list (nullptr: nothing); the owner removes the file itself.
void Remove(Entry* entry);

// Making a listed file (creating it, or renaming it into place) happens inside a Making: a
// termination signal waits for the makings under way before it removes the listed files, and no
// new one begins after it came (Allowed is then false, and nothing may be made).
class Making {
  public:
    Making();
    ~Making();
    Making(const Making&) = delete;
    Making& operator=(const Making&) = delete;
    bool Allowed() const { return allowed_; }

  private:
    bool allowed_;
};

// From now on SIGTERM, SIGINT and SIGHUP first remove every listed file, then every listed
// folder with its files, then end the program as they would have. A signal ignored when this is
// called stays ignored.
void RemoveOnTermination();

}  // namespace tempregistry
