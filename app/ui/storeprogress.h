#pragma once
// A store's progress in the window: the download that comes first (the backup's, or the
// preview's) and the upload are steps of one bar, each with its text in the status panel. A step
// maps its own fraction onto its part of the bar and tells once, as it begins, that it has.
#include <functional>
#include <string>

#include "app/messages.h"
#include "base/progresssink.h"

class StoreStep : public IProgressSink {
  public:
    // Step step (from 0) of steps, shown on bar. begun, when given, is called on the command's
    // thread the first time the step reports.
    StoreStep(IProgressSink& bar, usertext::StoreStepKind kind, int step, int steps,
              std::function<void()> begun = {});
    void ShowProgress(const std::string& text, float fraction) override;

    // Where a step's fraction (0 to 1) lies on the bar: above 0 always, so that the bar shows
    // from the first step's start.
    static float BarFraction(int step, int steps, float fraction);

  private:
    IProgressSink& bar_;
    int step_;
    int steps_;
    std::string text_;
    std::function<void()> begun_;
};
