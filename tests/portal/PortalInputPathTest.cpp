// The portal input path against a remote desktop that records every call it
// receives (remote_desktop_backend.py), on a session bus of the test's own
// (run.sh): behind Debian's real xdg-desktop-portal, on a bus with no portal,
// and playing a portal that keeps grants.
#include "platform/PlatformLog.h"
#include "platform/linux/portal/PortalInputPath.h"
#include "platform/linux/portal/PortalRestoreToken.h"
#include "PortalRecord.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace platform;
using linux_input::InputPath;
using linux_input::OpenPortalInputPath;
using nlohmann::json;

namespace {

constexpr std::chrono::seconds kDeadline(5);

std::mutex gLogMutex;
std::vector<std::string> gLog;

void KeepLine(const std::string& line) {
    std::lock_guard<std::mutex> guard(gLogMutex);
    gLog.push_back(line);
}

mode_t Permissions(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777;
}

// A test's view of the recorded calls and of the log: only what came after it began.
class PortalTest : public testing::Test {
protected:
    void SetUp() override {
        SetLogSink(KeepLine);
        {
            std::lock_guard<std::mutex> guard(gLogMutex);
            gLog.clear();
        }
        Answer("{}");
        skippedCalls = RecordedPortalCalls().size();
    }

    static void Answer(const std::string& answers) { AnswerPortal(answers); }

    std::vector<json> Calls(std::size_t count) const { return RecordedPortalCalls(skippedCalls, count); }

    static std::string Summary(const json& call) { return PortalCallSummary(call); }

    std::vector<std::string> Summaries(std::size_t count) const {
        std::vector<std::string> summaries;
        for (const json& call : Calls(count)) summaries.push_back(Summary(call));
        return summaries;
    }

    static std::vector<std::string> Log() {
        std::lock_guard<std::mutex> guard(gLogMutex);
        return gLog;
    }

    std::size_t skippedCalls = 0;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// ---- Debian's xdg-desktop-portal (run.sh real) ----

using RealPortal = PortalTest;

TEST_F(RealPortal, AsksForAPointerAndAKeyboardAndSaysOnceThatTheGrantCannotBeKept) {
    const std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    EXPECT_STREQ(path->Name(), "portal");

    const std::vector<json> calls = Calls(3);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0]["call"], "CreateSession");
    EXPECT_EQ(calls[1]["call"], "SelectDevices");
    EXPECT_EQ(calls[2]["call"], "Start");
    const json& selected = calls[1]["options"];
    EXPECT_EQ(selected.value("types", 0), 3) << "a keyboard and a pointer, nothing else";
    // Version 1 of the interface, which Debian 12's portal offers, knows
    // neither; the portal would refuse the request.
    EXPECT_FALSE(selected.contains("persist_mode")) << selected;
    EXPECT_FALSE(selected.contains("restore_token")) << selected;
    EXPECT_EQ(calls[1]["session"], calls[0]["session"]);
    EXPECT_EQ(calls[2]["session"], calls[0]["session"]);

    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 1u) << Joined(log);
    EXPECT_NE(log[0].find("cannot keep a grant"), std::string::npos) << log[0];
    EXPECT_EQ(portal::ReadRestoreToken(), "");
}

TEST_F(RealPortal, EachEventBecomesItsPointerCall) {
    const std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    skippedCalls += Calls(3).size();

    using Events = std::vector<InputEvent>;
    const struct {
        const char* what;
        Events events;
        std::vector<std::string> calls;
    } cases[] = {
        {"left click", {InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left)},
         {"NotifyPointerButton 272 1", "NotifyPointerButton 272 0"}},
        {"other buttons",
         {InputEvent::Down(MouseButton::Right), InputEvent::Up(MouseButton::Middle), InputEvent::Down(MouseButton::X1),
          InputEvent::Up(MouseButton::X2)},
         {"NotifyPointerButton 273 1", "NotifyPointerButton 274 0", "NotifyPointerButton 275 1",
          "NotifyPointerButton 276 0"}},
        // Our amounts are positive up and right, the portal's steps down and right.
        {"a notch up", {InputEvent::Wheel(120)}, {"NotifyPointerAxisDiscrete 0 -1"}},
        {"two notches down", {InputEvent::Wheel(-240)}, {"NotifyPointerAxisDiscrete 0 2"}},
        {"a notch right", {InputEvent::HWheel(120)}, {"NotifyPointerAxisDiscrete 1 1"}},
        {"a notch left", {InputEvent::HWheel(-120)}, {"NotifyPointerAxisDiscrete 1 -1"}},
        {"a held move's step", {InputEvent::MoveBy(12, -7)}, {"NotifyPointerMotion 12 -7"}},
        // Modifiers as the left-hand keys' Linux codes, in order with the pointer's calls.
        {"a ctrl click",
         {InputEvent::Press(ModifierKey::Ctrl), InputEvent::Down(MouseButton::Left), InputEvent::Up(MouseButton::Left),
          InputEvent::Release(ModifierKey::Ctrl)},
         {"NotifyKeyboardKeycode 29 1", "NotifyPointerButton 272 1", "NotifyPointerButton 272 0",
          "NotifyKeyboardKeycode 29 0"}},
        {"every modifier",
         {InputEvent::Press(ModifierKey::Shift), InputEvent::Press(ModifierKey::Alt),
          InputEvent::Press(ModifierKey::Meta), InputEvent::Wheel(120), InputEvent::Release(ModifierKey::Meta),
          InputEvent::Release(ModifierKey::Alt), InputEvent::Release(ModifierKey::Shift)},
         {"NotifyKeyboardKeycode 42 1", "NotifyKeyboardKeycode 56 1", "NotifyKeyboardKeycode 125 1",
          "NotifyPointerAxisDiscrete 0 -1", "NotifyKeyboardKeycode 125 0", "NotifyKeyboardKeycode 56 0",
          "NotifyKeyboardKeycode 42 0"}},
        // Half a notch waits for the other half, the move between them does not.
        {"half notches", {InputEvent::Wheel(-60), InputEvent::MoveBy(1, 0), InputEvent::Wheel(-60)},
         {"NotifyPointerMotion 1 0", "NotifyPointerAxisDiscrete 0 1"}},
    };
    for (const auto& [what, events, expected] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(path->Send(events));
        const std::vector<json> calls = Calls(expected.size());
        std::vector<std::string> summaries;
        for (const json& call : calls) {
            summaries.push_back(Summary(call));
            EXPECT_EQ(call["options"], json::object());
        }
        EXPECT_EQ(summaries, expected);
        skippedCalls += calls.size();
    }
    EXPECT_EQ(Log().size(), 1u) << "only the note about keeping the grant\n" << Joined(Log());
}

TEST_F(RealPortal, WithoutAGrantedKeyboardTheKeysAreLeftOutAndSaidOnce) {
    Answer(R"({"GrantDevices": 2})");
    const std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    skippedCalls += Calls(3).size();
    const std::size_t notes = Log().size();

    const std::vector<InputEvent> ctrlClick = {InputEvent::Press(ModifierKey::Ctrl), InputEvent::Down(MouseButton::Left),
                                               InputEvent::Up(MouseButton::Left), InputEvent::Release(ModifierKey::Ctrl)};
    EXPECT_TRUE(path->Send(ctrlClick)) << "the mouse input went as asked";
    EXPECT_TRUE(path->Send(ctrlClick));
    EXPECT_EQ(Summaries(4), (std::vector<std::string>{"NotifyPointerButton 272 1", "NotifyPointerButton 272 0",
                                                      "NotifyPointerButton 272 1", "NotifyPointerButton 272 0"}));
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), notes + 1) << Joined(log);
    EXPECT_NE(log.back().find("no keyboard"), std::string::npos) << log.back();
}

TEST_F(RealPortal, AnAbsoluteMoveIsDroppedAndSaidOnce) {
    const std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    EXPECT_FALSE(path->CanPlaceAbsolutely());
    Point point;
    EXPECT_FALSE(path->ReadPointer(point));
    EXPECT_TRUE(path->Monitors().empty());
    skippedCalls += Calls(3).size();
    const std::size_t notes = Log().size();

    EXPECT_FALSE(path->Send({InputEvent::MoveTo(10, 10), InputEvent::MoveBy(3, 4)}));
    EXPECT_FALSE(path->Send({InputEvent::MoveTo(20, 20)}));
    ASSERT_TRUE(path->Send({InputEvent::MoveBy(5, 6)}));
    EXPECT_EQ(Summaries(2), (std::vector<std::string>{"NotifyPointerMotion 3 4", "NotifyPointerMotion 5 6"}));
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), notes + 1) << Joined(log);
    EXPECT_NE(log.back().find("screen cast"), std::string::npos) << log.back();
}

TEST_F(RealPortal, TheSessionIsClosedWithThePath) {
    std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    const std::string session = Calls(3).at(0)["session"];
    path.reset();
    const std::vector<json> calls = Calls(4);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3]["call"], "Session.Close");
    EXPECT_EQ(calls[3]["session"], session);
}

TEST_F(RealPortal, ASessionEndedByTheDesktopFailsSendsAndIsSaidOnce) {
    Answer(R"({"EndSessionAfterStart": 1})");
    const std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    const std::size_t notes = Log().size();
    // The end comes a moment after the grant; the plugin hears of it as a
    // signal or as the portal's refusal of the next call, whichever is first.
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (path->Send({InputEvent::MoveBy(1, 0)}) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(path->Send({InputEvent::MoveBy(1, 0)}));
    EXPECT_FALSE(path->Send({InputEvent::Down(MouseButton::Left)}));
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), notes + 1) << Joined(log);
    EXPECT_NE(log.back().find("Portal input failed"), std::string::npos) << log.back();
}

TEST_F(RealPortal, ARefusedGrantGivesNoPathAndOneLineSayingWhy) {
    const struct {
        const char* answers;
        const char* said;
    } cases[] = {
        {R"({"Start": 1})", "Start: the user refused (response 1)"},
        {R"({"Start": 2})", "Start: the portal refused (response 2)"},
        {R"({"SelectDevices": 2})", "SelectDevices: the portal refused (response 2)"},
        {R"({"CreateSession": 1})", "CreateSession: the user refused (response 1)"},
    };
    for (const auto& [answers, said] : cases) {
        SCOPED_TRACE(answers);
        {
            std::lock_guard<std::mutex> guard(gLogMutex);
            gLog.clear();
        }
        Answer(answers);
        EXPECT_EQ(OpenPortalInputPath(), nullptr);
        std::vector<std::string> log = Log();
        // The first line is the note that version 1 cannot keep the grant.
        ASSERT_EQ(log.size(), 2u) << Joined(log);
        EXPECT_NE(log[1].find(said), std::string::npos) << log[1];
    }
}

// ---- Nothing offers a remote desktop (run.sh absent) ----

using NoPortal = PortalTest;

TEST_F(NoPortal, NoPathAndOneLineSayingWhy) {
    const struct {
        const char* what;
        std::string busAddress;
        const char* said;
    } cases[] = {
        {"a bus without a portal", Env("DBUS_SESSION_BUS_ADDRESS"), "offers no remote desktop portal"},
        {"no bus", "unix:path=" + Env("XDG_STATE_HOME") + "/no-bus-here", "no session bus"},
    };
    for (const auto& [what, busAddress, said] : cases) {
        SCOPED_TRACE(what);
        {
            std::lock_guard<std::mutex> guard(gLogMutex);
            gLog.clear();
        }
        setenv("DBUS_SESSION_BUS_ADDRESS", busAddress.c_str(), 1);
        EXPECT_EQ(OpenPortalInputPath(), nullptr);
        const std::vector<std::string> log = Log();
        ASSERT_EQ(log.size(), 1u) << Joined(log);
        EXPECT_NE(log[0].find(said), std::string::npos) << log[0];
    }
}

// ---- A portal that keeps grants (run.sh kept) ----

using KeptGrant = PortalTest;

TEST_F(KeptGrant, TheTokenIsKeptPrivatelyAndSentAtTheNextStart) {
    const std::string folder = Env("XDG_STATE_HOME") + "/deckmouse";
    for (const char* token : {"token-1", "token-2"}) {
        SCOPED_TRACE(token);
        const std::string previous = portal::ReadRestoreToken();
        std::unique_ptr<InputPath> path = OpenPortalInputPath();
        ASSERT_NE(path, nullptr) << Joined(Log());
        const std::vector<json> calls = Calls(3);
        ASSERT_EQ(calls.size(), 3u);
        skippedCalls += calls.size();
        ASSERT_EQ(calls[1]["call"], "SelectDevices");
        const json& selected = calls[1]["options"];
        EXPECT_EQ(selected.value("persist_mode", 0), 2) << selected;
        if (previous.empty()) {
            EXPECT_FALSE(selected.contains("restore_token")) << selected;
        } else {
            EXPECT_EQ(selected.value("restore_token", ""), previous) << selected;
        }
        EXPECT_EQ(ReadFile(folder + "/portal-restore-token"), std::string(token) + "\n");
        EXPECT_EQ(Permissions(folder), 0700u);
        EXPECT_EQ(Permissions(folder + "/portal-restore-token"), 0600u);

        path.reset();
        const std::vector<json> closed = Calls(1);
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_EQ(closed[0]["call"], "Session.Close");
        skippedCalls += closed.size();
    }
    EXPECT_TRUE(Log().empty()) << Joined(Log());
}

TEST_F(KeptGrant, APortalWithoutAKeyboardIsAskedForThePointerAlone) {
    Answer(R"({"AvailableDeviceTypes": 2})");
    std::unique_ptr<InputPath> path = OpenPortalInputPath();
    ASSERT_NE(path, nullptr) << Joined(Log());
    const std::vector<json> calls = Calls(3);
    ASSERT_EQ(calls.size(), 3u);
    ASSERT_EQ(calls[1]["call"], "SelectDevices");
    EXPECT_EQ(calls[1]["options"].value("types", 0), 2) << calls[1];
    path.reset();
    skippedCalls += Calls(4).size();
}

// ---- The token's file, without a bus ----

TEST(PortalRestoreToken, ItsPlaceFollowsTheStateFolder) {
    const struct {
        const char* state;
        const char* home;
        const char* path;
    } cases[] = {
        {"/state", "/home/u", "/state/deckmouse/portal-restore-token"},
        {nullptr, "/home/u", "/home/u/.local/state/deckmouse/portal-restore-token"},
        // A relative value counts as none, as for every XDG base directory.
        {"state", "/home/u", "/home/u/.local/state/deckmouse/portal-restore-token"},
        {nullptr, nullptr, ""},
    };
    for (const auto& [state, home, expected] : cases) {
        SCOPED_TRACE(expected);
        state != nullptr ? setenv("XDG_STATE_HOME", state, 1) : unsetenv("XDG_STATE_HOME");
        home != nullptr ? setenv("HOME", home, 1) : unsetenv("HOME");
        EXPECT_EQ(portal::RestoreTokenPath(), expected);
    }
}

TEST(PortalRestoreToken, StoredInNewPrivateFoldersAndReplaced) {
    char pattern[] = "/tmp/deckmouse-token-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", home.c_str(), 1);
    const std::string folder = home + "/.local/state/deckmouse";

    EXPECT_EQ(portal::ReadRestoreToken(), "");
    ASSERT_TRUE(portal::StoreRestoreToken("first"));
    for (const std::string& made : {home + "/.local", home + "/.local/state", folder}) {
        EXPECT_EQ(Permissions(made), 0700u) << made;
    }
    EXPECT_EQ(Permissions(folder + "/portal-restore-token"), 0600u);
    EXPECT_EQ(portal::ReadRestoreToken(), "first");
    ASSERT_TRUE(portal::StoreRestoreToken("second"));
    EXPECT_EQ(portal::ReadRestoreToken(), "second");
    EXPECT_FALSE(portal::StoreRestoreToken("two words")) << "not a token";

    // What a token cannot be reads as none, and the portal asks again.
    for (const char* content : {"", "\n", "two words\n", "a\x01"}) {
        WriteFile(folder + "/portal-restore-token", content);
        EXPECT_EQ(portal::ReadRestoreToken(), "") << content;
    }
    WriteFile(folder + "/portal-restore-token", std::string(300, 'x'));
    EXPECT_EQ(portal::ReadRestoreToken(), "") << "too long for a token";
    std::filesystem::remove_all(home);
}

}  // namespace
