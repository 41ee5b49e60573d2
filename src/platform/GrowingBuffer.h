#pragma once

#include <cstddef>
#include <string>

namespace platform {

// For system calls that cut a result to fit the buffer they are given and
// then report a full buffer (GetModuleFileNameA, readlink): calls
// read(buffer, size) with a doubling buffer until the result fits. read
// returns the length written, zero or less on failure, which gives "".
template <typename Read>
std::string ReadIntoGrowingBuffer(Read read, std::size_t initialSize = 260) {
    // Far beyond the longest path either system allows.
    constexpr std::size_t kLimit = 1 << 20;
    for (std::string buffer(initialSize, '\0'); buffer.size() <= kLimit; buffer.resize(buffer.size() * 2)) {
        const long long length = read(&buffer[0], buffer.size());
        if (length <= 0) return std::string();
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
    }
    return std::string();
}

}  // namespace platform
