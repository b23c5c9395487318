#pragma once
// Where the core's user messages go. The window shows each one as a modal box captioned
// "Внимание" with a single OK button; tests capture them instead of blocking.
#include <string>

class IMessageSink {
  public:
    // text is Windows-1251; "\n" is a line break inside the box.
    virtual void ShowMessage(const std::string& text) = 0;

  protected:
    ~IMessageSink() = default;
};
