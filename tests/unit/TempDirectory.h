#pragma once

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

// A new, empty directory under the system's temporary folder.
inline std::filesystem::path MakeTempDirectory(const std::string& prefix) {
    std::random_device random;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        const auto path = std::filesystem::temp_directory_path() /
                          (prefix + "-" + std::to_string(stamp) + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(path)) return path;
    }
}
