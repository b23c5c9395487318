#include "cli/progressbar.h"

#include <algorithm>
#include <string>

namespace {
constexpr int kWidth = 40;
}

void ProgressBar::ShowProgress(const std::string& /*text*/, float fraction) {
    Show(fraction);
}

void ProgressBar::Show(float fraction) {
    if (!enabled_) return;
    // NaN and out-of-range fractions are held to the bar.
    const float f = fraction > 0 ? std::min(fraction, 1.0f) : 0.0f;
    const int percent = static_cast<int>(f * 100.0f);
    if (percent == percent_) return;
    percent_ = percent;
    const int filled = percent * kWidth / 100;
    err_ << '\r' << '[' << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << '%'
         << std::flush;
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) err_ << '\n' << std::flush;
    drawn_ = false;
    percent_ = -1;
}
