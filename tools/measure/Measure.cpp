// Measures the plugin as a host sees it, on loopback, with a host that does
// all its work on one thread: start-up to
// registration, threads and idle wake-ups with keys shown, key-image round
// trips for a 10 KiB and a 1 MiB file (one update at a time, waiting for each
// setImage), and resident memory afterwards. Linux only: reads /proc.
//
//   deckmouse_measure <plugin executable> [<another plugin executable>...]
//
// With several executables (two builds to compare), their start-ups take
// turns, so that whatever else the machine does weighs on each alike; the
// other figures follow for each in turn.
#include "ImageMessages.h"
#include "PluginSession.h"
#include "ProcessStatus.h"
#include "ScratchFolder.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <thread>

using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

double Milliseconds(steady_clock::duration duration) { return duration_cast<nanoseconds>(duration).count() / 1e6; }

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()))];
}

std::string Appear(const std::string& context) {
    return nlohmann::json{{"event", "willAppear"},
                          {"context", context},
                          {"payload", {{"settings", {{"my_mouse_event", "MOUSE_CURSOR_MOVE"}}}}}}
        .dump();
}

// Everything but the start-up, for one executable.
void MeasureRunning(const std::string& plugin, const ScratchFolder& folder) {
    PluginSession session(plugin, folder.Path().string());
    BlockingHost& host = session.host;
    const pid_t pid = session.process.Pid();
    std::size_t threads = 0;
    host.Send(Appear("key-0"));
    std::this_thread::sleep_for(milliseconds(200));
    SumOverThreads(pid, "voluntary_ctxt_switches", threads);
    std::cout << "threads with one key shown: " << threads << '\n';
    std::cout << "resident memory with one key shown: " << StatusKilobytes(pid, "VmRSS") << " KiB\n";
    for (int i = 1; i <= 1000; ++i) host.Send(Appear("key-" + std::to_string(i)));
    std::this_thread::sleep_for(milliseconds(500));
    SumOverThreads(pid, "voluntary_ctxt_switches", threads);
    std::cout << "threads after 1,000 willAppear: " << threads << '\n';
    const long long before = SumOverThreads(pid, "voluntary_ctxt_switches", threads);
    std::this_thread::sleep_for(seconds(5));
    const long long after = SumOverThreads(pid, "voluntary_ctxt_switches", threads);
    std::cout << "idle wake-ups (voluntary context switches) per second: " << (after - before) / 5.0 << '\n';

    for (const std::size_t size : {std::size_t{10 * 1024}, std::size_t{1024 * 1024}}) {
        const fs::path image = folder.Write("image-" + std::to_string(size) + ".png", std::string(size, '\x89'));
        const std::string update = BackgroundUpdate("key-0", image.string());
        std::vector<double> trips;
        for (int i = 0; i < (size > 100000 ? 200 : 2000); ++i) {
            const auto sent = steady_clock::now();
            host.Send(update);
            host.Receive();
            trips.push_back(Milliseconds(steady_clock::now() - sent));
        }
        std::cout << size / 1024 << " KiB image round trip: median " << Percentile(trips, 0.5) << " ms, p99 "
                  << Percentile(trips, 0.99) << " ms\n";
    }
    std::cout << "resident memory after the images: " << StatusKilobytes(pid, "VmRSS") << " KiB\n";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) PluginArgument(argc, argv);  // prints the usage
    std::vector<std::string> plugins;
    for (int i = 1; i < argc; ++i) plugins.push_back(fs::absolute(argv[i]).string());
    const ScratchFolder folder("measure");
    std::cout << std::fixed << std::setprecision(3);

    constexpr int kStarts = 20;
    std::vector<std::vector<double>> startUps(plugins.size());
    for (int i = 0; i < kStarts; ++i) {
        for (std::size_t p = 0; p < plugins.size(); ++p) {
            const auto started = steady_clock::now();
            const PluginSession session(plugins[p], folder.Path().string());
            startUps[p].push_back(Milliseconds(steady_clock::now() - started));
        }
    }
    for (std::size_t p = 0; p < plugins.size(); ++p) {
        std::cout << "== " << plugins[p] << '\n';
        std::cout << "start to registration: median " << Percentile(startUps[p], 0.5) << " ms, max "
                  << Percentile(startUps[p], 1) << " ms\n";
        MeasureRunning(plugins[p], folder);
    }
    return 0;
}
