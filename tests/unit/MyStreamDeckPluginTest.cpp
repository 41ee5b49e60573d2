#include "host/ESDConnectionManager.h"
#include "platform/Platform.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/commands/MouseCommandExecutor.h"
#include "KeySettings.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "ConsoleCapture.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace platform;
using nlohmann::json;

namespace {

json Settings(const std::string& command, const std::string& x = "0", const std::string& y = "0") {
    return {{"my_mouse_event", command}, {"my_sleep", "0"},       {"my_offset_x", x},
            {"my_offset_y", y},          {"my_wheel", "0"},       {"my_repeat_loops", "0"}};
}

json Appearance(const json& settings) { return {{"settings", settings}}; }

// A plugin as start-up links it, to a connection that is never run: images
// go nowhere, everything else is real.
class PluginTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        plugin.SetConnectionManager(&connection);
    }

    std::vector<Injected> Press(const std::string& context) {
        plugin.OnKeyDown("org.deckmouse.mouse", context, json(), "device");
        plugin.WaitForKeyCommands();
        return Describe(TakeInputCalls());
    }

    MyStreamDeckPlugin plugin;
    ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
};

const std::vector<Injected> kPlacedAt12 = {{"SetCursorPos", {1, 2}}};

TEST_F(PluginTest, PressPerformsTheSettingsStoredAtAppearance) {
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_EQ(Press("key"), kPlacedAt12);
}

// The connection goes on while a press waits out its passes, and what came
// after the press changes nothing of it.
TEST_F(PluginTest, PressReturnsAtOnceAndLaterPressesTakeEffectInArrivalOrder) {
    plugin.OnWillAppear("", "click", Appearance(Settings("MOUSE_LEFT_CLICK")), "");
    plugin.OnWillAppear("", "place", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    const auto sent = std::chrono::steady_clock::now();
    plugin.OnKeyDown("", "click", json(), "");
    plugin.OnKeyUp("", "click", json(), "");
    plugin.OnKeyDown("", "place", json(), "");
    plugin.OnSendToPlugin("", "place", json{{"my_offset_x", "40"}}, "");
    EXPECT_LT(MillisecondsBetween(sent, std::chrono::steady_clock::now()), kPassWaitMs)
        << "the events waited for the click's pass";
    plugin.WaitForKeyCommands();
    const auto calls = TakeInputCalls();
    EXPECT_EQ(Describe(calls), (std::vector<Injected>{{"mouse_event", {MOUSEEVENTF_LEFTDOWN, 0}},
                                                      {"mouse_event", {MOUSEEVENTF_LEFTUP, 0}},
                                                      {"SetCursorPos", {1, 2}}}));
    EXPECT_GE(MillisecondsBetween(calls[1].time, calls[2].time), 2 * kPassWaitMs) << "the passes overlapped";
}

// What ends a key does not wait behind the presses queued before it: its own
// queued presses are dropped, the others still run.
TEST_F(PluginTest, DisappearanceDropsTheKeysQueuedPressesOnly) {
    plugin.OnWillAppear("", "click", Appearance(Settings("MOUSE_LEFT_CLICK")), "");
    plugin.OnWillAppear("", "place", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    plugin.OnWillAppear("", "stays", Appearance(Settings("MOUSE_CURSOR_POS", "5", "6")), "");
    plugin.OnKeyDown("", "click", json(), "");
    plugin.OnKeyDown("", "place", json(), "");
    plugin.OnKeyDown("", "stays", json(), "");
    plugin.OnWillDisappear("", "place", json(), "");
    plugin.WaitForKeyCommands();
    EXPECT_EQ(Describe(TakeInputCalls()), (std::vector<Injected>{{"mouse_event", {MOUSEEVENTF_LEFTDOWN, 0}},
                                                                 {"mouse_event", {MOUSEEVENTF_LEFTUP, 0}},
                                                                 {"SetCursorPos", {5, 6}}}));
}

TEST_F(PluginTest, PressOfAnUnknownKeyDoesNothing) {
    LoadActiveMouseCommand(KeySettings("MOUSE_WHEEL_UP", "7"), "shown");
    EXPECT_TRUE(Press("never shown").empty());
    EXPECT_EQ(GetActiveMouseCommand().context, "shown");
}

TEST_F(PluginTest, SecondAppearanceKeepsTheFirstSettings) {
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "8", "9")), "");
    EXPECT_EQ(Press("key"), kPlacedAt12);
}

TEST_F(PluginTest, ContextsDifferingInCaseAreDifferentKeys) {
    plugin.OnWillAppear("", "Key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_TRUE(Press("key").empty());
    plugin.OnWillAppear("", "", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_EQ(Press(""), kPlacedAt12) << "the empty context is a key like any other";
}

TEST_F(PluginTest, AppearanceWithANumberStoresNothingAndLeavesTheTableUsable) {
    json bad = Settings("MOUSE_CURSOR_POS", "1", "2");
    bad["my_sleep"] = 250;
    EXPECT_THROW(plugin.OnWillAppear("", "bad", Appearance(bad), ""), json::type_error);
    EXPECT_TRUE(Press("bad").empty());
    plugin.OnWillAppear("", "good", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_EQ(Press("good"), kPlacedAt12);
}

TEST_F(PluginTest, PressWhoseNumbersDoNotConvertRaisesAndSetsNothing) {
    json settings = Settings("MOUSE_LEFT_DOWN");
    settings["my_offset_y"] = "down";
    plugin.OnWillAppear("", "key", Appearance(settings), "");
    // Raised on the key-command thread, where it drops that one press.
    EXPECT_TRUE(Press("key").empty());
    EXPECT_TRUE(TakeInputCalls().empty());
}

TEST_F(PluginTest, DisappearanceForgetsTheKey) {
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_EQ(Press("key"), kPlacedAt12);
    plugin.OnWillDisappear("", "key", json(), "");
    plugin.WaitForKeyCommands();
    EXPECT_TRUE(Press("key").empty());
    plugin.OnWillDisappear("", "not shown", json(), "");  // no error
}

TEST_F(PluginTest, DeviceEvents) {
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_EQ(Press("key"), kPlacedAt12);
    plugin.OnDeviceDidConnect("device", json{{"size", {{"columns", 5}}}});
    plugin.OnDeviceDidDisconnect("device");
    plugin.WaitForKeyCommands();
    EXPECT_EQ(Press("key"), kPlacedAt12);
}

TEST_F(PluginTest, SettingsUpdateReachesTheNextPress) {
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    plugin.OnSendToPlugin("", "key", json{{"my_offset_x", "40"}}, "");
    EXPECT_EQ(Press("key"), (std::vector<Injected>{{"SetCursorPos", {40, 2}}}));
}

TEST_F(PluginTest, BadSettingsUpdateChangesNothing) {
    plugin.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_THROW(plugin.OnSendToPlugin("", "key", json{{"my_offset_x", "40"}, {"my_wheel", 120}}, ""),
                 json::type_error);
    EXPECT_EQ(Press("key"), kPlacedAt12) << "fields before the bad member were kept from the stored entry";
}

TEST_F(PluginTest, SettingsUpdateForAnUnknownKeyOrWithoutConnectionIsDropped) {
    plugin.OnSendToPlugin("", "never shown", json{{"my_offset_x", "40"}}, "");
    plugin.OnWillAppear("", "never shown", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    EXPECT_EQ(Press("never shown"), kPlacedAt12);

    MyStreamDeckPlugin unlinked;
    unlinked.OnWillAppear("", "key", Appearance(Settings("MOUSE_CURSOR_POS", "1", "2")), "");
    unlinked.OnSendToPlugin("", "key", json{{"my_offset_x", "40"}}, "");
    unlinked.OnKeyDown("", "key", json(), "");
    unlinked.WaitForKeyCommands();
    EXPECT_EQ(Describe(TakeInputCalls()), kPlacedAt12);
}

TEST_F(PluginTest, MissingIconIsReportedAndUnreadableImageStillStoresTheUpdate) {
    json settings = Settings("MOUSE_CURSOR_POS", "1", "2");
    settings["my_icon_name"] = "arrow";
    settings["my_icon_color"] = "red";
    settings["my_icon_color_id"] = "2";
    const json update = {{"my_offset_y", "9"}, {"background-image", "no/such/image.png"}};
    EXPECT_EQ(ConsoleOutputOf([&] {
                  plugin.OnWillAppear("", "key", Appearance(settings), "");
                  plugin.OnSendToPlugin("", "key", update, "");
              }),
              "Unable to open file icons\\arrow_2red.png\nUnable to open file no/such/image.png\n");
    EXPECT_EQ(Press("key"), (std::vector<Injected>{{"SetCursorPos", {1, 9}}}));
}

TEST_F(PluginTest, IconNeedsBothNameAndColour) {
    json settings = Settings("MOUSE_CURSOR_POS");
    settings["my_icon_name"] = "arrow";
    EXPECT_EQ(ConsoleOutputOf([&] { plugin.OnWillAppear("", "key", Appearance(settings), ""); }), "")
        << "no file is opened without a colour";
}

TEST_F(PluginTest, IconValueWithANulIsRefusedNotCutShort) {
    json settings = Settings("MOUSE_CURSOR_POS");
    settings["my_icon_name"] = std::string("arrow\0.txt", 10);
    settings["my_icon_color"] = "red";
    settings["my_icon_color_id"] = "2";
    EXPECT_EQ(ConsoleOutputOf([&] { plugin.OnWillAppear("", "key", Appearance(settings), ""); }),
              "Unable to open file icons\\arrow\\x00.txt_2red.png\n");
}

// The host's global settings reach the plugin's slots: a restore key moves
// to what the host said, as after a restart.
TEST_F(PluginTest, TheHostsGlobalSettingsFillTheSlots) {
    json restore = Settings("MOUSE_POS_RESTORE");
    restore["my_slot"] = "7";
    plugin.OnWillAppear("", "restore", Appearance(restore), "");
    plugin.OnDidReceiveGlobalSettings(json::parse(R"({"slots":{"7":{"x":640,"y":360}}})"));
    EXPECT_EQ(Press("restore"), (std::vector<Injected>{{"SendInput", {}, {InputEvent::MoveTo(640, 360)}}}));
}

// The steps a settings page sets reach the key through didReceiveSettings too.
TEST_F(PluginTest, StepsArriveWithTheSettingsTheHostReports) {
    json sequence = Settings("MOUSE_SEQUENCE");
    sequence["my_steps"] = "move 1 1";
    plugin.OnWillAppear("", "seq", Appearance(sequence), "");
    plugin.OnDidReceiveSettings("", "seq", {{"settings", {{"my_steps", "move +2 +3"}}}}, "");
    plugin.OnKeyDown("", "seq", json(), "device");
    // The sequence runs beside the key-command thread.
    EXPECT_EQ(Describe(WaitForInput(1, std::chrono::seconds(30))),
              (std::vector<Injected>{{"SendInput", {}, {InputEvent::MoveBy(2, 3)}}}));
}

}  // namespace
