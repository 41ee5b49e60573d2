#include "platform/GrowingBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Behaves as GetModuleFileNameA and readlink do: copies what fits, cuts the
// rest without a word, and reports how much it wrote.
struct CuttingReader {
    std::string result;
    int calls = 0;

    long long operator()(char* buffer, std::size_t size) {
        ++calls;
        const std::size_t written = std::min(size, result.size());
        std::memcpy(buffer, result.data(), written);
        return static_cast<long long>(written);
    }
};

TEST(ReadIntoGrowingBuffer, ResultsOfEveryLengthComeBackWhole) {
    for (const std::size_t length : {1u, 259u, 260u, 261u, 520u, 1000u, 32767u}) {
        SCOPED_TRACE(length);
        std::string path(length, 'p');
        path.back() = 'e';
        CuttingReader reader{path};
        EXPECT_EQ(platform::ReadIntoGrowingBuffer(std::ref(reader)), path);
        EXPECT_EQ(reader.calls == 1, length < 260) << "grows only when the result filled the buffer";
    }
}

TEST(ReadIntoGrowingBuffer, FailureGivesTheEmptyText) {
    EXPECT_EQ(platform::ReadIntoGrowingBuffer([](char*, std::size_t) { return 0LL; }), "");
    EXPECT_EQ(platform::ReadIntoGrowingBuffer([](char*, std::size_t) { return -1LL; }), "");
    // A reader that always fills the buffer does not grow it for ever.
    EXPECT_EQ(platform::ReadIntoGrowingBuffer([](char*, std::size_t size) { return static_cast<long long>(size); }), "");
}

}  // namespace
