#include "app/ui/devicerunner.h"

#include <QThread>
#include <memory>

#include "link/connection.h"

DeviceRunner::DeviceRunner(connection& conn) : conn_(conn) {}

DeviceRunner::~DeviceRunner() {
    Abandon();
}

bool DeviceRunner::Start(std::function<void()> work, std::function<void()> done) {
    if (Running()) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (abandoned_) return false;
    }
    conn_.ClearCancel();
    done_ = std::move(done);
    worker_ = std::thread([this, work = std::move(work)] {
        work();
        Post([this] { Finish(); });
    });
    return true;
}

void DeviceRunner::Finish() {
    if (worker_.joinable()) worker_.join();
    const std::function<void()> done = std::move(done_);
    done_ = nullptr;
    if (done) done();
}

void DeviceRunner::Cancel() {
    if (Running()) conn_.RequestCancel();
}

void DeviceRunner::Abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abandoned_ = true;
    }
    called_.notify_all();
    if (!worker_.joinable()) return;
    conn_.RequestCancel();
    worker_.join();
    done_ = nullptr;
}

bool DeviceRunner::OnOwnThread() const {
    return QThread::currentThread() == home_.thread();
}

void DeviceRunner::Run(const std::function<void()>& call) {
    if (OnOwnThread()) {
        call();
        return;
    }
    auto ran = std::make_shared<bool>(false);
    std::unique_lock<std::mutex> lock(mutex_);
    if (abandoned_) return;
    QMetaObject::invokeMethod(
        &home_,
        [this, call, ran] {
            if (Abandoned()) return;
            call();
            std::lock_guard<std::mutex> finished(mutex_);
            *ran = true;
            called_.notify_all();
        },
        Qt::QueuedConnection);
    called_.wait(lock, [this, &ran] { return *ran || abandoned_; });
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
