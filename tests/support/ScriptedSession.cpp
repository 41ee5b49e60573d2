// Plays a short host session against the plugin and prints, step by step,
// what the host sent, what the plugin answered and what it injected.
#include "PluginProcess.h"
#include "TestHost.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

using namespace std::chrono_literals;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::size_t linesShown = 0;

// Prints the input calls logged since the last look.
void ShowInjected(const fs::path& log) {
    std::ifstream in(log);
    std::string line;
    std::size_t lines = 0;
    for (; std::getline(in, line); ++lines) {
        if (lines >= linesShown && line.rfind("Get", 0) != 0) {
            std::cout << "    injected: " << line.substr(0, line.rfind(' ')) << '\n';
        }
    }
    linesShown = lines;
}

void Step(TestHost& host, const fs::path& log, const std::string& what, const json& message,
          std::chrono::milliseconds settle) {
    std::cout << what << "\n    host sends: " << message.dump() << '\n';
    host.Send(message.dump());
    std::this_thread::sleep_for(settle);
    while (const auto answer = host.NextMessage(50ms)) {
        std::cout << "    plugin sends: " << answer->substr(0, 120) << (answer->size() > 120 ? "..." : "") << '\n';
    }
    ShowInjected(log);
}

json Key(const std::string& event, const std::string& context, const json& payload = json::object()) {
    return {{"event", event}, {"context", context}, {"action", "org.deckmouse.mouse"}, {"payload", payload}};
}

json Appear(const std::string& context, const std::string& command, const std::string& wheel = "0") {
    return Key("willAppear", context,
               {{"settings",
                 {{"my_mouse_event", command}, {"my_sleep", "20"}, {"my_offset_x", "0"}, {"my_offset_y", "0"},
                  {"my_wheel", wheel}, {"my_repeat_loops", "1"}, {"my_icon_name", "dot"}, {"my_icon_color", "blue"},
                  {"my_icon_color_id", "1"}}}});
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " <plugin executable built over the recording platform>\n";
        return 2;
    }
    const fs::path folder = fs::temp_directory_path() / ("deckmouse-session-" + std::to_string(getpid()));
    fs::create_directories(folder / "icons");
    std::ofstream(folder / "icons" / "dot_1blue.png", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    const fs::path log = folder / "input.log";

    TestHost host;
    std::cout << "host listening on 127.0.0.1:" << host.Port() << ", starting " << argv[1] << '\n';
    PluginProcess plugin(fs::absolute(argv[1]).string(), HostArguments(host.Port()), folder.string(), {{"DECKMOUSE_RECORDING_LOG", log.string()}});
    if (!host.WaitForConnection(5s)) {
        std::cerr << "the plugin did not connect\n";
        return 1;
    }
    std::cout << "plugin registered: " << host.NextMessage(5s).value_or("(nothing)") << '\n';

    Step(host, log, "a left-click key appears", Appear("click", "MOUSE_LEFT_CLICK"), 100ms);
    Step(host, log, "a wheel key appears", Appear("wheel", "MOUSE_WHEEL_UP", "240"), 100ms);
    Step(host, log, "a centring key appears", Appear("centre", "MOUSE_CURSOR_RESET"), 100ms);
    Step(host, log, "the left-click key is pressed (two passes, 20 ms pause)", Key("keyDown", "click"), 500ms);
    Step(host, log, "the wheel key is pressed", Key("keyDown", "wheel"), 500ms);
    Step(host, log, "the centring key is pressed", Key("keyDown", "centre"), 500ms);
    Step(host, log, "the settings page turns the wheel the other way",
         Key("sendToPlugin", "wheel", {{"my_wheel", "-120"}}), 100ms);
    Step(host, log, "the wheel key is pressed again", Key("keyDown", "wheel"), 500ms);

    std::cout << "the host closes the connection\n";
    host.Close();
    const auto code = plugin.WaitForExit(5s);
    std::cout << "plugin exited with code " << (code ? std::to_string(*code) : "(still running)") << '\n';
    fs::remove_all(folder);
    return code == 0 ? 0 : 1;
}
