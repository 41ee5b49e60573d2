// A compositor without the virtual keyboard: the keys are left out, and the
// log says so once however many come (no Wayland call is made for them).
#include "platform/PlatformLog.h"
#include "platform/linux/wayland/VirtualKeyboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;
using namespace platform::linux_input;

namespace {

std::vector<std::string> gLog;

TEST(VirtualKeyboard, WithoutTheCompositorsKeyboardTheKeysAreLeftOutAndSaidOnce) {
    SetLogSink([](const std::string& line) { gLog.push_back(line); });
    {
        VirtualKeyboard keyboard;  // the registry offered no manager
        for (const ModifierKey key : {ModifierKey::Ctrl, ModifierKey::Shift, ModifierKey::Ctrl}) {
            keyboard.Send(nullptr, key, true, 0);
            keyboard.Send(nullptr, key, false, 0);
        }
    }
    SetLogSink(nullptr);
    ASSERT_EQ(gLog.size(), 1u);
    EXPECT_NE(gLog[0].find("offers no virtual keyboard"), std::string::npos) << gLog[0];
}

}  // namespace
