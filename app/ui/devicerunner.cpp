#include "app/ui/devicerunner.h"

#include <QThread>
#include <memory>

#include "link/connection.h"

DeviceRunner::DeviceRunner(connection& conn) : conn_(conn) {}

DeviceRunner::~DeviceRunner() {
    Abandon();
}

bool DeviceRunner::Start(std::function<void()> work, std::function<void()> done) {
    if (running_) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (abandoned_) return false;
        work_ = std::move(work);
    }
    conn_.ClearCancel();
    done_ = std::move(done);
    running_ = true;
    // The worker is made for the first command only; later ones wake it where it waits.
    if (worker_.joinable())
        handed_.notify_one();
    else
        worker_ = std::thread([this] { Work(); });
    return true;
}

void DeviceRunner::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        handed_.wait(lock, [this] { return work_ || abandoned_; });
        // A command handed over runs even when the runner went meanwhile: it is cancelled, and
        // what it reports is dropped.
        if (!work_) return;
        std::function<void()> work = std::move(work_);
        work_ = nullptr;
        lock.unlock();
        work();
        // What the command holds goes before its done runs on the runner's thread.
        work = nullptr;
        Post([this] { Finish(); });
        lock.lock();
    }
}

void DeviceRunner::Finish() {
    running_ = false;
    const std::function<void()> done = std::move(done_);
    done_ = nullptr;
    if (done) done();
}

void DeviceRunner::Cancel() {
    if (running_) conn_.RequestCancel();
}

void DeviceRunner::Abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abandoned_ = true;
    }
    handed_.notify_all();
    if (running_) conn_.RequestCancel();
    if (worker_.joinable()) worker_.join();
    running_ = false;
    done_ = nullptr;
}

bool DeviceRunner::OnOwnThread() const {
    return QThread::currentThread() == home_.thread();
}

void DeviceRunner::Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return;
    QMetaObject::invokeMethod(
        &home_,
        [this, call = std::move(call)] {
            if (!Abandoned()) call();
        },
        Qt::QueuedConnection);
}

bool DeviceRunner::Abandoned() {
    std::lock_guard<std::mutex> lock(mutex_);
    return abandoned_;
}
