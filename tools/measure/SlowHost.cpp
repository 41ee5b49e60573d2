// A host that stops reading. For 500 keys, then for 2,000, it sends
// willAppear with a 1 MiB icon, then a 1 MiB background image for every key
// and a small image of its own for every other key, with pings in between,
// and reads nothing meanwhile. The plugin's resident memory is sampled all
// along; its peak (VmHWM) must stay within 64 MiB. Then the host reads again:
// every key's newest image must arrive byte for byte, with nothing older
// after it. Exits with 1 when the bound or the delivery fails. Linux only.
//
//   deckmouse_slow_host <plugin executable>
#include "ImageMessages.h"
#include "MemoryWatch.h"
#include "PluginSession.h"
#include "ProcessStatus.h"
#include "ScratchFolder.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace std::chrono;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr long kBoundKilobytes = 64 * 1024;
// Far above the bound, and far below what the machine has.
constexpr long kKillKilobytes = 1024 * 1024;
constexpr std::size_t kLargeImage = 1024 * 1024;
constexpr std::size_t kOwnImage = 8 * 1024;
constexpr std::size_t kPingEvery = 10;
// How long the host goes on not reading once the plugin has taken all it was sent.
constexpr auto kStall = seconds(2);
constexpr auto kDrainDeadline = seconds(120);

// The images a key can be shown, oldest first; a key never gets an older one
// after a newer.
enum Image { kNone, kIcon, kPicture, kOwn, kUnknown };

std::string Key(std::size_t index) { return "key-" + std::to_string(index); }
bool HasOwnImage(std::size_t index) { return index % 2 == 1; }

std::string Appear(const std::string& context) {
    return json{{"event", "willAppear"},
                {"context", context},
                {"payload", {{"settings", {{"my_icon_name", "big"}, {"my_icon_color", "red"}}}}}}
        .dump();
}

class SlowHostRun {
public:
    SlowHostRun(const std::string& plugin, std::size_t keys)
        : plugin(plugin), keys(keys), folder("slow-host-" + std::to_string(keys)), ownPaths(keys), ownTexts(keys) {
        const std::string icon = NoiseBytes(kLargeImage, 1);
        const std::string picture = NoiseBytes(kLargeImage, 2);
        folder.Write("icons/big_red.png", icon);
        picturePath = folder.Write("picture.png", picture);
        iconText = Base64Of(icon);
        pictureText = Base64Of(picture);
        for (std::size_t i = 0; i < keys; ++i) {
            if (!HasOwnImage(i)) continue;
            const std::string own = NoiseBytes(kOwnImage, static_cast<unsigned>(1000 + i));
            ownPaths[i] = folder.Write("own/" + std::to_string(i) + ".png", own);
            ownTexts[i] = Base64Of(own);
        }
    }

    // True when the bound held and every key got its newest image.
    bool Run() {
        std::cout << "== " << keys << " keys\n";
        PluginSession session(plugin, folder.Path().string());
        BlockingHost& host = session.host;
        const pid_t pid = session.process.Pid();
        MemoryWatch watch(pid, kKillKilobytes);
        try {
            Stall(host, pid, watch);
        } catch (const std::exception& error) {
            std::cout << "FAIL while the host did not read: " << error.what() << " (highest sample "
                      << watch.HighestKilobytes() << " KiB)\n";
            return false;
        }
        const long stallPeak = StatusKilobytes(pid, "VmHWM");
        std::cout << "peak while the host did not read: VmHWM " << stallPeak << " KiB (highest sample "
                  << watch.HighestKilobytes() << " KiB)\n";

        bool delivered = false;
        try {
            delivered = Drain(host);
        } catch (const std::exception& error) {
            std::cout << "FAIL while draining: " << error.what() << '\n';
        }
        const long peak = StatusKilobytes(pid, "VmHWM");
        const bool bounded = peak <= kBoundKilobytes;
        std::cout << "peak over the run: VmHWM " << peak << " KiB, bound " << kBoundKilobytes << " KiB: "
                  << (bounded ? "held" : "EXCEEDED") << '\n'
                  << "pongs: " << host.PongsReceived() << " of " << pings << " pings\n";
        return bounded && delivered;
    }

private:
    void Stall(BlockingHost& host, pid_t pid, const MemoryWatch& watch) {
        auto send = [&](const std::string& message, std::size_t index) {
            host.Send(message);
            if (index % kPingEvery == 0) host.Ping("ping " + std::to_string(++pings));
        };
        for (std::size_t i = 0; i < keys; ++i) send(Appear(Key(i)), i);
        Report("once the willAppear are sent", pid);
        for (std::size_t i = 0; i < keys; ++i) send(BackgroundUpdate(Key(i), picturePath.string()), i);
        for (std::size_t i = 0; i < keys; ++i) {
            if (HasOwnImage(i)) send(BackgroundUpdate(Key(i), ownPaths[i].string()), i);
        }
        Report("once the background images are sent", pid);

        auto checkAlive = [&watch] {
            if (watch.Killed()) {
                throw std::runtime_error("the plugin went above " + std::to_string(kKillKilobytes) +
                                         " KiB and was killed");
            }
        };
        const auto deadline = steady_clock::now() + seconds(30);
        while (host.Unacknowledged() > 0) {
            checkAlive();
            if (steady_clock::now() > deadline) throw std::runtime_error("the plugin stopped taking events");
            std::this_thread::sleep_for(milliseconds(10));
        }
        std::this_thread::sleep_for(kStall);  // the stall itself: the host goes on not reading
        checkAlive();
        Report("at the end of the stall", pid);
    }

    static void Report(const char* when, pid_t pid) {
        std::cout << "  VmRSS " << when << ": " << StatusKilobytes(pid, "VmRSS") << " KiB\n";
    }

    Image Classify(std::size_t index, std::string_view image) const {
        if (image == iconText) return kIcon;
        if (image == pictureText) return kPicture;
        if (HasOwnImage(index) && image == ownTexts[index]) return kOwn;
        return kUnknown;
    }

    static Image Newest(std::size_t index) { return HasOwnImage(index) ? kOwn : kPicture; }

    // Reads until every key shows its newest image, then until the plugin
    // has been quiet for a second.
    bool Drain(BlockingHost& host) {
        std::vector<Image> shown(keys, kNone);
        std::size_t complete = 0;
        std::size_t images = 0;
        std::size_t bytes = 0;
        const auto start = steady_clock::now();
        auto drained = start;
        while (complete < keys || host.Readable(seconds(1))) {
            if (steady_clock::now() - start > kDrainDeadline) {
                std::cout << "FAIL: " << complete << " of " << keys << " keys got their newest image within "
                          << duration_cast<seconds>(kDrainDeadline).count() << " s\n";
                return false;
            }
            const std::optional<std::string> frame = host.ReceiveFrame();
            if (!frame) continue;  // a pong
            const std::string& message = *frame;
            const auto parts = SplitSetImage(message);
            const std::string context = parts ? std::string(parts->context) : std::string();
            const std::size_t index = context.rfind("key-", 0) == 0 ? std::stoul(context.substr(4)) : keys;
            if (index >= keys) {
                std::cout << "FAIL: a message that is not a key image of a key shown: " << message.substr(0, 200)
                          << '\n';
                return false;
            }
            const Image image = Classify(index, parts->base64);
            if (image == kUnknown || image <= shown[index]) {
                std::cout << "FAIL: " << context << " got "
                          << (image == kUnknown ? "an image it was not sent" : "an older image, or one again") << '\n';
                return false;
            }
            shown[index] = image;
            ++images;
            bytes += message.size();
            if (image == Newest(index)) {
                ++complete;
                drained = steady_clock::now();
            }
        }
        std::cout << "drained: every key's newest image arrived intact after "
                  << duration_cast<milliseconds>(drained - start).count() << " ms (" << images << " images, "
                  << bytes / 1024 / 1024 << " MiB)\n";
        return true;
    }

    const std::string plugin;
    const std::size_t keys;
    const ScratchFolder folder;
    fs::path picturePath;
    std::string iconText;
    std::string pictureText;
    std::vector<fs::path> ownPaths;  // by key; empty for the keys without an image of their own
    std::vector<std::string> ownTexts;
    std::size_t pings = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    const std::string plugin = PluginArgument(argc, argv);
    bool ok = true;
    for (const std::size_t keys : {std::size_t{500}, std::size_t{2000}}) {
        try {
            ok = SlowHostRun(plugin, keys).Run() && ok;
        } catch (const std::exception& error) {
            std::cout << "FAIL: " << error.what() << '\n';
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
