#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Lines for an output that may be slow, or stuck for good (a pipe nobody
// reads). Adding a line never waits for the output: while more than
// `capacity` bytes wait, further lines are dropped, whole. A thread of its
// own, started with the first line, writes the lines in order, several whole
// lines at a time up to kWriteSize bytes (a longer line alone).
class LineLog {
public:
    // A POSIX pipe takes a write of up to PIPE_BUF bytes (4 KiB on Linux) whole or
    // not at all, so a reader that stops reading is never left half a line.
    static constexpr std::size_t kWriteSize = 4096;

    // Writes all of `size` bytes, or fails; may block for as long as it likes.
    using Writer = std::function<bool(const char* data, std::size_t size)>;

    LineLog(Writer write, std::size_t capacity);
    // Waits for a write in progress to return; lines not yet written are lost.
    ~LineLog();

    // Queues `line` and a line end; false when it was dropped.
    bool Add(const std::string& line);

    // Waits until every line queued so far has been handed to the writer and
    // the writer has returned, for as long as it keeps returning: gives up
    // once it has gone `stall` without finishing a write. True when all went out.
    bool Flush(std::chrono::milliseconds stall);

private:
    void WriteLines();

    const Writer write;
    const std::size_t capacity;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> lines;  // each with its line end
    std::size_t waitingBytes = 0;
    bool writing = false;
    unsigned long long writesDone = 0;
    bool stopping = false;
    std::thread writer;
};

// The plugin's console: standard output through a LineLog of 64 KiB, written
// with the system's own write. Never through the C library's buffer: exit
// flushes that buffer and would hang behind a reader that does not read.
// At exit, lines still waiting go out unless the output is stuck.
void LogLine(const std::string& line);

// LineLog::Flush for the console.
bool FlushLog(std::chrono::milliseconds stall);

// `text` with each control character (below 0x20, and 0x7F) written as \xNN,
// so that text from outside, such as a file name, keeps a line one line.
std::string EscapeControlCharacters(const std::string& text);
