#include "plugin/SavedPositions.h"

#include "plugin/StopSignal.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using nlohmann::json;
using Outcome = SavedPositions::SaveOutcome;

namespace {

// Short where nobody is to answer; long where an answer or a stop must end
// the wait, so that one that does not shows as a wrong outcome.
constexpr int kNobodyAnswersMs = 20;
constexpr int kSomebodyAnswersMs = 60000;

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
    const StopSignal stop;
    positions.Receive(json::parse(R"({"theme":"dark","slots":{"2":{"x":1,"y":2},"9":"junk"}})"));
    positions.Save("1", {120, 45}, stop);
    positions.Save("2", {-3, 4}, stop);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], json::parse(R"({"theme":"dark","slots":{"1":{"x":120,"y":45},"2":{"x":1,"y":2},"9":"junk"}})"));
    EXPECT_EQ(stored[1], json::parse(R"({"theme":"dark","slots":{"1":{"x":120,"y":45},"2":{"x":-3,"y":4},"9":"junk"}})"));
    // Slots that are not an object are replaced by ones that are.
    positions.Receive(json::parse(R"({"slots":"none"})"));
    positions.Save("3", {7, 8}, stop);
    EXPECT_EQ(stored.back(), json::parse(R"({"slots":{"3":{"x":7,"y":8}}})"));
    // What the host stored is what the next start reads.
    SavedPositions restarted{[](const json&) {}};
    restarted.Receive(stored.back());
    EXPECT_EQ(SlotOf(restarted, "3"), std::make_pair(7, 8));
}

struct AnswersCase {
    const char* name;
    std::vector<const char*> answers;  // the host's answers in order; none for a host that never answers
    Outcome outcome;
    const char* stored;  // what the save of (5, 6) in slot 2 sent; nullptr for nothing
};

TEST(SavedPositions, ASaveIsMadeOnTopOfTheHostsLastAnswerAndOnlyOnAReadableOne) {
    // Members of every kind, slots of every shape: what the save does not touch goes back as it came.
    const char* const rich =
        R"({"theme":"dark","slots":{"1":{"x":1,"y":2,"note":"desk"},"9":"junk"},"n":{"a":[1,{"b":null}],"e":{}},)"
        R"("big":18446744073709551615,"neg":-9223372036854775808,"f":0.1,"t":"\u00e9\ud83d\ude00\u0000"})";
    const AnswersCase cases[] = {
        {"no answer", {}, Outcome::kNoAnswer, nullptr},
        {"an empty object", {"{}"}, Outcome::kStored, R"({"slots":{"2":{"x":5,"y":6}}})"},
        {"members and slots it does not know", {rich}, Outcome::kStored,
         R"({"theme":"dark","slots":{"1":{"x":1,"y":2,"note":"desk"},"2":{"x":5,"y":6},"9":"junk"},)"
         R"("n":{"a":[1,{"b":null}],"e":{}},"big":18446744073709551615,"neg":-9223372036854775808,"f":0.1,)"
         R"("t":"\u00e9\ud83d\ude00\u0000"})"},
        {"the slot taken over", {R"({"slots":{"2":{"x":0,"y":0,"note":"old"}}})"}, Outcome::kStored,
         R"({"slots":{"2":{"x":5,"y":6}}})"},
        {"settings an array", {"[1,2]"}, Outcome::kUnreadable, nullptr},
        {"settings null, as for a message that could not be read", {"null"}, Outcome::kUnreadable, nullptr},
        {"settings a text", {R"("slots")"}, Outcome::kUnreadable, nullptr},
        {"settings a number", {"7"}, Outcome::kUnreadable, nullptr},
        {"readable, then not", {rich, "null"}, Outcome::kUnreadable, nullptr},
        {"not readable, then readable", {"[]", R"({"theme":"light"})"}, Outcome::kStored,
         R"({"theme":"light","slots":{"2":{"x":5,"y":6}}})"},
        {"the newest answer counts", {rich, R"({"slots":{"3":{"x":3,"y":3}}})"}, Outcome::kStored,
         R"({"slots":{"2":{"x":5,"y":6},"3":{"x":3,"y":3}}})"},
    };
    for (const AnswersCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<json> stored;
        SavedPositions positions{[&](const json& settings) { stored.push_back(settings); }, kNobodyAnswersMs};
        for (const char* answer : c.answers) positions.Receive(json::parse(answer));
        EXPECT_EQ(positions.Save("2", {5, 6}, StopSignal{}), c.outcome);
        if (c.stored == nullptr) {
            EXPECT_EQ(stored, std::vector<json>{});
            continue;
        }
        ASSERT_EQ(stored.size(), 1u);
        // Written out as text too: a number or a text that changed its kind on the way compares equal as a value.
        EXPECT_EQ(stored[0].dump(), json::parse(c.stored).dump());
    }
}

TEST(SavedPositions, AnAnswerThatCannotBeReadLeavesNoSlotToRestore) {
    SavedPositions positions{[](const json&) {}};
    positions.Receive(json::parse(R"({"slots":{"1":{"x":1,"y":2}}})"));
    positions.Receive(nullptr);
    EXPECT_EQ(SlotOf(positions, "1"), std::nullopt);
}

TEST(SavedPositions, ASaveThatGaveUpOnTheAnswerIsFollowedByOnesOnTopOfTheLateAnswer) {
    std::vector<json> stored;
    SavedPositions positions{[&](const json& settings) { stored.push_back(settings); }, kNobodyAnswersMs};
    const StopSignal stop;
    EXPECT_EQ(positions.Save("2", {5, 6}, stop), Outcome::kNoAnswer);
    EXPECT_EQ(stored, std::vector<json>{});
    positions.Receive(json::parse(R"({"slots":{"1":{"x":1,"y":2}},"theme":"dark"})"));
    EXPECT_EQ(positions.Save("2", {5, 6}, stop), Outcome::kStored);
    EXPECT_EQ(stored,
              std::vector<json>{json::parse(R"({"slots":{"1":{"x":1,"y":2},"2":{"x":5,"y":6}},"theme":"dark"})")});
}

TEST(SavedPositions, ASaveWaitingForTheFirstAnswerIsMadeOnTopOfItWhenItComes) {
    std::vector<json> stored;
    SavedPositions positions{[&](const json& settings) { stored.push_back(settings); }, kSomebodyAnswersMs};
    const StopSignal stop;
    auto save = std::async(std::launch::async, [&] { return positions.Save("2", {5, 6}, stop); });
    positions.Receive(json::parse(R"({"slots":{"1":{"x":1,"y":2}}})"));
    EXPECT_EQ(save.get(), Outcome::kStored);
    EXPECT_EQ(stored, std::vector<json>{json::parse(R"({"slots":{"1":{"x":1,"y":2},"2":{"x":5,"y":6}}})")});
}

TEST(SavedPositions, AStopEndsTheWaitAndNothingIsSentThenOrWhenTheAnswerComes) {
    std::vector<json> stored;
    SavedPositions positions{[&](const json& settings) { stored.push_back(settings); }, kSomebodyAnswersMs};
    StopSignal stop;
    auto save = std::async(std::launch::async, [&] { return positions.Save("2", {5, 6}, stop); });
    stop.Request();
    EXPECT_EQ(save.get(), Outcome::kStopped);
    positions.Receive(json::object());
    EXPECT_EQ(stored, std::vector<json>{});
}

}  // namespace
