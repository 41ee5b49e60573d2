#include "plugin/page/SettingsPageFeed.h"

#include "host/HostMessages.h"
#include "plugin/MonitorChoice.h"

SettingsPageFeed::SettingsPageFeed(Channel channel) : channel(std::move(channel)) {}

void SettingsPageFeed::PageAppeared(const std::string& context) {
    // The list the page shows is the one the readout numbers by, until a page opens again.
    monitors = NumberedSystemMonitors();
    SendToPage(context, {{"monitors", DescribeMonitors(monitors)}});
    const auto place = ReadPointerPlace(monitors);
    if (place) SendToPage(context, {{"pointer", DescribePlace(*place)}});
    openPages.insert(context);
    if (readoutRunning) return;
    readoutRunning = true;
    lastReadout = place;
    channel.runAfter(kReadoutMilliseconds, [this] { ReadOut(); });
}

void SettingsPageFeed::PageDisappeared(const std::string& context) {
    // The readout notices at its next look and stops: no timer is left behind.
    openPages.erase(context);
    // No page is left to take the position.
    CancelPick(context);
}

void SettingsPageFeed::ReadOut() {
    if (openPages.empty()) {
        readoutRunning = false;
        return;
    }
    // Sent when it changes: a pointer at rest costs one look per period and no message.
    const auto place = ReadPointerPlace(monitors);
    if (place && !(place == lastReadout)) {
        for (const std::string& context : openPages) SendToPage(context, {{"pointer", DescribePlace(*place)}});
        lastReadout = place;
    }
    channel.runAfter(kReadoutMilliseconds, [this] { ReadOut(); });
}

void SettingsPageFeed::StartPick(const std::string& context) {
    const unsigned run = ++nextCountdown;
    countdowns[context] = run;
    CountDown(context, run, kCountdownSeconds);
}

void SettingsPageFeed::CancelPick(const std::string& context) {
    if (countdowns.erase(context) != 0) SetTitle(context, std::nullopt);
}

void SettingsPageFeed::KeyGone(const std::string& context) {
    // The host keeps a title set on a key that is not shown: the countdown's
    // would greet the key when it comes back.
    CancelPick(context);
    openPages.erase(context);
}

void SettingsPageFeed::CountDown(const std::string& context, unsigned run, int remaining) {
    const auto current = countdowns.find(context);
    if (current == countdowns.end() || current->second != run) return;
    if (remaining == 0) {
        countdowns.erase(current);
        FinishPick(context);
        return;
    }
    SetTitle(context, std::to_string(remaining));
    channel.runAfter(1000, [this, context, run, remaining] { CountDown(context, run, remaining - 1); });
}

void SettingsPageFeed::FinishPick(const std::string& context) {
    SetTitle(context, std::nullopt);
    const auto choice = channel.monitorChoiceOf(context);
    if (!choice) return;
    const auto monitors = NumberedSystemMonitors();
    const auto place = ReadPointerPlace(monitors);
    if (!place) {
        // The page would wait for a position that never comes.
        channel.send(BuildShowAlertMessage(context));
        return;
    }
    SendToPage(context, {{"picked", PickedPosition(*place, *choice, monitors)}});
}

void SettingsPageFeed::SetTitle(const std::string& context, const std::optional<std::string>& title) {
    // Without a title the host shows the one the user gave the key.
    nlohmann::json payload{{"target", 0}};
    if (title) payload["title"] = *title;
    channel.send(BuildContextMessage("setTitle", context, payload));
}

void SettingsPageFeed::SendToPage(const std::string& context, const nlohmann::json& payload) {
    channel.send(BuildContextMessage("sendToPropertyInspector", context, payload));
}
