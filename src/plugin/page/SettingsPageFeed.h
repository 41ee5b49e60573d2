#pragma once

#include "plugin/page/PointerPlace.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

// What the plugin tells an open settings page: the monitors when it opens,
// the pointer's position while it is open, and the position picked by a
// countdown on its key. Everything runs on the connection's thread; the only
// timers are those of a countdown and, while a page is open, the readout's.
class SettingsPageFeed {
public:
    struct Channel {
        std::function<void(const std::string& message)> send;
        std::function<void(int milliseconds, std::function<void()> work)> runAfter;
        // The key's "my_monitor" as it stands; nothing once the key is gone.
        std::function<std::optional<std::string>(const std::string& context)> monitorChoiceOf;
    };

    static constexpr int kReadoutMilliseconds = 100;
    static constexpr int kCountdownSeconds = 3;

    explicit SettingsPageFeed(Channel channel);

    void PageAppeared(const std::string& context);
    // The page closed: its key's pick, if any, is cancelled.
    void PageDisappeared(const std::string& context);

    // The key counts down in its title, then its page gets the pointer's
    // position. A new start begins the countdown again.
    void StartPick(const std::string& context);
    // Stops the countdown and gives the key its own title back.
    void CancelPick(const std::string& context);
    // The key went away: its page ends, and its countdown as a cancel does.
    void KeyGone(const std::string& context);

    // Any message for the key's page, which the host hands to it if it is open.
    void SendToPage(const std::string& context, const nlohmann::json& payload);

private:
    void CountDown(const std::string& context, unsigned run, int remaining);
    void FinishPick(const std::string& context);
    void SetTitle(const std::string& context, const std::optional<std::string>& title);
    void ReadOut();

    Channel channel;
    std::set<std::string> openPages;
    bool readoutRunning = false;
    std::optional<PointerPlace> lastReadout;
    std::vector<platform::Monitor> monitors;  // numbered, as the open pages were told
    // The countdown running on each key; a countdown whose number is no longer
    // there was cancelled or started again.
    std::map<std::string, unsigned> countdowns;
    unsigned nextCountdown = 0;
};
