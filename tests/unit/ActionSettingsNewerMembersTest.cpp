#include "plugin/ActionSettings.h"

#include "plugin/key/commands/StepParser.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

std::vector<std::string> NewerFields(const ActionSettings& s) {
    return {s.my_button, s.my_return, s.my_accel, s.my_relative, s.my_monitor};
}

const json kNewer = {{"my_button", "X2"}, {"my_return", "1"}, {"my_accel", "150"}, {"my_relative", "1"},
                     {"my_monitor", "cursor"}};

TEST(ActionSettingsNewerMembers, ReadAtAppearanceAndEmptyWhenAbsent) {
    json settings = kNewer;
    settings["my_mouse_event"] = "MOUSE_CLICK_AT";
    EXPECT_EQ(NewerFields(ParseActionSettings({{"settings", settings}})),
              (std::vector<std::string>{"X2", "1", "150", "1", "cursor"}));
    const ActionSettings older = ParseActionSettings({{"settings", {{"my_mouse_event", "MOUSE_LEFT_CLICK"}}}});
    EXPECT_EQ(NewerFields(older), std::vector<std::string>(5));
}

TEST(ActionSettingsNewerMembers, UpdatedLikeTheOthers) {
    ActionSettings settings = ParseActionSettings({{"settings", kNewer}});
    EXPECT_EQ(ApplySettingsUpdate({{"my_monitor", "2"}, {"my_accel", ""}}, settings), std::nullopt);
    EXPECT_EQ(NewerFields(settings), (std::vector<std::string>{"X2", "1", "", "1", "2"}));

    // The colour id is still read last and still decides about the image.
    EXPECT_EQ(ApplySettingsUpdate({{"my_button", "RIGHT"}, {"background-image", "a.png"}}, settings), "a.png");
    EXPECT_EQ(ApplySettingsUpdate({{"my_button", "LEFT"}, {"my_icon_color_id", "3"}, {"background-image", "a.png"}},
                                  settings),
              std::nullopt);
    EXPECT_EQ(settings.my_button, "LEFT");
}

TEST(ActionSettingsNewerMembers, MemberThatIsNotAStringRaises) {
    for (const char* key : {"my_button", "my_return", "my_accel", "my_relative", "my_monitor"}) {
        for (const json& value : {json(1), json(true), json(nullptr)}) {
            SCOPED_TRACE(std::string(key) + " = " + value.dump());
            json settings = kNewer;
            settings[key] = value;
            EXPECT_THROW(ParseActionSettings({{"settings", settings}}), json::type_error);
            ActionSettings copy;
            EXPECT_THROW(ApplySettingsUpdate(settings, copy), json::type_error);
        }
    }
}

// "my_modifiers" travels as the other members do: read when present, empty
// for keys set up before it, replaced by an update, a type error otherwise.
TEST(ActionSettingsNewerMembers, ModifiersLikeTheOthers) {
    ActionSettings settings = ParseActionSettings({{"settings", {{"my_modifiers", "CTRL+SHIFT"}}}});
    EXPECT_EQ(settings.my_modifiers, "CTRL+SHIFT");
    EXPECT_EQ(ParseActionSettings({{"settings", kNewer}}).my_modifiers, "");
    EXPECT_EQ(ApplySettingsUpdate({{"my_modifiers", "ALT"}}, settings), std::nullopt);
    EXPECT_EQ(settings.my_modifiers, "ALT");
    EXPECT_EQ(ApplySettingsUpdate({{"my_sleep", "5"}}, settings), std::nullopt);
    EXPECT_EQ(settings.my_modifiers, "ALT") << "an update without it keeps it";
    for (const json& value : {json(1), json::array({"CTRL"}), json(nullptr)}) {
        SCOPED_TRACE(value.dump());
        EXPECT_THROW(ParseActionSettings({{"settings", {{"my_modifiers", value}}}}), json::type_error);
        ActionSettings copy;
        EXPECT_THROW(ApplySettingsUpdate({{"my_modifiers", value}}, copy), json::type_error);
    }
}

// "my_steps" and "my_slot" travel as the others do; the steps are parsed as
// they arrive, and again only when an update changes them.
TEST(ActionSettingsNewerMembers, StepsAndSlotLikeTheOthersTheStepsParsedOnArrival) {
    ActionSettings settings =
        ParseActionSettings({{"settings", {{"my_steps", "click left; wait 5"}, {"my_slot", "4"}}}});
    EXPECT_EQ(settings.my_slot, "4");
    ASSERT_NE(settings.steps, nullptr);
    EXPECT_EQ(settings.steps->steps.size(), 2u);
    EXPECT_EQ(settings.steps->waitMs, 5);
    const auto parsed = settings.steps;
    EXPECT_EQ(ApplySettingsUpdate({{"my_slot", "5"}, {"my_steps", "click left; wait 5"}}, settings), std::nullopt);
    EXPECT_EQ(settings.steps, parsed) << "the same text is not parsed again";
    EXPECT_EQ(ApplySettingsUpdate({{"my_steps", "jump"}}, settings), std::nullopt);
    ASSERT_NE(settings.steps, nullptr);
    EXPECT_EQ(settings.steps->problems.size(), 1u);
    EXPECT_EQ(ApplySettingsUpdate({{"my_steps", ""}}, settings), std::nullopt);
    EXPECT_EQ(settings.steps, nullptr);
    EXPECT_EQ(ParseActionSettings({{"settings", kNewer}}).steps, nullptr) << "keys set up before them";
    for (const char* key : {"my_steps", "my_slot"}) {
        SCOPED_TRACE(key);
        EXPECT_THROW(ParseActionSettings({{"settings", {{key, 1}}}}), json::type_error);
        ActionSettings copy;
        EXPECT_THROW(ApplySettingsUpdate({{key, json::array()}}, copy), json::type_error);
    }
}

}  // namespace
