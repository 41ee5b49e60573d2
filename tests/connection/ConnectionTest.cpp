// The real executables against a host written here: what goes over the wire,
// what reaches the input layer, and how the process ends.
#include "KeyEvents.h"
#include "PluginProcess.h"
#include "TestHost.h"
#include "support/Base64.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr auto kDeadline = 5s;

// A folder laid out as the plugin folder: icons\arrow_2red.png and a picture file.
class PluginFolder {
public:
    PluginFolder() : path(fs::temp_directory_path() / ("deckmouse-connection-" + std::to_string(getpid()))) {
        fs::create_directories(path / "icons");
        icon = std::string("\x89PNG\r\n\x1a\n\0icon", 13);
        std::ofstream(path / "icons" / "arrow_2red.png", std::ios::binary) << icon;
        picture = std::string(3 * 1024 + 1, 'p');
        std::ofstream(path / "picture.png", std::ios::binary) << picture;
    }
    ~PluginFolder() { fs::remove_all(path); }

    fs::path path;
    std::string icon;
    std::string picture;
};

std::string Base64Of(const std::string& bytes) {
    return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
}

std::string SetImage(const std::string& context, const std::string& bytes) {
    return json{{"context", context},
                {"event", "setImage"},
                {"payload", {{"image", "data:image/png;base64," + Base64Of(bytes)}, {"target", 0}}}}
        .dump();
}

// The recording build's log of input calls: one line per call, "what args... time".
std::vector<std::string> RecordedCalls(const fs::path& log, const std::string& what) {
    std::vector<std::string> calls;
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(what + " ", 0) == 0) calls.push_back(line.substr(0, line.rfind(' ')));
    }
    return calls;
}

// Waits until the log holds `count` calls of `what`.
bool WaitForCalls(const fs::path& log, const std::string& what, std::size_t count) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (RecordedCalls(log, what).size() < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Waits until the process has written `expected` to its standard output.
bool WaitForOutput(PluginProcess& process, const std::string& expected) {
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (process.Output() != expected) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class ConnectionTest : public testing::Test {
protected:
    // Starts `executable` against the host, working in the plugin folder, and
    // checks its registration.
    std::unique_ptr<PluginProcess> Start(const std::string& executable) {
        auto process = std::make_unique<PluginProcess>(executable, HostArguments(host.Port()), folder.path.string(),
                                                       std::map<std::string, std::string>{
                                                           {"DECKMOUSE_RECORDING_LOG", log.string()}});
        EXPECT_TRUE(host.WaitForConnection(kDeadline));
        EXPECT_EQ(host.NextMessage(kDeadline), R"({"event":"registerPlugin","uuid":"PLUGIN-UUID-1"})");
        EXPECT_EQ(host.NextMessage(kDeadline), R"({"context":"PLUGIN-UUID-1","event":"getGlobalSettings"})");
        return process;
    }

    PluginFolder folder;
    fs::path log = folder.path / "input.log";
    TestHost host;
};

TEST(CommandLineExitCodes, RejectedLinesEndAtOnceWithCode1) {
    const std::vector<std::vector<std::string>> rejected = {
        {},
        {"-port", "1234", "-pluginUUID", "u", "-registerEvent", "r", "-info"},
        {"-port", "1234", "-pluginUUID", "u", "-registerEvent", "r", "-info", "{}", "extra"},
        {"-port", "0", "-pluginUUID", "u", "-registerEvent", "r", "-info", "{}"},
        {"-Port", "1234", "-pluginUUID", "u", "-registerEvent", "r", "-info", "{}"},
        {"-port", "1234", "-pluginUUID", "u", "-registerEvent", "r", "-info", ""},
    };
    for (const auto& arguments : rejected) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        PluginProcess process(DECKMOUSE_EXE, arguments);
        EXPECT_EQ(process.WaitForExit(kDeadline), 1);
        EXPECT_EQ(process.Output(), "");
    }
}

TEST(CommandLineExitCodes, PortTheConnectionCannotUseEndsWithCode0) {
    for (const char* port : {"65536", "-1"}) {
        SCOPED_TRACE(port);
        PluginProcess process(DECKMOUSE_EXE, {"-port", port, "-pluginUUID", "u", "-registerEvent", "r", "-info", "x"});
        EXPECT_EQ(process.WaitForExit(kDeadline), 0);
    }
}

TEST(CommandLineExitCodes, RefusedHandshakeEndsWithCode0) {
    TestHost refusing(true);
    PluginProcess process(DECKMOUSE_EXE, HostArguments(refusing.Port()));
    EXPECT_EQ(process.WaitForExit(kDeadline), 0);
}

TEST_F(ConnectionTest, IconAtAppearanceAndImageFromTheSettingsPage) {
    auto plugin = Start(DECKMOUSE_EXE);
    host.Send(Appear("ctx\"1", "MOUSE_LEFT_CLICK").dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("ctx\"1", folder.icon));

    host.Send(Event("sendToPlugin", "ctx\"1", {{"background-image", (folder.path / "picture.png").string()}}).dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("ctx\"1", folder.picture));

    // A missing icon is reported on the console and nothing is sent.
    json missing = Appear("ctx2", "MOUSE_LEFT_CLICK");
    missing["payload"]["settings"]["my_icon_name"] = "none";
    host.Send(missing.dump());
    host.Send(Event("sendToPlugin", "ctx\"1", {{"background-image", (folder.path / "picture.png").string()}}).dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("ctx\"1", folder.picture));
    EXPECT_TRUE(WaitForOutput(*plugin, "Unable to open file icons\\none_2red.png\n")) << plugin->Output();
}

TEST_F(ConnectionTest, StandardOutputNobodyReadsLosesLinesNotThePlugin) {
    auto plugin = Start(DECKMOUSE_EXE);
    // Forty-odd bytes a line: many times what the pipe and the plugin's own buffer hold.
    constexpr int kMissingIcons = 10000;
    for (int i = 0; i < kMissingIcons; ++i) {
        json missing = Appear("missing" + std::to_string(i), "MOUSE_LEFT_CLICK");
        missing["payload"]["settings"]["my_icon_name"] = "none" + std::to_string(i);
        host.Send(missing.dump());
    }
    host.Send(Appear("shown", "MOUSE_LEFT_CLICK").dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("shown", folder.icon));
    host.Close();
    EXPECT_EQ(plugin->WaitForExit(kDeadline), 0);

    // Whole lines, the first ones, in order; the rest were dropped.
    std::istringstream output(plugin->Output());
    int lines = 0;
    for (std::string line; std::getline(output, line) && lines < kMissingIcons; ++lines) {
        ASSERT_EQ(line, "Unable to open file icons\\none" + std::to_string(lines) + "_2red.png")
            << "a line cut short or out of order";
    }
    EXPECT_GT(lines, 0);
    EXPECT_LT(lines, kMissingIcons);
}

TEST_F(ConnectionTest, EventsReachTheirOperations) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    host.Send(Appear("click", "MOUSE_LEFT_CLICK").dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Appear("wheel", "MOUSE_WHEEL_DOWN").dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Event("keyDown", "click").dump());
    host.Send(Event("keyUp", "click").dump());
    // A key that goes, or a deck unplugged, drops the presses still queued
    // for it: each waits for the presses before it to have started.
    ASSERT_TRUE(WaitForCalls(log, "mouse_event", 2));
    host.Send(Event("keyDown", "wheel").dump());
    host.Send(Event("willDisappear", "click").dump());
    host.Send(Event("keyDown", "click").dump());  // forgotten: nothing happens
    host.Send(Event("sendToPlugin", "wheel", {{"my_wheel", "-360"}}).dump());
    host.Send(Event("keyDown", "wheel").dump());
    ASSERT_TRUE(WaitForCalls(log, "mouse_event", 4));
    host.Send(Event("deviceDidConnect", "").dump());
    host.Send(Event("deviceDidDisconnect", "").dump());
    host.Send(Event("keyDown", "wheel").dump());
    ASSERT_TRUE(WaitForCalls(log, "mouse_event", 5));
    EXPECT_EQ(RecordedCalls(log, "mouse_event"),
              (std::vector<std::string>{"mouse_event 2 0", "mouse_event 4 0", "mouse_event 2048 120",
                                        "mouse_event 2048 -360", "mouse_event 2048 -360"}));
}

TEST_F(ConnectionTest, WhatCannotBeHandledIsDroppedAndTheConnectionStays) {
    auto plugin = Start(DECKMOUSE_EXE);
    const std::string deep = std::string(300000, '[') + std::string(300000, ']');
    const std::vector<std::string> dropped = {
        "not json",
        R"({"event":"willAppear","context":"x"} trailing)",
        R"({"event":"WillAppear","context":"x","payload":{"settings":{"my_icon_name":"arrow","my_icon_color":"red","my_icon_color_id":"2"}}})",
        R"({"event":"willAppear","context":"x","payload":{"settings":{"my_icon_name":5}}})",
        R"({"event":"keyDown","context":"nobody"})",
        R"({"event":"willAppear","context":"x","payload":)" + deep + "}",
        deep,
        "[1,2,3]",
        "\"text\"",
    };
    for (const std::string& text : dropped) host.Send(text);
    host.SendBinary(Appear("binary", "MOUSE_LEFT_CLICK").dump());
    host.Send(Appear("after", "MOUSE_LEFT_CLICK").dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("after", folder.icon)) << "nothing was answered before it";
    EXPECT_FALSE(host.NextMessage(100ms));
}

TEST_F(ConnectionTest, MessageOverOneMebibyteEndsTheConnection) {
    auto plugin = Start(DECKMOUSE_EXE);
    host.Send("{\"event\":\"sendToPlugin\",\"context\":\"x\",\"payload\":{\"background-image\":\"" +
              std::string(1024 * 1024, 'a') + "\"}}");
    EXPECT_TRUE(host.WaitForDisconnection(kDeadline));
    EXPECT_EQ(plugin->WaitForExit(kDeadline), 0);
}

TEST_F(ConnectionTest, HostClosingEndsTheProcessWithCode0AndNoButtonLeftDown) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    host.Send(Appear("down", "MOUSE_LEFT_DOWN").dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    json x2 = Appear("x2", "MOUSE_X2_DOWN");
    host.Send(x2.dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Event("keyDown", "down").dump());
    host.Send(Event("keyDown", "x2").dump());
    ASSERT_TRUE(WaitForCalls(log, "mouse_event", 2));
    host.Close();
    EXPECT_EQ(plugin->WaitForExit(kDeadline), 0);
    EXPECT_EQ(RecordedCalls(log, "mouse_event"),
              (std::vector<std::string>{"mouse_event 2 0", "mouse_event 128 2", "mouse_event 4 0", "mouse_event 256 2"}));
}

// A press that would go on for a minute (a click held 60 s, passes without
// end) neither keeps the plugin alive nor injects anything once the host has
// gone, but the release of the button it holds; the image asked for just
// after it is not held up either.
TEST_F(ConnectionTest, HostClosingCutsALongCommandShort) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    json click = Appear("click", "MOUSE_LEFT_CLICK");
    click["payload"]["settings"]["my_sleep"] = "60000";
    click["payload"]["settings"]["my_repeat_loops"] = "2147483647";
    host.Send(click.dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Event("keyDown", "click").dump());
    host.Send(Event("sendToPlugin", "click", {{"background-image", (folder.path / "picture.png").string()}}).dump());
    EXPECT_EQ(host.NextMessage(1s), SetImage("click", folder.picture));
    ASSERT_TRUE(WaitForCalls(log, "mouse_event", 1));
    host.Close();
    EXPECT_EQ(plugin->WaitForExit(kDeadline), 0);
    EXPECT_EQ(RecordedCalls(log, "mouse_event"), (std::vector<std::string>{"mouse_event 2 0", "mouse_event 4 0"}));
}

// Asked to end while a button it pressed is down, the plugin releases it
// first, and still ends as the signal says.
TEST_F(ConnectionTest, TerminationSignalsReleaseTheButtonsPressed) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::filesystem::remove(log);
        auto plugin = Start(DECKMOUSE_RECORDING_EXE);
        host.Send(Appear("down", "MOUSE_RIGHT_DOWN").dump());
        ASSERT_TRUE(host.NextMessage(kDeadline));
        host.Send(Event("keyDown", "down").dump());
        ASSERT_TRUE(WaitForCalls(log, "mouse_event", 1));
        kill(plugin->Pid(), signal);
        EXPECT_EQ(plugin->WaitForExit(kDeadline), 128 + signal);
        EXPECT_EQ(RecordedCalls(log, "mouse_event"), (std::vector<std::string>{"mouse_event 8 0", "mouse_event 16 0"}));
    }
}

// Threads and voluntary context switches of a running process, from /proc.
struct Schedule {
    std::size_t threads = 0;
    long long voluntarySwitches = 0;
};

Schedule ReadSchedule(pid_t pid) {
    Schedule schedule;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : fs::directory_iterator(tasks)) {
        ++schedule.threads;
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                schedule.voluntarySwitches += std::stoll(line.substr(line.find(':') + 1));
            }
        }
    }
    return schedule;
}

TEST_F(ConnectionTest, NoThreadPerKeyHoweverManyAppearAndNoWakeUpsWhileIdle) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    host.Send(Appear("first", "MOUSE_CURSOR_MOVE").dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    const std::size_t threadsWithOneKey = ReadSchedule(plugin->Pid()).threads;
    for (int i = 0; i < 1000; ++i) host.Send(Appear("key" + std::to_string(i), "MOUSE_CURSOR_MOVE").dump());
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(host.NextMessage(kDeadline)) << i;
    // Fewer when the first key's short-lived thread, which gets input ready, has ended since.
    EXPECT_LE(ReadSchedule(plugin->Pid()).threads, threadsWithOneKey);

    const Schedule before = ReadSchedule(plugin->Pid());
    std::this_thread::sleep_for(500ms);
    const Schedule after = ReadSchedule(plugin->Pid());
    EXPECT_LE(after.voluntarySwitches - before.voluntarySwitches, 5) << "the idle plugin keeps waking up";
}

TEST_F(ConnectionTest, HeldMoveStopsWhenItsKeyDisappears) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    json move = Appear("move", "MOUSE_CURSOR_MOVE");
    move["payload"]["settings"]["my_offset_x"] = "2";
    move["payload"]["settings"]["my_sleep"] = "4";
    host.Send(move.dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Event("keyDown", "move").dump());
    ASSERT_TRUE(WaitForCalls(log, "SetCursorPos", 10));
    host.Send(Event("willDisappear", "move").dump());
    // Handled in order: once another key's image comes, the move has ended.
    host.Send(Appear("after", "MOUSE_CURSOR_MOVE").dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    const std::size_t steps = RecordedCalls(log, "SetCursorPos").size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(RecordedCalls(log, "SetCursorPos").size(), steps) << "the cursor kept moving";
}

// The key-command thread hands the toggle's images to the connection's
// thread; the press itself goes out as one batch each time.
TEST_F(ConnectionTest, ToggleShowsItsHeldImageWhileItsButtonIsDown) {
    const std::string held = "held icon bytes";
    std::ofstream(folder.path / "icons" / "arrow_held_2red.png", std::ios::binary) << held;
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    host.Send(Appear("toggle", "MOUSE_LEFT_TOGGLE").dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("toggle", folder.icon));
    host.Send(Event("keyDown", "toggle").dump());
    host.Send(Event("keyUp", "toggle").dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("toggle", held));
    host.Send(Event("keyDown", "toggle").dump());
    EXPECT_EQ(host.NextMessage(kDeadline), SetImage("toggle", folder.icon));
    ASSERT_TRUE(WaitForCalls(log, "SendInput", 2));
    EXPECT_EQ(RecordedCalls(log, "SendInput"), (std::vector<std::string>{"SendInput down left", "SendInput up left"}));
}

}  // namespace

namespace {

// The messages the host receives from now until `count` have come.
std::vector<json> NextMessages(TestHost& host, std::size_t count) {
    std::vector<json> messages;
    while (messages.size() < count) {
        const auto text = host.NextMessage(kDeadline);
        if (!text) break;
        messages.push_back(json::parse(*text));
    }
    return messages;
}

// The saved positions live in the host: what it hands over fills the slots,
// and a save sends the whole object back, with what the plugin does not know.
TEST_F(ConnectionTest, SlotsComeFromTheHostsGlobalSettingsAndASaveStoresThemThere) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    host.Send(json{{"event", "didReceiveGlobalSettings"},
                   {"context", "PLUGIN-UUID-1"},
                   {"payload", {{"settings", {{"theme", "dark"}, {"slots", {{"2", {{"x", 5}, {"y", 6}}}}}}}}}}
                  .dump());
    json restore = Appear("restore", "MOUSE_POS_RESTORE");
    restore["payload"]["settings"]["my_slot"] = "2";
    host.Send(restore.dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    json save = Appear("save", "MOUSE_POS_SAVE");
    save["payload"]["settings"]["my_slot"] = "3";
    host.Send(save.dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Event("keyDown", "restore").dump());
    ASSERT_TRUE(WaitForCalls(log, "SendInput", 1));
    host.Send(Event("keyDown", "save").dump());
    const auto stored = host.NextMessage(kDeadline);
    ASSERT_TRUE(stored);
    EXPECT_EQ(json::parse(*stored),
              (json{{"context", "PLUGIN-UUID-1"},
                    {"event", "setGlobalSettings"},
                    {"payload",
                     {{"theme", "dark"}, {"slots", {{"2", {{"x", 5}, {"y", 6}}}, {"3", {{"x", 5}, {"y", 6}}}}}}}}));
}

TEST_F(ConnectionTest, SettingsPageGetsMonitorsPointerAndPickedPositionThenNothingWakesThePlugin) {
    auto plugin = Start(DECKMOUSE_RECORDING_EXE);
    json place = Appear("place", "MOUSE_CURSOR_POS");
    place["payload"]["settings"]["my_offset_x"] = "640";
    place["payload"]["settings"]["my_offset_y"] = "360";
    host.Send(place.dump());
    ASSERT_TRUE(host.NextMessage(kDeadline));
    host.Send(Event("keyDown", "place").dump());  // the recording cursor goes to (640, 360)
    host.Send(Event("keyUp", "place").dump());
    ASSERT_TRUE(WaitForCalls(log, "SetCursorPos", 1));

    host.Send(Event("propertyInspectorDidAppear", "place").dump());
    const auto toPage = [](const json& payload) {
        return json{{"context", "place"}, {"event", "sendToPropertyInspector"}, {"payload", payload}};
    };
    EXPECT_EQ(NextMessages(host, 2),
              (std::vector<json>{
                  toPage({{"monitors", json::array({{{"number", 1}, {"x", 0}, {"y", 0}, {"width", 1920},
                                                     {"height", 1080}, {"primary", true}}})}}),
                  toPage({{"pointer", {{"x", 640}, {"y", 360}, {"monitor", 1}}}})}));

    const auto pickStarted = std::chrono::steady_clock::now();
    host.Send(Event("sendToPlugin", "place", {{"pick", "position"}}).dump());
    const auto countdown = NextMessages(host, 5);
    const auto pickTook = std::chrono::steady_clock::now() - pickStarted;
    const auto title = [](const char* text) {
        json payload{{"target", 0}};
        if (text) payload["title"] = text;
        return json{{"context", "place"}, {"event", "setTitle"}, {"payload", payload}};
    };
    EXPECT_EQ(countdown, (std::vector<json>{title("3"), title("2"), title("1"), title(nullptr),
                                            toPage({{"picked", {{"x", 640}, {"y", 360}, {"monitor", 1}}}})}));
    EXPECT_GE(pickTook, 3s - 50ms) << "the countdown gives the user its three seconds";

    host.Send(Event("propertyInspectorDidDisappear", "place").dump());
    std::this_thread::sleep_for(200ms);  // the readout's last look
    const Schedule before = ReadSchedule(plugin->Pid());
    std::this_thread::sleep_for(500ms);
    const Schedule after = ReadSchedule(plugin->Pid());
    EXPECT_LE(after.voluntarySwitches - before.voluntarySwitches, 5) << "the closed page keeps the plugin waking up";
    EXPECT_FALSE(host.NextMessage(0ms));
}

}  // namespace
