#include "app/ui/storeprogress.h"

#include <algorithm>
#include <utility>

namespace {

// The least a step shows: the bar is there, at its start, as soon as a step begins.
constexpr float kShown = 1e-6F;

}  // namespace

StoreStep::StoreStep(IProgressSink& bar, usertext::StoreStepKind kind, int step, int steps,
                     std::function<void()> begun)
    : bar_(bar),
      step_(std::clamp(step, 0, std::max(steps, 1) - 1)),
      steps_(std::max(steps, 1)),
      text_(usertext::StoreStepStatus(kind, step_, steps_).bytes()),
      begun_(std::move(begun)) {}

float StoreStep::BarFraction(int step, int steps, float fraction) {
    const float part = (static_cast<float>(step) + std::clamp(fraction, 0.0F, 1.0F)) /
                       static_cast<float>(std::max(steps, 1));
    return std::max(part, kShown);
}

void StoreStep::ShowProgress(const std::string&, float fraction) {
    if (begun_) std::exchange(begun_, nullptr)();
    bar_.ShowProgress(text_, BarFraction(step_, steps_, fraction));
}
