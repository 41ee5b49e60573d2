#include "ProcessStatus.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

fs::path ProcFolder(pid_t pid) { return fs::path("/proc") / std::to_string(pid); }

// The value of the "<field>:" line of a status file, or nothing.
bool ReadStatusField(const fs::path& status, const std::string& field, long long& value) {
    std::ifstream in(status);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            value = std::stoll(line.substr(field.size() + 1));
            return true;
        }
    }
    return false;
}

std::size_t CountEntries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

long StatusKilobytes(pid_t pid, const std::string& field) {
    long long value = -1;
    ReadStatusField(ProcFolder(pid) / "status", field, value);
    return static_cast<long>(value);
}

long long SumOverThreads(pid_t pid, const std::string& field, std::size_t& threads) {
    long long total = 0;
    threads = 0;
    for (const auto& task : fs::directory_iterator(ProcFolder(pid) / "task")) {
        ++threads;
        long long value = 0;
        if (ReadStatusField(task.path() / "status", field, value)) total += value;
    }
    return total;
}

Footprint SampleFootprint(pid_t pid) {
    Footprint footprint;
    footprint.residentKilobytes = StatusKilobytes(pid, "VmRSS");
    footprint.threads = CountEntries(ProcFolder(pid) / "task");
    footprint.descriptors = CountEntries(ProcFolder(pid) / "fd");
    return footprint;
}
