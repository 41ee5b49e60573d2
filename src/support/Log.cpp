#include "support/Log.h"

#include "platform/Platform.h"

#include <cstdlib>
#include <system_error>

LineLog::LineLog(Writer write, std::size_t capacity) : write(std::move(write)), capacity(capacity) {}

LineLog::~LineLog() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (writer.joinable()) writer.join();
}

bool LineLog::Add(const std::string& line) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (waitingBytes + line.size() + 1 > capacity) return false;
        if (!writer.joinable()) {
            try {
                writer = std::thread(&LineLog::WriteLines, this);
            } catch (const std::system_error&) {
                return false;  // no thread to write it: the line is lost, the caller is not
            }
        }
        lines.push_back(line + '\n');
        waitingBytes += lines.back().size();
    }
    changed.notify_all();
    return true;
}

bool LineLog::Flush(std::chrono::milliseconds stall) {
    std::unique_lock<std::mutex> lock(mutex);
    const auto allWritten = [this] { return lines.empty() && !writing; };
    while (!allWritten()) {
        const unsigned long long before = writesDone;
        if (!changed.wait_for(lock, stall, [&] { return allWritten() || writesDone != before; })) return false;
    }
    return true;
}

void LineLog::WriteLines() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !lines.empty(); });
        if (stopping) return;
        std::string chunk = std::move(lines.front());
        lines.pop_front();
        while (!lines.empty() && chunk.size() + lines.front().size() <= kWriteSize) {
            chunk += lines.front();
            lines.pop_front();
        }
        waitingBytes -= chunk.size();
        writing = true;
        lock.unlock();
        write(chunk.data(), chunk.size());  // a line that fails is lost like a dropped one
        lock.lock();
        writing = false;
        ++writesDone;
        changed.notify_all();
    }
}

namespace {

constexpr std::size_t kConsoleCapacity = 64 * 1024;
// A write to a reader that reads takes microseconds; one that has taken this
// long is stuck, and exit does not wait for it.
constexpr std::chrono::milliseconds kExitStall{30};

LineLog& Console() {
    // Never destroyed: its thread may still be inside a write when the
    // process exits, and is simply ended with it.
    static LineLog* const console = [] {
        auto* log = new LineLog(platform::WriteStandardOutput, kConsoleCapacity);
        std::atexit([] { FlushLog(kExitStall); });
        return log;
    }();
    return *console;
}

}  // namespace

void LogLine(const std::string& line) { Console().Add(line); }

bool FlushLog(std::chrono::milliseconds stall) { return Console().Flush(stall); }

std::string EscapeControlCharacters(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
        } else {
            escaped += c;
        }
    }
    return escaped;
}
