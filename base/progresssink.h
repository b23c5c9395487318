#pragma once
// Where a long operation reports how far it got: the device transfers and the device tree build
// of the link and the tree builder, the list's deletions, the device commands. The window's
// status bar and progress bar, vr7lon's bar on a terminal and the tests' recorders take it.
// A call is a virtual call with a fraction and a reference to text, nothing more: cheap enough
// for every exchange.
#include <string>

class IProgressSink {
  public:
    // text (Windows-1251, empty when the operation has none) goes to a status line; a fraction
    // above 0 shows a bar at that fraction (capped at 1), 0 or less hides it. The window
    // repaints at once when called on its own thread, since the operation blocks it then.
    virtual void ShowProgress(const std::string& text, float fraction) = 0;

  protected:
    ~IProgressSink() = default;
};
