#pragma once
// How often a device command's progress reaches the window's bar and status panel. The worker
// hands over only what changes the bar's position or the text; the window shows what arrives at
// most once an interval (about 30 times a second), the latest state waiting for its turn, so
// that a fast command neither floods the window's thread nor paints for nothing. Free of the
// toolkit: the window keeps the timer and the clock is passed in.
#include <chrono>
#include <string>

// The bar's range is 0..kProgressBarMax.
constexpr int kProgressBarMax = 100;
// The bar's position for a fraction above 0 (capped at 1); -1 (the bar hidden) for 0 or less.
int ProgressBarPosition(float fraction);

class ProgressPacing {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{33};

    explicit ProgressPacing(Clock::duration interval = kInterval) : interval_(interval) {}

    // The worker's side. Before a command starts: the bar's position on show (-1: hidden).
    void Restart(int shownPosition);
    // True when the state shows something the last one handed over did not.
    bool Changed(const std::string& text, float fraction);

    // The window's side. A state handed over arrives at now: Show it at once (Take it), Wait
    // for a timer until Due() to show it, or do Nothing (a timer already waits and will show
    // this latest state).
    enum class Step { Show, Wait, Nothing };
    Step Arrive(const std::string& text, float fraction, Clock::time_point now);
    Clock::time_point Due() const { return lastShown_ + interval_; }
    // The state waiting, to be shown at now (the timer fired, or the command ended); false when
    // none waits.
    bool Take(Clock::time_point now, std::string& text, float& fraction);
    // The window showed a state of its own: nothing waits any more.
    void Drop();

  private:
    Clock::duration interval_;
    // The worker's last hand-over.
    int handedPosition_ = -1;
    std::string handedText_;
    // The window's side.
    Clock::time_point lastShown_{};
    bool pending_ = false;
    bool waiting_ = false;  // a timer runs for the pending state
    std::string pendingText_;
    float pendingFraction_ = 0;
};
