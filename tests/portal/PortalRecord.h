#pragma once

// What the recording remote desktop (remote_desktop_backend.py) was asked,
// and how it is told to answer: the files run.sh names in the environment.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

inline std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// {"Start": 1} refuses the grant; {} grants everything.
inline void AnswerPortal(const std::string& answers) { WriteFile(Env("DECKMOUSE_PORTAL_ANSWERS"), answers); }

// The calls recorded after the first `skip`, once there are `count` of them
// or thirty seconds have passed (far beyond what a loaded machine takes).
inline std::vector<nlohmann::json> RecordedPortalCalls(std::size_t skip = 0, std::size_t count = 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        std::vector<nlohmann::json> calls;
        std::istringstream lines(ReadFile(Env("DECKMOUSE_PORTAL_RECORD")));
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty()) calls.push_back(nlohmann::json::parse(line));
        }
        calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(std::min(skip, calls.size())));
        if (calls.size() >= count || std::chrono::steady_clock::now() > deadline) return calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// "NotifyPointerButton 272 1": the call and its arguments.
inline std::string PortalCallSummary(const nlohmann::json& call) {
    std::string summary = call.at("call");
    for (const nlohmann::json& value : call.value("args", nlohmann::json::array())) {
        std::ostringstream number;
        number << value.get<double>();
        summary += " " + number.str();
    }
    return summary;
}
