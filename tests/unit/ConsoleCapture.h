#pragma once

#include "support/Log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

// What `action` writes to the console, once the console's writer has written it all.
template <typename Action>
std::string ConsoleOutputOf(Action action) {
    testing::internal::CaptureStdout();
    action();
    const bool written = FlushLog(std::chrono::seconds(5));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(written) << "the console's writer did not finish";
    return output;
}
