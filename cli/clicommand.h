#pragma once
// What the commands of vr7lon share: reading their command line with its --help, and collecting
// the messages the core would show in the window's message boxes.
#include <memory>
#include <string>
#include <vector>

#include "base/cliargs.h"
#include "base/messagesink.h"
#include "cli/clicontext.h"

class SnvtList;
class XmlDocument;

// Parses a command's arguments (--help is always known). Returns true when the command should
// go on; otherwise status says how it ends: 0 after printing the usage for --help, 64 after
// printing the error and the usage on err.
bool ParseCommandArgs(const CliContext& ctx, const std::vector<std::string>& args,
                      std::vector<CliOption> options, const char* usage, CliArgs& parsed,
                      int& status, bool stopAtPositional = false);

// Prints "vr7lon: message" and the usage on err; returns the usage status.
int UsageError(const CliContext& ctx, const std::string& message, const char* usage);

// The window's messages, kept in order for the command to print where they belong.
class MessageLog : public IMessageSink {
  public:
    void ShowMessage(const Cp1251String& text) override { texts_.push_back(text); }
    const std::vector<Cp1251String>& Texts() const { return texts_; }
    // Each message on its own line of out, as UTF-8; then forgets them.
    void PrintTo(std::ostream& out);

  private:
    std::vector<Cp1251String> texts_;
};

enum class CatalogueStatus {
    Loaded,      // with its capacity, when a list was given
    NoCapacity,  // loaded, but without a usable "LonCfg" "size": the list's capacity is 0
    NotLoaded,   // the file could not be loaded: a command's answer would be silently empty
};

// Loads a command's variable catalogue as the window does ("calcbank.xml" of the working
// directory unless path names another file) and, when a list working on it is given, sets the
// list's capacity from it. Prints the XML library's or the capacity's error on err; like the
// window, a catalogue without a capacity still serves, with capacity 0, and the command decides
// whether to go on.
CatalogueStatus LoadCommandCatalogue(const CliContext& ctx, const std::string& path,
                                     XmlDocument& doc, SnvtList* list = nullptr);

// Keeps object (made with new) reachable until the process ends, never freed; false when it cannot
// be kept (the caller frees it then).
bool KeepUntilExit(const void* object);

// An object a command builds, such as a catalogue or a tree. When the process ends right after the
// command, it is left to the end of the process, which takes its memory back at once, instead of
// being taken apart piece by piece; it stays reachable, so a leak checker sees no leak.
template <class T>
class HeldToExit {
  public:
    template <class... Args>
    explicit HeldToExit(const CliContext& ctx, Args&&... args)
        : object_(std::make_unique<T>(std::forward<Args>(args)...)),
          keep_(ctx.env.exitsAfterCommand) {}
    ~HeldToExit() {
        if (keep_ && KeepUntilExit(object_.get())) (void)object_.release();
    }
    HeldToExit(const HeldToExit&) = delete;
    HeldToExit& operator=(const HeldToExit&) = delete;

    T& operator*() { return *object_; }
    T* operator->() { return object_.get(); }

  private:
    std::unique_ptr<T> object_;
    bool keep_;
};

// A command's catalogue and the list working on it. When the process ends right after the
// command, they are left to the end of the process, which takes their memory back at once,
// instead of being taken apart row by row; they stay reachable, so a leak checker sees no leak.
class CommandList {
  public:
    explicit CommandList(const CliContext& ctx);
    ~CommandList();
    CommandList(const CommandList&) = delete;
    CommandList& operator=(const CommandList&) = delete;

    XmlDocument& Catalogue() { return *catalogue_; }
    SnvtList& List() { return *list_; }

  private:
    std::unique_ptr<XmlDocument> catalogue_;
    std::unique_ptr<SnvtList> list_;
    bool keep_;
};
