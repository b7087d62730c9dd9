// Text documents need fonts, and fonts need an application object: every GoogleTest
// executable that includes this header gets one for its whole run.
#pragma once

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace moratutor::testing {

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QGuiApplication::instance()) app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "textfiles-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

inline ::testing::Environment* const kGuiEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace moratutor::testing
