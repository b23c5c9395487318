#pragma once
// Where the core's user messages go. The window shows each one as a modal box captioned
// "Внимание" with a single OK button; tests capture them instead of blocking.
#include <vector>

#include "base/cp1251.h"

class IMessageSink {
  public:
    // "\n" is a line break inside the box.
    virtual void ShowMessage(const Cp1251String& text) = 0;

  protected:
    ~IMessageSink() = default;
};

// Keeps the messages of a command that runs away from the window, which shows them, in their
// order, once the command has ended.
class HeldMessages final : public IMessageSink {
  public:
    void ShowMessage(const Cp1251String& text) override { texts.push_back(text); }
    std::vector<Cp1251String> texts;
};
