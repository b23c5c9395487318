#pragma once
// A one-line progress bar on a terminal's error stream, redrawn in place. Disabled (drawing
// nothing) when the stream is not a terminal, so that logs and pipes get no control characters.
#include <ostream>

#include "base/progresssink.h"

class ProgressBar : public IProgressSink {
  public:
    ProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~ProgressBar() { Finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void ShowProgress(const std::string& text, float fraction) override;
    void Show(float fraction);
    // Ends the bar's line, when one was drawn.
    void Finish();

  private:
    std::ostream& err_;
    bool enabled_;
    bool drawn_ = false;
    int percent_ = -1;
};
