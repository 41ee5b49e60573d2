#include "plugin/ActionSettings.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

// All nine fields side by side, so a failure shows which one differs.
std::vector<std::string> Fields(const ActionSettings& s) {
    return {s.my_mouse_event, s.my_sleep,     s.my_offset_x,     s.my_offset_y,     s.my_wheel,
            s.my_icon_color,  s.my_icon_name, s.my_repeat_loops, s.my_icon_color_id};
}

const std::vector<std::string> kAllEmpty(9);

ActionSettings Filled() {
    ActionSettings s;
    s.my_mouse_event = "old_event";
    s.my_sleep = "old_sleep";
    s.my_offset_x = "old_x";
    s.my_offset_y = "old_y";
    s.my_wheel = "old_wheel";
    s.my_icon_color = "old_color";
    s.my_icon_name = "old_name";
    s.my_repeat_loops = "old_loops";
    s.my_icon_color_id = "old_id";
    return s;
}

const json kFullSettings = {
    {"my_mouse_event", "MOUSE_LEFT_CLICK"}, {"my_sleep", "100"},     {"my_offset_x", "-5"},
    {"my_offset_y", "7"},                   {"my_wheel", "3"},       {"my_icon_color", "red"},
    {"my_icon_name", "arrow"},              {"my_repeat_loops", "2"}, {"my_icon_color_id", "#1"},
};

const std::vector<std::string> kFullFields = {"MOUSE_LEFT_CLICK", "100", "-5", "7", "3", "red", "arrow", "2", "#1"};

TEST(SettingToIntTest, ConvertsLeadingDecimalDigits) {
    const struct {
        std::string text;
        std::int32_t expected;
    } cases[] = {
        {"0", 0},
        {"12px", 12},
        {"3.9", 3},
        {"0x10", 0},
        {" -7", -7},
        {"  15abc", 15},
        {"+5", 5},
        {"-0", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"00000000000000000000000000000042", 42},  // leading zeros do not count toward overflow
        {"\t\n\v\f\r 8", 8},
        {"12 34", 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text: \"" + c.text + "\"");
        EXPECT_EQ(SettingToInt(c.text), c.expected);
    }
}

TEST(SettingToIntTest, RejectsTextWithoutDigits) {
    const std::string cases[] = {"", "abc", "-", "+", " ", "+-1", "- 1", "x12", "\xc2\xa0" "5", ".5"};
    for (const std::string& text : cases) {
        SCOPED_TRACE("text: \"" + text + "\"");
        EXPECT_THROW(SettingToInt(text), std::invalid_argument);
    }
}

TEST(SettingToIntTest, RejectsValuesOutside32Bits) {
    const std::string cases[] = {
        "2147483648",
        "-2147483649",
        "99999999999",
        "4294967296",   // would wrap to 0 in 32-bit arithmetic
        "4294967297",   // would wrap to 1
        "1234567890123456789012345678901234567890",
        "-1234567890123456789012345678901234567890",
        "18446744073709551617",  // would wrap to 1 in 64-bit arithmetic
        " 2147483648px",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE("text: \"" + text + "\"");
        EXPECT_THROW(SettingToInt(text), std::out_of_range);
    }
}

TEST(ParseActionSettingsTest, ReadsTheSettingsObject) {
    EXPECT_EQ(Fields(ParseActionSettings({{"settings", kFullSettings}})), kFullFields);

    // Other members, inside and beside "settings", are ignored; texts are kept as they are.
    const json payload = {{"settings", {{"my_sleep", " 250 "}, {"My_Sleep", "1"}, {"extra", 5}}},
                          {"my_wheel", "9"},
                          {"coordinates", {{"column", 1}}}};
    std::vector<std::string> expected = kAllEmpty;
    expected[1] = " 250 ";
    EXPECT_EQ(Fields(ParseActionSettings(payload)), expected);
}

TEST(ParseActionSettingsTest, PayloadWithoutUsableSettingsGivesAllEmpty) {
    const std::vector<json> payloads = {
        json(),
        json::object(),
        json{{"settings", nullptr}},
        json{{"settings", "text"}},
        json{{"settings", json::array({json{{"my_sleep", "1"}}})}},
        json{{"Settings", {{"my_sleep", "1"}}}},
        json::array({1, 2}),
        json("settings"),
        json(42),
    };
    for (const json& payload : payloads) {
        SCOPED_TRACE(payload.dump());
        EXPECT_EQ(Fields(ParseActionSettings(payload)), kAllEmpty);
    }
}

TEST(ParseActionSettingsTest, MemberThatIsNotAStringRaises) {
    const std::vector<json> values = {250, 2.5, true, nullptr, json::array({"1"}), json{{"a", "1"}}};
    for (const char* key : {"my_mouse_event", "my_sleep", "my_icon_color_id"}) {
        for (const json& value : values) {
            SCOPED_TRACE(std::string(key) + " = " + value.dump());
            json settings = kFullSettings;
            settings[key] = value;
            EXPECT_THROW(ParseActionSettings({{"settings", settings}}), json::type_error);
        }
    }
}

TEST(ApplySettingsUpdateTest, OverwritesOnlyThePresentMembers) {
    ActionSettings settings = Filled();
    const json payload = {{"my_sleep", "5"}, {"my_icon_name", ""}, {"unknown", 1}, {"settings", {{"my_wheel", "1"}}}};
    EXPECT_EQ(ApplySettingsUpdate(payload, settings), std::nullopt);
    std::vector<std::string> expected = Fields(Filled());
    expected[1] = "5";
    expected[6] = "";  // an empty text is a value like any other
    EXPECT_EQ(Fields(settings), expected);

    ActionSettings full;
    EXPECT_EQ(ApplySettingsUpdate(kFullSettings, full), std::nullopt);
    EXPECT_EQ(Fields(full), kFullFields);
}

TEST(ApplySettingsUpdateTest, BackgroundImageCountsOnlyWithoutColorId) {
    struct Case {
        const char* name;
        json payload;
        std::optional<std::string> result;
        std::vector<std::string> fields;
    };
    std::vector<std::string> idChanged = Fields(Filled());
    idChanged[8] = "#new";
    std::vector<std::string> nameAndId = idChanged;
    nameAndId[6] = "star";
    std::vector<std::string> nameOnly = Fields(Filled());
    nameOnly[6] = "star";
    const std::vector<Case> cases = {
        {"both", {{"my_icon_color_id", "#new"}, {"background-image", "C:\\img.png"}}, std::nullopt, idChanged},
        {"image only", {{"background-image", "C:\\img.png"}}, std::string("C:\\img.png"), Fields(Filled())},
        {"empty image path", {{"background-image", ""}}, std::string(""), Fields(Filled())},
        {"image with other fields", {{"my_icon_name", "star"}, {"background-image", "/tmp/a.png"}},
         std::string("/tmp/a.png"), nameOnly},
        {"id with other fields", {{"my_icon_name", "star"}, {"my_icon_color_id", "#new"}}, std::nullopt, nameAndId},
        {"neither", {{"my_icon_name", "star"}}, std::nullopt, nameOnly},
        {"empty payload", json::object(), std::nullopt, Fields(Filled())},
        {"null payload", json(), std::nullopt, Fields(Filled())},
        {"array payload", json::array({1}), std::nullopt, Fields(Filled())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ActionSettings settings = Filled();
        EXPECT_EQ(ApplySettingsUpdate(c.payload, settings), c.result);
        EXPECT_EQ(Fields(settings), c.fields);
    }
}

TEST(ApplySettingsUpdateTest, NonStringMemberRaisesAfterEarlierFieldsChanged) {
    ActionSettings settings = Filled();
    const json payload = {{"my_mouse_event", "MOUSE_RIGHT_CLICK"},
                          {"my_sleep", "1"},
                          {"my_wheel", 5},
                          {"my_icon_name", "never"},
                          {"my_icon_color_id", "#never"}};
    EXPECT_THROW(ApplySettingsUpdate(payload, settings), json::type_error);
    // The record passed in is left half-updated: fields read before "my_wheel"
    // changed, those after it did not.
    std::vector<std::string> expected = Fields(Filled());
    expected[0] = "MOUSE_RIGHT_CLICK";
    expected[1] = "1";
    EXPECT_EQ(Fields(settings), expected);
}

TEST(ApplySettingsUpdateTest, NonStringColorIdOrImageRaises) {
    const std::vector<json> payloads = {
        {{"my_icon_color_id", 1}, {"background-image", "a.png"}},
        {{"background-image", 1}},
        {{"background-image", nullptr}},
        {{"my_repeat_loops", false}},
    };
    for (const json& payload : payloads) {
        SCOPED_TRACE(payload.dump());
        ActionSettings settings = Filled();
        EXPECT_THROW(ApplySettingsUpdate(payload, settings), json::type_error);
    }
}

}  // namespace
