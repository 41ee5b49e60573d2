#include "plugin/page/SettingsPageFeed.h"
#include "platform/recording/RecordingPlatform.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <functional>
#include <utility>

using nlohmann::json;
using platform::Monitor;
namespace recording = platform::recording;

namespace {

// Two monitors side by side: the primary, and one to its left, listed second.
const Monitor kPrimary{0, 0, 1920, 1080, true};
const Monitor kLeft{-1280, 0, 1280, 1024, false};

// The connection as the feed sees it, with a clock of its own: the messages
// sent, and the timers that have yet to go off.
class FakeConnection {
public:
    struct Timer {
        long long due;
        std::function<void()> work;
    };

    SettingsPageFeed::Channel Channel() {
        return {[this](const std::string& message) { sent.push_back(json::parse(message)); },
                [this](int milliseconds, std::function<void()> work) {
                    timers.push_back({now + milliseconds, std::move(work)});
                },
                [this](const std::string& context) -> std::optional<std::string> {
                    const auto key = monitorChoices.find(context);
                    if (key == monitorChoices.end()) return std::nullopt;
                    return key->second;
                }};
    }

    // Lets `milliseconds` pass, running each timer when it is due.
    void Advance(long long milliseconds) {
        const long long end = now + milliseconds;
        for (;;) {
            const auto next = std::min_element(timers.begin(), timers.end(),
                                               [](const Timer& a, const Timer& b) { return a.due < b.due; });
            if (next == timers.end() || next->due > end) break;
            now = next->due;
            const auto work = std::move(next->work);
            timers.erase(next);
            work();
        }
        now = end;
    }

    std::vector<json> Take() { return std::exchange(sent, {}); }

    std::map<std::string, std::string> monitorChoices;
    std::vector<json> sent;
    std::vector<Timer> timers;
    long long now = 0;
};

json Title(const std::string& context, const char* title) {
    json payload{{"target", 0}};
    if (title) payload["title"] = title;
    return {{"context", context}, {"event", "setTitle"}, {"payload", payload}};
}

json ToPage(const std::string& context, const json& payload) {
    return {{"context", context}, {"event", "sendToPropertyInspector"}, {"payload", payload}};
}

class SettingsPageFeedTest : public testing::Test {
protected:
    void SetUp() override {
        recording::Reset();
        recording::SetMonitors({kPrimary, kLeft});
        recording::SetCursor(-1000, 500);
        connection.monitorChoices["key"] = "";
    }

    FakeConnection connection;
    SettingsPageFeed feed{connection.Channel()};
};

TEST_F(SettingsPageFeedTest, CountdownTitlesThenThePickedPositionAndTheKeysOwnTitle) {
    feed.StartPick("key");
    EXPECT_EQ(connection.Take(), (std::vector<json>{Title("key", "3")}));
    connection.Advance(999);
    EXPECT_TRUE(connection.Take().empty());
    connection.Advance(1);
    EXPECT_EQ(connection.Take(), (std::vector<json>{Title("key", "2")}));
    connection.Advance(1000);
    EXPECT_EQ(connection.Take(), (std::vector<json>{Title("key", "1")}));
    recording::SetCursor(300, 200);  // where the user went meanwhile
    connection.Advance(1000);
    EXPECT_EQ(connection.Take(),
              (std::vector<json>{Title("key", nullptr),
                                 ToPage("key", {{"picked", {{"x", 300}, {"y", 200}, {"monitor", 1}}}})}));
    EXPECT_TRUE(connection.timers.empty());
}

TEST_F(SettingsPageFeedTest, PickedPositionFollowsTheKeysMonitorChoiceAsItStandsAtTheEnd) {
    struct Case {
        const char* choice;
        json picked;
    };
    // The pointer at (-1000, 500): monitor 2, whose corner is (-1280, 0).
    const Case cases[] = {
        {"", {{"x", -1000}, {"y", 500}, {"monitor", 2}}},
        {"2", {{"x", 280}, {"y", 500}, {"monitor", 2}}},
        {"cursor", {{"x", 280}, {"y", 500}, {"monitor", 2}}},
        {"1", {{"x", -1000}, {"y", 500}, {"monitor", 2}}},
        // A choice that names no monitor moves nothing; the page gets the desktop pixel.
        {"7", {{"x", -1000}, {"y", 500}, {"monitor", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        connection.monitorChoices["key"] = "1";
        feed.StartPick("key");
        connection.monitorChoices["key"] = c.choice;
        connection.Advance(3000);
        EXPECT_EQ(connection.Take().back(), ToPage("key", {{"picked", c.picked}}));
    }
}

TEST_F(SettingsPageFeedTest, PointerOutsideEveryMonitorIsOnMonitorZero) {
    recording::SetCursor(5000, -300);
    feed.StartPick("key");
    connection.Advance(3000);
    EXPECT_EQ(connection.Take().back(), ToPage("key", {{"picked", {{"x", 5000}, {"y", -300}, {"monitor", 0}}}}));
}

TEST_F(SettingsPageFeedTest, CancelGivesTheTitleBackAndNothingMoreComes) {
    feed.StartPick("key");
    connection.Advance(1000);
    connection.Take();
    feed.CancelPick("key");
    EXPECT_EQ(connection.Take(), (std::vector<json>{Title("key", nullptr)}));
    connection.Advance(5000);
    EXPECT_TRUE(connection.Take().empty());

    feed.CancelPick("key");  // nothing to cancel: the title is the user's already
    EXPECT_TRUE(connection.Take().empty());
}

TEST_F(SettingsPageFeedTest, StartingAgainRestartsTheOneCountdown) {
    feed.StartPick("key");
    connection.Advance(1500);
    feed.StartPick("key");
    connection.Advance(3000);
    EXPECT_EQ(connection.Take(),
              (std::vector<json>{Title("key", "3"), Title("key", "2"), Title("key", "3"), Title("key", "2"),
                                 Title("key", "1"), Title("key", nullptr),
                                 ToPage("key", {{"picked", {{"x", -1000}, {"y", 500}, {"monitor", 2}}}})}));
}

// The host keeps a title set on a key it does not show: however the pick
// ends, the key gets its own title back and no position goes out.
TEST_F(SettingsPageFeedTest, EveryEndOfAPickGivesTheTitleBack) {
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"cancel", [&] { feed.CancelPick("key"); }},
        {"page switch", [&] { feed.KeyGone("key"); }},
        {"page closed", [&] { feed.PageDisappeared("key"); }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        feed.StartPick("key");
        connection.Advance(1000);
        EXPECT_EQ(connection.Take(), (std::vector<json>{Title("key", "3"), Title("key", "2")}));
        end();
        connection.Advance(5000);
        EXPECT_EQ(connection.Take(), (std::vector<json>{Title("key", nullptr)}));
        end();
        EXPECT_TRUE(connection.Take().empty()) << "ended twice";
    }
}

TEST_F(SettingsPageFeedTest, KeyGoneWithoutAPickSaysNothing) {
    feed.KeyGone("key");
    connection.Advance(5000);
    EXPECT_TRUE(connection.Take().empty());

    // Gone without word reaching the feed: the title comes back, no position goes out.
    feed.StartPick("other");
    connection.Advance(3000);
    EXPECT_EQ(connection.Take().back(), Title("other", nullptr));
}

TEST_F(SettingsPageFeedTest, UnreadablePointerAlertsTheKeyInsteadOfLeavingThePageWaiting) {
    feed.StartPick("key");
    recording::SetGetCursorPosFails(true);
    connection.Advance(3000);
    const auto sent = connection.Take();
    EXPECT_EQ(sent.back(), (json{{"context", "key"}, {"event", "showAlert"}}));
}

TEST_F(SettingsPageFeedTest, OpenPageGetsMonitorsAndTheChangingPointerUntilItCloses) {
    feed.PageAppeared("key");
    const json monitors = json::array({
        {{"number", 1}, {"x", 0}, {"y", 0}, {"width", 1920}, {"height", 1080}, {"primary", true}},
        {{"number", 2}, {"x", -1280}, {"y", 0}, {"width", 1280}, {"height", 1024}, {"primary", false}},
    });
    EXPECT_EQ(connection.Take(),
              (std::vector<json>{ToPage("key", {{"monitors", monitors}}),
                                 ToPage("key", {{"pointer", {{"x", -1000}, {"y", 500}, {"monitor", 2}}}})}));

    connection.Advance(SettingsPageFeed::kReadoutMilliseconds);
    recording::SetCursor(10, 20);
    connection.Advance(SettingsPageFeed::kReadoutMilliseconds);
    EXPECT_EQ(connection.Take(), (std::vector<json>{ToPage("key", {{"pointer", {{"x", 10}, {"y", 20}, {"monitor", 1}}}})}));
    connection.Advance(10 * SettingsPageFeed::kReadoutMilliseconds);
    EXPECT_TRUE(connection.Take().empty()) << "a pointer at rest sends nothing";
    EXPECT_EQ(connection.timers.size(), 1u) << "one readout, looking once a period";

    feed.PageDisappeared("key");
    connection.Advance(SettingsPageFeed::kReadoutMilliseconds);
    recording::SetCursor(30, 40);
    connection.Advance(10 * SettingsPageFeed::kReadoutMilliseconds);
    EXPECT_TRUE(connection.Take().empty());
    EXPECT_TRUE(connection.timers.empty()) << "a closed page leaves no timer to wake the plugin";
}

TEST_F(SettingsPageFeedTest, ReadoutGoesOnWhileAnyPageIsOpenAndStartsOnceForTwo) {
    feed.PageAppeared("a");
    feed.PageAppeared("b");
    EXPECT_EQ(connection.timers.size(), 1u);
    connection.Take();
    feed.PageDisappeared("a");
    recording::SetCursor(1, 2);
    connection.Advance(SettingsPageFeed::kReadoutMilliseconds);
    EXPECT_EQ(connection.Take(), (std::vector<json>{ToPage("b", {{"pointer", {{"x", 1}, {"y", 2}, {"monitor", 1}}}})}));
    feed.KeyGone("b");
    connection.Advance(SettingsPageFeed::kReadoutMilliseconds);
    EXPECT_TRUE(connection.timers.empty());
}

}  // namespace
