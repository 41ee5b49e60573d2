// The plugin itself with its input forced through the desktop portal, behind
// Debian's xdg-desktop-portal and the recording remote desktop (run.sh
// plugin): key presses become the portal's pointer calls, and a refused
// grant leaves a plugin that still answers the host and says why once.
#include "KeyEvents.h"
#include "PluginProcess.h"
#include "PortalRecord.h"
#include "TestHost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr auto kDeadline = 5s;

std::vector<std::string> NotifyCalls(std::size_t skip, std::size_t count) {
    std::vector<std::string> notify;
    for (const json& call : RecordedPortalCalls(skip, count)) {
        const std::string summary = PortalCallSummary(call);
        if (summary.rfind("Notify", 0) == 0) notify.push_back(summary);
    }
    return notify;
}

std::size_t CountLinesWith(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

class PortalPlugin : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder);
        std::ofstream(folder / "picture.png", std::ios::binary) << "picture bytes";
        skip = RecordedPortalCalls().size();
    }
    void TearDown() override { fs::remove_all(folder); }

    std::unique_ptr<PluginProcess> Start() {
        auto plugin = std::make_unique<PluginProcess>(DECKMOUSE_EXE, HostArguments(host.Port()), folder.string(),
                                                      std::map<std::string, std::string>{{"DECKMOUSE_INPUT", "portal"}});
        EXPECT_TRUE(host.WaitForConnection(kDeadline));
        EXPECT_TRUE(host.NextMessage(kDeadline));  // the registration
        EXPECT_TRUE(host.NextMessage(kDeadline));  // the request for the global settings
        return plugin;
    }

    // The plugin still answers: an image asked for comes back.
    void ExpectAnswers() {
        host.Send(Event("sendToPlugin", "click", {{"background-image", (folder / "picture.png").string()}}).dump());
        const auto message = host.NextMessage(kDeadline);
        ASSERT_TRUE(message);
        EXPECT_EQ(json::parse(*message).at("event"), "setImage");
    }

    fs::path folder = fs::temp_directory_path() / ("deckmouse-portal-plugin-" + std::to_string(getpid()));
    TestHost host;
    std::size_t skip = 0;
};

TEST_F(PortalPlugin, KeyCommandsReachTheRemoteDesktop) {
    AnswerPortal("{}");
    auto plugin = Start();
    host.Send(Appear("click", "MOUSE_LEFT_CLICK").dump());
    host.Send(Appear("wheel", "MOUSE_WHEEL_UP").dump());
    // The portal cannot put the pointer on a pixel: a click meant for one is not sent at all.
    host.Send(Appear("click-at", "MOUSE_CLICK_AT").dump());
    host.Send(Event("keyDown", "click-at").dump());
    host.Send(Event("keyUp", "click-at").dump());
    host.Send(Event("keyDown", "click").dump());
    host.Send(Event("keyUp", "click").dump());
    host.Send(Event("keyDown", "wheel").dump());
    host.Send(Event("keyUp", "wheel").dump());
    const std::vector<std::string> expected{"NotifyPointerButton 272 1", "NotifyPointerButton 272 0",
                                            "NotifyPointerAxisDiscrete 0 -1"};
    // CreateSession, SelectDevices and Start come first.
    EXPECT_EQ(NotifyCalls(skip, 3 + expected.size()), expected);
    ExpectAnswers();
    EXPECT_EQ(CountLinesWith(plugin->Output(), "Input through the desktop portal"), 1u) << plugin->Output();
}

// A key's modifiers reach the remote desktop as keyboard calls around the
// pointer's: pressed before the button, released after it; a drag lock keeps
// them down while the button is locked. Where the user granted no keyboard,
// the pointer's calls come alone, and the log says so once.
class PortalPluginModifiers : public PortalPlugin {
protected:
    // A click with SHIFT+CTRL, then a right-button lock with CTRL pressed
    // twice: the Notify calls, those of the click's releases (which may come
    // in any order after its button) sorted; and how often the log said
    // the keys were left out.
    std::pair<std::vector<std::string>, std::size_t> ClickAndLock(std::size_t expectedCalls) {
        auto plugin = Start();
        json click = Appear("click", "MOUSE_LEFT_CLICK");
        click["payload"]["settings"]["my_modifiers"] = "SHIFT+CTRL";
        json lock = Appear("lock", "MOUSE_RIGHT_TOGGLE");
        lock["payload"]["settings"]["my_modifiers"] = "CTRL";
        host.Send(click.dump());
        host.Send(lock.dump());
        for (const char* context : {"click", "lock", "lock"}) {
            host.Send(Event("keyDown", context).dump());
            host.Send(Event("keyUp", context).dump());
        }
        // CreateSession, SelectDevices and Start come first.
        std::vector<std::string> calls = NotifyCalls(skip, 3 + expectedCalls);
        const auto isKeyUp = [](const std::string& call) {
            return call.rfind("NotifyKeyboardKeycode", 0) == 0 && call.compare(call.size() - 2, 2, " 0") == 0;
        };
        const auto clickUp = std::find(calls.begin(), calls.end(), "NotifyPointerButton 272 0");
        if (clickUp != calls.end()) {
            std::sort(clickUp + 1, std::find_if_not(clickUp + 1, calls.end(), isKeyUp));
        }
        ExpectAnswers();
        host.Close();
        EXPECT_EQ(plugin->WaitForExit(kDeadline), 0);
        return {calls, CountLinesWith(plugin->Output(), "has no keyboard")};
    }
};

TEST_F(PortalPluginModifiers, KeyboardCallsComeAroundThePointers) {
    AnswerPortal("{}");
    const std::vector<std::string> expected{
        "NotifyKeyboardKeycode 29 1", "NotifyKeyboardKeycode 42 1", "NotifyPointerButton 272 1",
        "NotifyPointerButton 272 0",  "NotifyKeyboardKeycode 29 0", "NotifyKeyboardKeycode 42 0",
        "NotifyKeyboardKeycode 29 1", "NotifyPointerButton 273 1", "NotifyPointerButton 273 0",
        "NotifyKeyboardKeycode 29 0"};
    const auto [calls, notes] = ClickAndLock(expected.size());
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(notes, 0u);
}

TEST_F(PortalPluginModifiers, WithoutAGrantedKeyboardThePointersCallsComeAlone) {
    AnswerPortal(R"({"GrantDevices": 2})");
    const std::vector<std::string> expected{"NotifyPointerButton 272 1", "NotifyPointerButton 272 0",
                                            "NotifyPointerButton 273 1", "NotifyPointerButton 273 0"};
    const auto [calls, notes] = ClickAndLock(expected.size());
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(notes, 1u);
}

TEST_F(PortalPlugin, RefusedGrantKeepsThePluginAnsweringAndIsSaidOnce) {
    AnswerPortal(R"({"Start": 1})");
    auto plugin = Start();
    host.Send(Appear("click", "MOUSE_LEFT_CLICK").dump());
    for (int i = 0; i < 3; ++i) {
        host.Send(Event("keyDown", "click").dump());
        host.Send(Event("keyUp", "click").dump());
    }
    ExpectAnswers();
    std::this_thread::sleep_for(1500ms);  // three presses of two 200 ms passes each
    EXPECT_EQ(NotifyCalls(skip, 0), std::vector<std::string>{});
    EXPECT_EQ(CountLinesWith(plugin->Output(), "No input through the desktop portal"), 1u) << plugin->Output();
    host.Close();
    EXPECT_EQ(plugin->WaitForExit(kDeadline), 0);
}

// Killed with a lock held: xdg-desktop-portal closes the session of a client
// that is gone, leaving the button to the remote desktop behind it (this one
// only records); the guardian releases it through a session of its own, which
// closes as the guardian ends.
TEST_F(PortalPlugin, KilledWithALockHeldTheGuardianReleasesThroughASessionOfItsOwn) {
    AnswerPortal("{}");
    auto plugin = Start();
    host.Send(Appear("lock", "MOUSE_LEFT_TOGGLE").dump());
    host.Send(Event("keyDown", "lock").dump());
    host.Send(Event("keyUp", "lock").dump());
    ASSERT_EQ(NotifyCalls(skip, 4), std::vector<std::string>{"NotifyPointerButton 272 1"});
    ASSERT_EQ(kill(plugin->Pid(), SIGKILL), 0);
    std::vector<std::string> after;
    for (const json& call : RecordedPortalCalls(skip + 4, 6)) after.push_back(PortalCallSummary(call));
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, (std::vector<std::string>{"CreateSession", "NotifyPointerButton 272 0", "SelectDevices",
                                               "Session.Close", "Session.Close", "Start"}));
}

// The same with Ctrl held through the lock: the guardian's session lets go of
// the key too.
TEST_F(PortalPlugin, KilledWithACtrlLockTheGuardianReleasesTheKeyToo) {
    AnswerPortal("{}");
    auto plugin = Start();
    json lock = Appear("lock", "MOUSE_LEFT_TOGGLE");
    lock["payload"]["settings"]["my_modifiers"] = "CTRL";
    host.Send(lock.dump());
    host.Send(Event("keyDown", "lock").dump());
    host.Send(Event("keyUp", "lock").dump());
    ASSERT_EQ(NotifyCalls(skip, 5), (std::vector<std::string>{"NotifyKeyboardKeycode 29 1", "NotifyPointerButton 272 1"}));
    ASSERT_EQ(kill(plugin->Pid(), SIGKILL), 0);
    std::vector<std::string> after;
    for (const json& call : RecordedPortalCalls(skip + 5, 7)) after.push_back(PortalCallSummary(call));
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, (std::vector<std::string>{"CreateSession", "NotifyKeyboardKeycode 29 0",
                                               "NotifyPointerButton 272 0", "SelectDevices", "Session.Close",
                                               "Session.Close", "Start"}));
}

}  // namespace
