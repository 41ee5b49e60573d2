// A long session against the plugin: a million host events in a varied mix
// (see EventMix), with the host reading everything that comes back. Every
// tenth of the way the host has a marker key show a new image and reads until
// it arrives, so that everything sent before has been handled, then samples
// the plugin's resident memory, threads and open descriptors. After the first
// sample (warm-up) they should stay flat: the tool exits with 1 when the last
// sample is above the first by more than a small margin, or when anything
// comes back that is not a key image. Linux only: reads /proc.
//
//   deckmouse_soak <plugin executable> [events]
#include "EventMix.h"
#include "ImageMessages.h"
#include "PluginSession.h"
#include "ProcessStatus.h"
#include "ScratchFolder.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <iostream>
#include <optional>
#include <stdexcept>

using namespace std::chrono;
using nlohmann::json;

namespace {

constexpr std::size_t kDefaultEvents = 1000000;
constexpr std::size_t kSamples = 10;
constexpr unsigned kSeed = 20240601;
const std::string kMarker = "soak-marker";

// Resident memory moves by a megabyte or two from sample to sample with what
// the allocator keeps. So the mean of the last samples is held against the
// mean of the first ones, with a margin that noise stays within and a leak
// of a few bytes per event does not.
constexpr std::size_t kAveraged = 3;
constexpr long kResidentMarginKilobytes = 2048;
constexpr double kResidentMarginShare = 0.10;

struct Traffic {
    std::size_t images = 0;
    std::size_t bytes = 0;
    std::size_t strays = 0;  // messages that are not key images
};

std::optional<SetImageParts> Count(const std::string& message, Traffic& traffic) {
    const auto parts = SplitSetImage(message);
    if (parts) {
        ++traffic.images;
        traffic.bytes += message.size();
    } else {
        ++traffic.strays;
    }
    return parts;
}

void ReadWaiting(BlockingHost& host, Traffic& traffic) {
    while (host.Readable(milliseconds(0))) {
        if (const std::optional<std::string> message = host.ReceiveFrame()) Count(*message, traffic);
    }
}

long MeanResident(std::vector<Footprint>::const_iterator begin, std::vector<Footprint>::const_iterator end) {
    long total = 0;
    for (auto sample = begin; sample != end; ++sample) total += sample->residentKilobytes;
    return total / static_cast<long>(end - begin);
}

// Prints how each figure went from the first samples to the last; true when
// none grew.
bool Flat(const std::vector<Footprint>& samples) {
    bool flat = true;
    auto verdict = [&flat](const char* what, long first, long last, long allowed) {
        const bool ok = last <= first + allowed;
        std::cout << what << ": " << first << " after warm-up, " << last << " at the end: " << (ok ? "flat" : "GREW")
                  << '\n';
        flat = flat && ok;
    };
    const std::size_t averaged = std::min(kAveraged, samples.size());
    const long first = MeanResident(samples.begin(), samples.begin() + averaged);
    const long last = MeanResident(samples.end() - averaged, samples.end());
    verdict("resident memory, KiB (mean of the first and of the last samples)", first, last,
            std::max(kResidentMarginKilobytes, static_cast<long>(first * kResidentMarginShare)));
    verdict("threads", static_cast<long>(samples.front().threads), static_cast<long>(samples.back().threads), 0);
    verdict("descriptors", static_cast<long>(samples.front().descriptors),
            static_cast<long>(samples.back().descriptors), 0);
    return flat;
}

void Send(BlockingHost& host, const EventMix::Event& event) {
    switch (event.frame) {
        case EventMix::Event::Frame::Text: host.Send(event.data); break;
        case EventMix::Event::Frame::Binary: host.SendBinary(event.data); break;
        case EventMix::Event::Frame::Ping: host.Ping(event.data); break;
    }
}

// Has the marker key show an image of its own and reads until it arrives.
void Checkpoint(BlockingHost& host, const ScratchFolder& folder, std::size_t index, Traffic& traffic) {
    const std::string bytes = "checkpoint " + std::to_string(index);
    host.Send(BackgroundUpdate(kMarker, folder.Write("markers/" + std::to_string(index) + ".png", bytes).string()));
    const std::string expected = Base64Of(bytes);
    const auto deadline = steady_clock::now() + seconds(60);
    while (steady_clock::now() < deadline) {
        const std::string message = host.Receive();
        const auto parts = Count(message, traffic);
        if (!parts || parts->context != kMarker) continue;
        if (parts->base64 != expected) throw std::runtime_error("the marker key got an image it was not sent");
        return;
    }
    throw std::runtime_error("the marker image did not come back within 60 s");
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string plugin = PluginArgument(argc, argv, "events");
    const std::size_t events = argc == 3 ? std::stoul(argv[2]) : kDefaultEvents;
    const std::size_t interval = std::max<std::size_t>(1, events / kSamples);
    try {
        const ScratchFolder folder("soak");
        EventMix mix(folder, kSeed);
        PluginSession session(plugin, folder.Path().string());
        BlockingHost& host = session.host;
        const pid_t pid = session.process.Pid();
        // A key of its own, never taken away, that shows no icon.
        host.Send(json{{"event", "willAppear"}, {"context", kMarker}, {"payload", {{"settings", json::object()}}}}
                      .dump());

        std::cout << std::setw(10) << "events" << std::setw(11) << "events/s" << std::setw(12) << "VmRSS KiB"
                  << std::setw(9) << "threads" << std::setw(13) << "descriptors" << '\n';
        Traffic traffic;
        std::vector<Footprint> samples;
        std::size_t sampledAt = 0;
        auto sampledTime = steady_clock::now();
        for (std::size_t sent = 1; sent <= events; ++sent) {
            Send(host, mix.Next());
            ReadWaiting(host, traffic);
            // The console is read now and then, as a host does; it should not stall the plugin anyway.
            if (sent % 10000 == 0) session.process.Output();
            if (sent % interval != 0 && sent != events) continue;
            Checkpoint(host, folder, sent, traffic);
            const double rate =
                (sent - sampledAt) / duration_cast<duration<double>>(steady_clock::now() - sampledTime).count();
            samples.push_back(SampleFootprint(pid));
            std::cout << std::setw(10) << sent << std::setw(11) << static_cast<long>(rate) << std::setw(12)
                      << samples.back().residentKilobytes << std::setw(9) << samples.back().threads << std::setw(13)
                      << samples.back().descriptors << std::endl;
            sampledAt = sent;
            sampledTime = steady_clock::now();
        }

        std::cout << "peak resident memory (VmHWM): " << StatusKilobytes(pid, "VmHWM") << " KiB\n";
        std::cout << "events sent:\n";
        mix.Report(std::cout);
        const std::string console = session.process.Output();
        std::cout << "key images received: " << traffic.images << " (" << traffic.bytes / 1024 << " KiB)\n"
                  // A plugin with much unsent may leave a ping unanswered.
                  << "pongs: " << host.PongsReceived() << " of " << mix.PingsDrawn() << " pings\n"
                  << "console lines from the plugin: " << std::count(console.begin(), console.end(), '\n') << '\n';

        const bool flat = Flat(samples);
        bool clean = traffic.strays == 0;
        if (!clean) std::cout << "FAIL: " << traffic.strays << " messages that are not key images\n";
        if (session.process.WaitForExit(milliseconds(0))) {
            std::cout << "FAIL: the plugin ended\n";
            clean = false;
        }
        return flat && clean ? 0 : 1;
    } catch (const std::exception& error) {
        std::cerr << "soak failed: " << error.what() << '\n';
        return 1;
    }
}
