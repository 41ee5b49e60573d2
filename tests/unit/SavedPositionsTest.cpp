#include "host/ESDConnectionManager.h"
#include "plugin/HeldButtons.h"
#include "plugin/key/ActiveMouseCommand.h"
#include "plugin/key/KeyPress.h"
#include "plugin/key/KeyPressCommands.h"
#include "plugin/key/ToggleLocks.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "plugin/SavedPositions.h"
#include "plugin/StopSignal.h"
#include "ConsoleCapture.h"
#include "RecordedFeedback.h"
#include "RecordedInput.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace platform;
using nlohmann::json;

namespace {

// The members every settings page writes, and the command's own.
json KeySettings(json members) {
    json settings = {{"my_sleep", "0"},   {"my_offset_x", "0"},     {"my_offset_y", "0"},
                     {"my_wheel", "120"}, {"my_repeat_loops", "0"}};
    settings.update(members);
    return {{"settings", settings}};
}

std::optional<std::pair<int, int>> SlotOf(const SavedPositions& positions, const std::string& slot) {
    const auto point = positions.Slot(slot);
    if (!point) return std::nullopt;
    return std::make_pair(point->x, point->y);
}

TEST(SlotSetting, OneToNineAndOneWhenEmpty) {
    EXPECT_EQ(ParseSlotSetting(""), "1");
    for (const char* slot : {"1", "5", "9"}) EXPECT_EQ(ParseSlotSetting(slot), slot);
    for (const char* bad : {"0", "10", "a", " 1", "1 ", "-1", "01"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ParseSlotSetting(bad), std::nullopt);
    }
}

struct StoredCase {
    const char* name;
    const char* settings;  // the global settings as the host hands them
    std::optional<std::pair<int, int>> slot1;
};

TEST(SavedPositions, ASlotHoldsAPairOfIntegersOrNothing) {
    const StoredCase cases[] = {
        {"a pair", R"({"slots":{"1":{"x":120,"y":45}}})", std::make_pair(120, 45)},
        {"left of and above the primary display", R"({"slots":{"1":{"x":-1280,"y":-5}}})", std::make_pair(-1280, -5)},
        {"more members beside", R"({"slots":{"1":{"y":2,"x":1,"note":"desk"}}})", std::make_pair(1, 2)},
        {"another slot only", R"({"slots":{"2":{"x":1,"y":2}}})", std::nullopt},
        {"no slots", R"({"theme":"dark"})", std::nullopt},
        {"slots not an object", R"({"slots":[{"x":1,"y":2}]})", std::nullopt},
        {"slot not an object", R"({"slots":{"1":[1,2]}})", std::nullopt},
        {"slot null", R"({"slots":{"1":null}})", std::nullopt},
        {"x missing", R"({"slots":{"1":{"y":2}}})", std::nullopt},
        {"a fraction", R"({"slots":{"1":{"x":1.5,"y":2}}})", std::nullopt},
        {"a text", R"({"slots":{"1":{"x":"1","y":2}}})", std::nullopt},
        {"a truth value", R"({"slots":{"1":{"x":true,"y":2}}})", std::nullopt},
        {"past 32 bits", R"({"slots":{"1":{"x":4294967396,"y":2}}})", std::nullopt},
        {"below 32 bits", R"({"slots":{"1":{"x":-2147483649,"y":2}}})", std::nullopt},
        {"past 64 bits", R"({"slots":{"1":{"x":18446744073709551616,"y":2}}})", std::nullopt},
        {"settings not an object", R"([1,2])", std::nullopt},
        {"settings null", R"(null)", std::nullopt},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.name);
        SavedPositions positions{[](const json&) {}};
        positions.Receive(json::parse(c.settings));
        EXPECT_EQ(SlotOf(positions, "1"), c.slot1);
    }
}

TEST(SavedPositions, ASaveStoresTheWholeObjectKeepingWhatItDoesNotKnow) {
    std::vector<json> stored;
    SavedPositions positions{[&](const json& settings) { stored.push_back(settings); }};
    positions.Receive(json::parse(R"({"theme":"dark","slots":{"2":{"x":1,"y":2},"9":"junk"}})"));
    positions.Save("1", {120, 45});
    positions.Save("2", {-3, 4});
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], json::parse(R"({"theme":"dark","slots":{"1":{"x":120,"y":45},"2":{"x":1,"y":2},"9":"junk"}})"));
    EXPECT_EQ(stored[1], json::parse(R"({"theme":"dark","slots":{"1":{"x":120,"y":45},"2":{"x":-3,"y":4},"9":"junk"}})"));
    // Slots that are not an object are replaced by ones that are.
    positions.Receive(json::parse(R"({"slots":"none"})"));
    positions.Save("3", {7, 8});
    EXPECT_EQ(stored.back(), json::parse(R"({"slots":{"3":{"x":7,"y":8}}})"));
    // What the host stored is what the next start reads.
    SavedPositions restarted{[](const json&) {}};
    restarted.Receive(stored.back());
    EXPECT_EQ(SlotOf(restarted, "3"), std::make_pair(7, 8));
}

class PositionCommandTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
    }

    std::vector<Injected> Press(const std::string& command, const std::string& slot,
                                const std::string& modifiers = "") {
        ActionSettings settings;
        settings.my_mouse_event = command;
        settings.my_sleep = settings.my_offset_x = settings.my_offset_y = settings.my_wheel = "0";
        settings.my_repeat_loops = "0";
        settings.my_slot = slot;
        settings.my_modifiers = modifiers;
        LoadActiveMouseCommand(settings, "key");
        SetKeyHeld(true);
        PerformKeyPress(KeyPress{"key", "deck", GetActiveMouseCommand(), stop, feedback, toggles, positions});
        return Describe(TakeInputCalls());
    }

    StopSignal stop;
    RecordedFeedback feedback;
    HeldButtons held;
    ToggleLocks toggles{held};
    std::vector<json> stored;
    SavedPositions positions{[this](const json& settings) { stored.push_back(settings); }};
};

TEST_F(PositionCommandTest, SaveStoresWhereThePointerIsAndRestorePutsItBack) {
    recording::SetCursor(120, 45);
    EXPECT_EQ(Press("MOUSE_POS_SAVE", "4"), std::vector<Injected>{});
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], json::parse(R"({"slots":{"4":{"x":120,"y":45}}})"));
    recording::SetCursor(0, 0);
    EXPECT_EQ(Press("MOUSE_POS_RESTORE", "4"),
              (std::vector<Injected>{{"SendInput", {}, {InputEvent::MoveTo(120, 45)}}}));
    // An empty slot member is slot 1.
    Press("MOUSE_POS_SAVE", "");
    EXPECT_EQ(stored.back()["slots"]["1"], json::parse(R"({"x":120,"y":45})"));
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{});
}

TEST_F(PositionCommandTest, ARestoreTakesTheKeysModifiersInItsBatch) {
    positions.Receive(json::parse(R"({"slots":{"1":{"x":1,"y":2}}})"));
    EXPECT_EQ(Press("MOUSE_POS_RESTORE", "1", "ALT"),
              (std::vector<Injected>{{"SendInput",
                                      {},
                                      {InputEvent::Press(ModifierKey::Alt), InputEvent::MoveTo(1, 2),
                                       InputEvent::Release(ModifierKey::Alt)}}}));
}

TEST_F(PositionCommandTest, RestoringAnEmptySlotShowsTheAlert) {
    EXPECT_EQ(Press("MOUSE_POS_RESTORE", "2"), std::vector<Injected>{});
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"alert key"});
}

TEST_F(PositionCommandTest, SavingWhereThePointerCannotBeReadShowsTheAlertAndStoresNothing) {
    recording::SetCursorPosUnreadable(true);
    const std::string log = ConsoleOutputOf([&] { Press("MOUSE_POS_SAVE", "1"); });
    EXPECT_TRUE(stored.empty());
    EXPECT_EQ(feedback.Take(), std::vector<std::string>{"alert key"});
    EXPECT_NE(log.find("MOUSE_POS_SAVE saves nothing"), std::string::npos) << log;
}

TEST_F(PositionCommandTest, ASlotThatIsNoneDoesNothingButLog) {
    positions.Receive(json::parse(R"({"slots":{"1":{"x":1,"y":2}}})"));
    for (const char* command : {"MOUSE_POS_SAVE", "MOUSE_POS_RESTORE"}) {
        SCOPED_TRACE(command);
        std::vector<Injected> input;
        const std::string log = ConsoleOutputOf([&] { input = Press(command, "10"); });
        EXPECT_EQ(input, std::vector<Injected>{});
        EXPECT_NE(log.find("No slot \"10\""), std::string::npos) << log;
    }
    EXPECT_TRUE(stored.empty());
}

// A plugin as start-up links it, to a connection that is never run.
class PluginSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        SetKeyHeld(false);
        plugin.SetConnectionManager(&connection);
    }

    std::vector<Injected> Press(const std::string& context) {
        plugin.OnKeyDown("", context, json(), "device");
        plugin.WaitForKeyCommands();
        return Describe(TakeInputCalls());
    }

    MyStreamDeckPlugin plugin;
    ESDConnectionManager connection{1, "uuid", "registerPlugin", &plugin};
};

// The host's global settings reach the plugin's slots: a restore key moves
// to what the host said, as after a restart.
TEST_F(PluginSettingsTest, TheHostsGlobalSettingsFillTheSlots) {
    plugin.OnWillAppear("", "restore", KeySettings({{"my_mouse_event", "MOUSE_POS_RESTORE"}, {"my_slot", "7"}}), "");
    plugin.OnDidReceiveGlobalSettings(json::parse(R"({"slots":{"7":{"x":640,"y":360}}})"));
    EXPECT_EQ(Press("restore"), (std::vector<Injected>{{"SendInput", {}, {InputEvent::MoveTo(640, 360)}}}));
}

// The steps a settings page sets reach the key through didReceiveSettings too.
TEST_F(PluginSettingsTest, StepsArriveWithTheSettingsTheHostReports) {
    plugin.OnWillAppear("", "seq", KeySettings({{"my_mouse_event", "MOUSE_SEQUENCE"}, {"my_steps", "move 1 1"}}), "");
    plugin.OnDidReceiveSettings("", "seq", {{"settings", {{"my_steps", "move +2 +3"}}}}, "");
    EXPECT_EQ(Press("seq"), (std::vector<Injected>{{"SendInput", {}, {InputEvent::MoveBy(2, 3)}}}));
}

}  // namespace
