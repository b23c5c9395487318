#include "app/ui/progresspacing.h"

#include <algorithm>

int ProgressBarPosition(float fraction) {
    if (!(fraction > 0)) return -1;
    const float capped = std::min(fraction, 1.0f);
    return static_cast<int>(static_cast<float>(kProgressBarMax) * capped);
}

void ProgressPacing::Restart(int shownPosition) {
    handedPosition_ = shownPosition;
    handedText_.clear();
}

bool ProgressPacing::Changed(const std::string& text, float fraction) {
    const int position = ProgressBarPosition(fraction);
    if (position == handedPosition_ && text == handedText_) return false;
    handedPosition_ = position;
    handedText_ = text;
    return true;
}

ProgressPacing::Step ProgressPacing::Arrive(const std::string& text, float fraction,
                                            Clock::time_point now) {
    pendingText_ = text;
    pendingFraction_ = fraction;
    pending_ = true;
    if (waiting_) return Step::Nothing;
    if (Due() <= now) return Step::Show;
    waiting_ = true;
    return Step::Wait;
}

bool ProgressPacing::Take(Clock::time_point now, std::string& text, float& fraction) {
    waiting_ = false;
    if (!pending_) return false;
    pending_ = false;
    lastShown_ = now;
    text = std::move(pendingText_);
    fraction = pendingFraction_;
    return true;
}

void ProgressPacing::Drop() {
    waiting_ = false;
    pending_ = false;
}
