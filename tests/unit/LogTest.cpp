#include "support/Log.h"

#include "ConsoleCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// An output that takes nothing until it is opened, as a pipe whose reader
// has stopped reading; it records each write it was given.
class GatedOutput {
public:
    bool Write(const char* data, std::size_t size) {
        std::unique_lock<std::mutex> lock(mutex);
        ++entered;
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        writes.emplace_back(data, size);
        return true;
    }

    bool WaitUntilEntered(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return entered >= count; });
    }

    void Open() {
        std::lock_guard<std::mutex> guard(mutex);
        open = true;
        changed.notify_all();
    }

    std::vector<std::string> Writes() {
        std::lock_guard<std::mutex> guard(mutex);
        return writes;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int entered = 0;
    std::vector<std::string> writes;
};

LineLog::Writer WriterTo(GatedOutput& output) {
    return [&output](const char* data, std::size_t size) { return output.Write(data, size); };
}

// Opens the output when a test ends early, before the log waits for its writer.
struct OpenedAtEnd {
    GatedOutput& output;
    ~OpenedAtEnd() { output.Open(); }
};

std::string Joined(const std::vector<std::string>& parts) {
    std::string all;
    for (const std::string& part : parts) all += part;
    return all;
}

TEST(LineLogTest, StuckOutputLosesWholeLinesBeyondTheCapacityAndNeverTheCaller) {
    GatedOutput output;
    LineLog log(WriterTo(output), 100);
    OpenedAtEnd opened{output};
    ASSERT_TRUE(log.Add("first"));
    ASSERT_TRUE(output.WaitUntilEntered(1)) << "nothing was written";  // "first\n" is now stuck in the output

    // Eight bytes a line: twelve fit in 100, the thirteenth and all after it do not.
    std::vector<bool> accepted;
    for (int i = 10; i < 40; ++i) accepted.push_back(log.Add("line " + std::to_string(i)));
    std::vector<bool> expected(30, false);
    std::fill(expected.begin(), expected.begin() + 12, true);
    EXPECT_EQ(accepted, expected);
    EXPECT_FALSE(log.Flush(20ms)) << "flushed while the output was stuck";

    output.Open();
    ASSERT_TRUE(log.Flush(5s));
    EXPECT_TRUE(log.Add("after")) << "room again once the output took the lines";
    ASSERT_TRUE(log.Flush(5s));
    std::string expectedOutput = "first\n";
    for (int i = 10; i < 22; ++i) expectedOutput += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(Joined(output.Writes()), expectedOutput + "after\n");
}

TEST(LineLogTest, WritesWholeLinesInOrderAtMostOnePipeBufferAtATime) {
    GatedOutput output;
    LineLog log(WriterTo(output), 1 << 20);
    OpenedAtEnd opened{output};
    ASSERT_TRUE(log.Add("held"));
    ASSERT_TRUE(output.WaitUntilEntered(1));
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i) lines.push_back(std::string(100 + 37 * i, static_cast<char>('a' + i % 26)));
    lines.insert(lines.begin() + 7, std::string(3 * LineLog::kWriteSize, 'L'));  // longer than one write
    lines.insert(lines.begin() + 8, "");
    std::string expected = "held\n";
    for (const std::string& line : lines) {
        ASSERT_TRUE(log.Add(line));
        expected += line + '\n';
    }
    output.Open();
    ASSERT_TRUE(log.Flush(5s));

    const std::vector<std::string> writes = output.Writes();
    EXPECT_EQ(Joined(writes), expected);
    EXPECT_GT(writes.size(), 2u);
    EXPECT_LT(writes.size(), lines.size()) << "short lines were not written together";
    for (const std::string& write : writes) {
        ASSERT_FALSE(write.empty());
        EXPECT_EQ(write.back(), '\n') << "a write ended inside a line";
        if (write.size() > LineLog::kWriteSize) {
            EXPECT_EQ(write.find('\n'), write.size() - 1) << "a long line was not written alone";
        }
    }
}

TEST(LineLogTest, FailingOutputLosesTheLinesAndTheLogGoesOn) {
    std::vector<std::string> tried;
    LineLog log([&tried](const char* data, std::size_t size) {
        tried.emplace_back(data, size);
        return false;
    }, 1000);
    EXPECT_TRUE(log.Flush(0ms)) << "nothing added, nothing to wait for";
    ASSERT_TRUE(log.Add("one"));
    ASSERT_TRUE(log.Flush(5s));
    ASSERT_TRUE(log.Add("two"));
    ASSERT_TRUE(log.Flush(5s));
    EXPECT_EQ(Joined(tried), "one\ntwo\n");
}

TEST(ConsoleTest, EachLineEndsWithALineEnd) {
    EXPECT_EQ(ConsoleOutputOf([] {
                  LogLine("Unable to open file a.png");
                  LogLine("Memory error!");
              }),
              "Unable to open file a.png\nMemory error!\n");
}

TEST(EscapeControlCharactersTest, ControlCharactersBecomeHexEscapes) {
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"", ""},
        {"icons\\arrow_2red.png", "icons\\arrow_2red.png"},  // backslashes stay as they are
        {std::string("a\0b", 3), "a\\x00b"},
        {"line\nbreak\r", "line\\x0Abreak\\x0D"},
        {"\t\x1b\x1f\x7f", "\\x09\\x1B\\x1F\\x7F"},
        {" ~\"%s", " ~\"%s"},
        {"\xc3\xa4\x80\xff", "\xc3\xa4\x80\xff"},  // bytes above ASCII are not control characters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(EscapeControlCharacters(c.text), c.expected);
    }
}

}  // namespace
