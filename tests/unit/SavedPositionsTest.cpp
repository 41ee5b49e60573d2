#include "plugin/SavedPositions.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

using nlohmann::json;

namespace {

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

}  // namespace
