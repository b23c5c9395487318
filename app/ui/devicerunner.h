#pragma once
// Runs one device command at a time on a worker thread, so that the window's thread never waits
// on a device, and brings what the command reports back to the window's thread.
//
// The runner lives on the window's thread (the thread it is made on). Its commands take turns on
// one worker thread, started with the first command and kept for the runner's life: a command
// starts without a thread being made, on the worker that ran the one before. A command may be
// cancelled between two exchanges; a second command is refused while one runs, never queued for
// later. When the runner goes (with its window), a command still running is cancelled and waited
// for, and from then on nothing it reports, and nothing posted before but not yet run, reaches
// the window.
#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class connection;

class DeviceRunner {
  public:
    // conn is the connection the commands use: the runner clears its cancel request before a
    // command and requests it to cancel one.
    explicit DeviceRunner(connection& conn);
    ~DeviceRunner();
    DeviceRunner(const DeviceRunner&) = delete;
    DeviceRunner& operator=(const DeviceRunner&) = delete;

    // From the moment Start accepts a command until its done has run.
    bool Running() const { return running_; }
    // Runs work on the worker thread, then done on the runner's thread. False, and nothing runs,
    // while a command runs.
    bool Start(std::function<void()> work, std::function<void()> done);
    // Asks the running command to stop between two exchanges; nothing while none runs.
    void Cancel();
    // Cancels the running command and waits for it; neither what it reports from now on nor its
    // done reach the runner's thread. Called by the destructor; the window calls it first when
    // its own members must outlive the command.
    void Abandon();

    // From the worker: runs call on the runner's thread, without waiting for it (progress and
    // the exchange log's frames). A command's result is not posted but returned: its done reads
    // what the work left. Once abandoned, nothing posted runs.
    void Post(std::function<void()> call);
    bool OnOwnThread() const;

  private:
    // The worker's loop: each command handed over in turn, until the runner is abandoned.
    void Work();
    void Finish();
    bool Abandoned();

    connection& conn_;
    QObject home_;          // posted calls are delivered through it: gone with the runner
    std::thread worker_;    // started by the first command, joined when abandoned
    bool running_ = false;  // on the runner's thread: Start accepted, done not yet run
    std::function<void()> done_;
    std::mutex mutex_;
    std::condition_variable handed_;  // work was handed to the worker, or abandoned
    std::function<void()> work_;      // guarded by mutex_: the command the worker takes next
    bool abandoned_ = false;          // guarded by mutex_
};
