#pragma once
// Where the core's user messages go. The window shows each one as a modal box captioned
// "Внимание" with a single OK button; tests capture them instead of blocking.
#include "base/cp1251.h"

class IMessageSink {
  public:
    // "\n" is a line break inside the box.
    virtual void ShowMessage(const Cp1251String& text) = 0;

  protected:
    ~IMessageSink() = default;
};
