// The device runner without a window: a command runs beside the runner's thread and is cancelled
// between two exchanges; a second command is refused, never queued for later; what the worker
// hands over runs on the runner's thread in order; and once the runner is gone (with its window),
// nothing the worker posted, before or after, runs, and the worker is not left waiting.
#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <vector>

#include "app/ui/devicerunner.h"
#include "link/connection.h"
#include "tests/appui/support/windowfixture.h"

namespace {

constexpr int kGenerousMs = 30000;

class DeviceRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override { TestApplication(); }
    // Lets the event loop run until the runner's command has ended and its done has run.
    bool Finish(DeviceRunner& runner) {
        return QTest::qWaitFor([&runner] { return !runner.Running(); }, kGenerousMs);
    }

    connection conn;
};

TEST_F(DeviceRunnerTest, CancelReachesTheCommandAndItsDoneRunsOnTheRunnersThread) {
    DeviceRunner runner(conn);
    conn.RequestCancel();  // a cancel left over from before is cleared by the start
    std::promise<bool> sawCancelAtStart;
    std::atomic<bool> stopped{false};
    QThread* doneThread = nullptr;
    int dones = 0;
    ASSERT_TRUE(runner.Start(
        [&] {
            sawCancelAtStart.set_value(conn.CancelRequested());
            // An exchange after another, until the cancel comes between two of them.
            while (!conn.CancelRequested()) QThread::yieldCurrentThread();
            stopped = true;
        },
        [&] {
            doneThread = QThread::currentThread();
            ++dones;
        }));
    EXPECT_FALSE(sawCancelAtStart.get_future().get());
    EXPECT_TRUE(runner.Running());
    runner.Cancel();
    ASSERT_TRUE(Finish(runner));
    EXPECT_TRUE(stopped);
    EXPECT_EQ(dones, 1);
    EXPECT_EQ(doneThread, QThread::currentThread());
    // Cancelling with nothing running asks nothing of the next command.
    runner.Cancel();
    ASSERT_TRUE(runner.Start([] {}, nullptr));
    EXPECT_TRUE(Finish(runner));
}

TEST_F(DeviceRunnerTest, ASecondCommandIsRefusedAndNeverReplayed) {
    DeviceRunner runner(conn);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<int> ran;
    ASSERT_TRUE(runner.Start([released] { released.wait(); }, [&ran] { ran.push_back(1); }));
    EXPECT_FALSE(runner.Start([&ran] { ran.push_back(2); }, [&ran] { ran.push_back(3); }));
    release.set_value();
    ASSERT_TRUE(Finish(runner));
    // Another command that runs to its end: had the refused one been queued, it would have run
    // before this one's done.
    ASSERT_TRUE(runner.Start([] {}, [&ran] { ran.push_back(4); }));
    ASSERT_TRUE(Finish(runner));
    EXPECT_EQ(ran, (std::vector<int>{1, 4}));
}

TEST_F(DeviceRunnerTest, CallsFromTheWorkerRunOnTheRunnersThreadInOrder) {
    DeviceRunner runner(conn);
    QThread* const own = QThread::currentThread();
    std::vector<int> order;
    bool allOnOwnThread = true;
    bool workerOnOwnThread = true;
    ASSERT_TRUE(runner.Start(
        [&] {
            workerOnOwnThread = runner.OnOwnThread();
            runner.Post([&] {
                allOnOwnThread = allOnOwnThread && QThread::currentThread() == own;
                order.push_back(1);
            });
            runner.Post([&] {
                allOnOwnThread = allOnOwnThread && QThread::currentThread() == own;
                order.push_back(2);
            });
        },
        [&order] { order.push_back(3); }));
    ASSERT_TRUE(Finish(runner));
    EXPECT_FALSE(workerOnOwnThread);
    EXPECT_TRUE(allOnOwnThread);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// Marks the thread a command ran on: a thread made afresh starts unmarked, even where the system
// hands it the identifier of one that has ended.
thread_local int threadMark = 0;

TEST_F(DeviceRunnerTest, CommandsTakeTurnsOnOneWorker) {
    DeviceRunner runner(conn);
    // Each command marks its thread and says which mark it found; the next one starts from the
    // done of the one before, as a window's command may.
    std::vector<int> found;
    std::function<void()> next;
    int left = 3;
    next = [&] {
        if (left-- == 0) return;
        const int mark = 3 - left;
        ASSERT_TRUE(runner.Start(
            [&found, mark] {
                found.push_back(threadMark);
                threadMark = mark;
            },
            next));
    };
    next();
    ASSERT_TRUE(QTest::qWaitFor([&left] { return left < 0; }, kGenerousMs));
    ASSERT_TRUE(Finish(runner));
    EXPECT_EQ(found, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(threadMark, 0);  // none of them ran on the runner's thread
    // A command after a pause finds the same worker waiting.
    QCoreApplication::processEvents();
    int last = -1;
    ASSERT_TRUE(runner.Start([&last] { last = threadMark; }, nullptr));
    ASSERT_TRUE(Finish(runner));
    EXPECT_EQ(last, 3);
}

TEST_F(DeviceRunnerTest, NothingRunsOnceTheRunnerIsGone) {
    // The worker posts results while the runner's thread destroys the runner: neither the
    // results nor done run, and the worker is let go.
    auto runner = std::make_unique<DeviceRunner>(conn);
    std::promise<void> posted;
    std::atomic<bool> workEnded{false};
    bool result = false;
    bool done = false;
    ASSERT_TRUE(runner->Start(
        [&] {
            runner->Post([&result] { result = true; });
            posted.set_value();
            // Perhaps still reporting after the runner is gone.
            runner->Post([&result] { result = true; });
            workEnded = true;
        },
        [&done] { done = true; }));
    posted.get_future().wait();
    // The window goes: the worker is cancelled and waited for.
    runner->Abandon();
    EXPECT_TRUE(workEnded);
    EXPECT_TRUE(conn.CancelRequested());
    EXPECT_FALSE(runner->Running());
    EXPECT_FALSE(runner->Start([] {}, [&done] { done = true; }));
    runner.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(result);
    EXPECT_FALSE(done);
}

TEST_F(DeviceRunnerTest, AResultPostedBeforeTheRunnerWentIsDropped) {
    // The command has ended and its results wait in the event queue when the window is
    // destroyed without closing: none of them runs afterwards.
    auto runner = std::make_unique<DeviceRunner>(conn);
    std::promise<void> ended;
    bool result = false;
    bool done = false;
    ASSERT_TRUE(runner->Start(
        [&] {
            runner->Post([&result] { result = true; });
            ended.set_value();
        },
        [&done] { done = true; }));
    ended.get_future().wait();
    runner.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(result);
    EXPECT_FALSE(done);
}

}  // namespace
