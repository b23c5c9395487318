// Every test program of this folder drives widgets, so one QApplication lives for the whole run.
// It is made in a global environment because the program's main() comes from GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class QtApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        // No display is needed: draw into memory unless the caller chose a platform.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[16] = "linkui_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

const testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
