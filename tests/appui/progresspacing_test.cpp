// The pacing of a device command's progress: the worker hands over only what changes the bar's
// position or the text; the window shows at most one state an interval, the latest waiting for
// its turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ui/progresspacing.h"

namespace {

using Step = ProgressPacing::Step;
using ms = std::chrono::milliseconds;

TEST(ProgressPacing, TheBarsPositionIsTheFractionOfItsRangeCappedAndHiddenAtZero) {
    const struct {
        float fraction;
        int position;
    } cases[] = {{0.5f, 50}, {0.999f, 99}, {1.0f, 100}, {7.0f, 100},
                 {0.0f, -1}, {-1.0f, -1},  {0.001f, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ProgressBarPosition(c.fraction), c.position) << c.fraction;
}

TEST(ProgressPacing, TheWorkerHandsOverOnlyWhatChangesTheBarOrTheText) {
    ProgressPacing pacing;
    pacing.Restart(-1);  // the bar hidden when the command starts
    const struct {
        const char* text;
        float fraction;
        bool handedOver;
    } cases[] = {
        {"", 0.0f, false},     // what is on show already
        {"", 0.101f, true},    // the bar appears at 10
        {"", 0.109f, false},   // still 10
        {"", 0.11f, true},     // 11
        {"a", 0.11f, true},    // the text changes
        {"a", 0.115f, false},  //
        {"", 0.115f, true},    // the text goes
        {"", 0.0f, true},      // the bar hides
        {"", -1.0f, false},    // hidden still
    };
    for (const auto& c : cases)
        EXPECT_EQ(pacing.Changed(c.text, c.fraction), c.handedOver)
            << '"' << c.text << "\" " << c.fraction;

    // A command that starts with the bar on show at 40 hands over 40 only when the text changed.
    pacing.Restart(40);
    EXPECT_FALSE(pacing.Changed("", 0.4f));
    EXPECT_TRUE(pacing.Changed("", 0.41f));
}

TEST(ProgressPacing, AtMostOneStateAnIntervalIsShownAndTheLatestWaitsForItsTurn) {
    // What the window does at a time: a state arrives (Arrive, its step; Wait also gives when the
    // timer is due), or the timer fires or the command ends (Take, the state shown, if any).
    enum Kind { Arrives, Takes };
    const struct {
        int at;  // ms
        Kind kind;
        float fraction;  // the state arriving, or the one expected to be shown (0: none)
        Step step;       // for an arrival
        int dueAt;       // for Wait
    } events[] = {
        {1000, Arrives, 0.1f, Step::Show, 0},  // the first is shown at once
        {1000, Takes, 0.1f, Step::Show, 0},
        {1010, Arrives, 0.2f, Step::Wait, 1033},  // too soon: a timer for the rest of the interval
        {1020, Arrives, 0.3f, Step::Nothing, 0},  // the timer shows the latest
        {1033, Takes, 0.3f, Step::Show, 0},       // 0.2 was never shown
        {1040, Takes, 0.0f, Step::Show, 0},       // nothing waits
        {1070, Arrives, 0.4f, Step::Show, 0},     // a whole interval since the last shown
        {1070, Takes, 0.4f, Step::Show, 0},
        {1080, Arrives, 0.5f, Step::Wait, 1103},
        {1090, Takes, 0.5f, Step::Show, 0},       // the command ended: what waits is shown at once
        {1100, Arrives, 0.6f, Step::Wait, 1123},  // the interval counts from that showing
    };
    const auto start = ProgressPacing::Clock::time_point{};
    ProgressPacing pacing;
    for (const auto& e : events) {
        SCOPED_TRACE(e.at);
        const auto now = start + ms(e.at);
        if (e.kind == Arrives) {
            EXPECT_EQ(pacing.Arrive("", e.fraction, now), e.step);
            if (e.step == Step::Wait) {
                EXPECT_EQ(pacing.Due(), start + ms(e.dueAt));
            }
            continue;
        }
        std::string text = "x";
        float shown = 0;
        EXPECT_EQ(pacing.Take(now, text, shown), e.fraction != 0.0f);
        EXPECT_FLOAT_EQ(shown, e.fraction);
    }
}

TEST(ProgressPacing, AStateOfTheWindowsOwnThreadDropsWhatWaits) {
    ProgressPacing pacing;
    const auto start = ProgressPacing::Clock::time_point{} + ms(1000);
    std::string text;
    float fraction = 0;
    ASSERT_EQ(pacing.Arrive("", 0.1f, start), Step::Show);
    ASSERT_TRUE(pacing.Take(start, text, fraction));
    ASSERT_EQ(pacing.Arrive("a", 0.2f, start + ms(5)), Step::Wait);
    pacing.Drop();
    EXPECT_FALSE(pacing.Take(start + ms(33), text, fraction));
    // With the timer stopped, the next arrival starts a wait of its own.
    EXPECT_EQ(pacing.Arrive("b", 0.3f, start + ms(20)), Step::Wait);
    EXPECT_TRUE(pacing.Take(start + ms(33), text, fraction));
    EXPECT_EQ(text, "b");
    EXPECT_FLOAT_EQ(fraction, 0.3f);
}

}  // namespace
