// Widgets need an application object; tests that link this file get one for the whole run,
// on the offscreen platform so that nothing needs a display.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace {

class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "tessarinth-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
