#pragma once
// The window's status text and progress bar, as the core's long operations report to them.
#include <string>

class IProgressSink {
  public:
    // text (Windows-1251) goes to the status bar; a fraction above 0 shows the progress bar at
    // that fraction (capped at 1), 0 or less hides it. Repaints at once, since the operation
    // blocks the user-interface thread.
    virtual void ShowProgress(const std::string& text, float fraction) = 0;

  protected:
    ~IProgressSink() = default;
};
