#pragma once

#include "TempDirectory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// What the fuzz targets share: cutting one input into several, and a scratch
// folder that lives as long as the fuzzing run.

// The input cut at each newline, without the newlines; an empty input is one empty line.
inline std::vector<std::string> SplitLines(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            lines.emplace_back();
        } else {
            lines.back() += static_cast<char>(data[i]);
        }
    }
    return lines;
}

// A new, empty folder under the system's temporary folder, removed when the
// run ends normally; after a crash it stays. Call once per process.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
    static std::filesystem::path folder;
    folder = MakeTempDirectory(prefix);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return folder;
}
