#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// What /proc tells about a running process. Raises std::filesystem_error when
// the process is gone.

// A "<field>: <n> kB" line of /proc/<pid>/status, such as VmRSS (resident
// now) or VmHWM (the peak); -1 when the line is missing.
long StatusKilobytes(pid_t pid, const std::string& field);

// Sums a numeric field of every thread's status, and counts the threads.
long long SumOverThreads(pid_t pid, const std::string& field, std::size_t& threads);

struct Footprint {
    long residentKilobytes = 0;
    std::size_t threads = 0;
    std::size_t descriptors = 0;
};

Footprint SampleFootprint(pid_t pid);
