#include "EventMix.h"

#include <algorithm>

using nlohmann::json;

namespace {

struct KindShare {
    const char* name;
    double weight;
};

// Shares per thousand events, in the order of EventMix::Kind.
constexpr std::array<KindShare, EventMix::kKinds> kShares{{
    {"willAppear", 150},
    {"willDisappear", 140},
    {"keyDown", 160},
    {"keyUp", 160},
    {"sendToPlugin settings", 120},
    {"sendToPlugin background-image", 80},
    {"deviceDidConnect", 30},
    {"deviceDidDisconnect", 30},
    {"malformed", 110},
    {"binary", 10},
    {"ping", 10},
}};

// A key page or two of an XL; more appear only again.
constexpr std::size_t kMaxLiveKeys = 256;
constexpr std::size_t kRememberedGone = 64;

struct Icon {
    const char* name;
    const char* colorId;
    const char* color;
    std::size_t size;  // 0: the file does not exist
};

constexpr std::array<Icon, 5> kIcons{{
    {"arrow", "", "red", 700},
    {"arrow", "2", "red", 4 * 1024},
    {"hand", "", "blue", 20 * 1024},
    {"wheel", "7", "green", 60 * 1024},
    {"ghost", "", "grey", 0},
}};

constexpr std::array<std::size_t, 6> kPictureSizes{1024, 3 * 1024, 10 * 1024, 30 * 1024, 64 * 1024, 128 * 1024};

constexpr std::array<const char*, 14> kCommands{
    "MOUSE_LEFT_CLICK",  "MOUSE_RIGHT_CLICK",  "MOUSE_MIDDLE_CLICK", "MOUSE_WHEEL_UP",  "MOUSE_WHEEL_DOWN",
    "MOUSE_HWHEEL_UP",   "MOUSE_CURSOR_MOVE",  "MOUSE_CURSOR_POS",   "MOUSE_CURSOR_RESET", "MOUSE_LEFT_DOWN",
    "MOUSE_LEFT_UP",     "MOUSE_X1_CLICK",     "",                   "NOT_A_COMMAND"};

constexpr std::array<const char*, 9> kSettingNames{"my_mouse_event", "my_sleep",       "my_offset_x",
                                                   "my_offset_y",    "my_wheel",       "my_icon_color",
                                                   "my_icon_name",   "my_repeat_loops", "my_icon_color_id"};

constexpr std::array<const char*, 6> kSleeps{"0", "2", "5", "20", "abc", "99999999999"};
constexpr std::array<const char*, 4> kWheels{"120", "-120", "1", "x"};
constexpr std::array<const char*, 3> kDevices{"7A2F3C4E5D6B", "0D1E2F3A4B5C", "FFEEDDCCBBAA"};

// Texts that are not event messages, or not ones the plugin can use. All of
// them valid UTF-8: the protocol has a connection with any other text failed.
constexpr std::array<const char*, 16> kMalformedTexts{
    "",
    "{",
    "not json",
    R"({"event":"keyDown","context":"key-1"} trailing)",
    R"({"event":"keyUp"}{"event":"keyUp"})",
    "[1,2,3]",
    R"("willAppear")",
    "null",
    R"({"event":42,"context":"key-1"})",
    R"({"event":"willAppear","context":7,"payload":[]})",
    R"({"event":"willAppear","context":"key-x","payload":{"settings":"none"}})",
    R"({"event":"sendToPlugin","context":"key-1","payload":"background-image"})",
    R"({"event":"keyDown","context":{"nested":true}})",
    R"({"event":"titleParametersDidChange","context":"key-1","payload":{}})",
    R"({"event":"KEYDOWN","context":"key-1"})",
    R"({"event":"willAppear","context":"key-1","payload":{"settings":{"my_sleep":1e999}}})",
};

}  // namespace

EventMix::EventMix(const ScratchFolder& folder, unsigned seed)
    : random(seed), folderPath(folder.Path().string()) {
    std::vector<double> weights;
    for (const KindShare& share : kShares) weights.push_back(share.weight);
    kinds = std::discrete_distribution<std::size_t>(weights.begin(), weights.end());

    for (const Icon& icon : kIcons) {
        if (icon.size == 0) continue;
        folder.Write(std::string("icons/") + icon.name + "_" + icon.colorId + icon.color + ".png",
                     NoiseBytes(icon.size, static_cast<unsigned>(icon.size)));
    }
    for (const std::size_t size : kPictureSizes) {
        const std::string name = "pictures/picture-" + std::to_string(size) + ".png";
        pictures.push_back(folder.Write(name, NoiseBytes(size, static_cast<unsigned>(size + 1))).string());
    }
    missingPicture = (folder.Path() / "pictures" / "missing.png").string();
}

EventMix::Event EventMix::Next() {
    const std::size_t kind = kinds(random);
    ++drawn[kind];
    switch (kind) {
        case kAppear: return Appear();
        case kDisappear: return Disappear();
        case kKeyDown: return Press("keyDown");
        case kKeyUp: return Press("keyUp");
        case kSettingsUpdate: return SettingsUpdate();
        case kBackgroundImage: return BackgroundImage();
        case kDeviceConnect: return DeviceConnect();
        case kDeviceDisconnect: return Text({{"event", "deviceDidDisconnect"}, {"device", Device()}});
        case kMalformed: return Malformed();
        case kBinary: return Binary();
        default: return {Event::Frame::Ping, "soak " + std::to_string(drawn[kPing])};
    }
}

void EventMix::Report(std::ostream& out) const {
    for (std::size_t kind = 0; kind < kKinds; ++kind) out << "  " << kShares[kind].name << ": " << drawn[kind] << '\n';
}

std::size_t EventMix::PingsDrawn() const { return drawn[kPing]; }

EventMix::Event EventMix::Appear() {
    std::string context;
    if (live.size() < kMaxLiveKeys && (live.empty() || Chance(0.8))) {
        // Now and then a context that JSON writes as it is but is not ASCII.
        ++serial;
        context = "key-" + std::to_string(serial) + (serial % 9 == 0 ? "-\xd0\xba\xd0\xbb\xd1\x8e\xd1\x87" : "");
        live.push_back(context);
    } else {
        context = Pick(live);  // shown again
    }
    json payload = {{"coordinates", Coordinates()}, {"isInMultiAction", false}};
    if (Chance(0.97)) payload["settings"] = Chance(0.98) ? Settings() : json();
    return Text(KeyMessage("willAppear", context, payload));
}

EventMix::Event EventMix::Disappear() {
    std::string context;
    if (!live.empty() && Chance(0.85)) {
        const std::size_t index = Index(live.size());
        context = live[index];
        live[index] = live.back();
        live.pop_back();
        gone.push_back(context);
        if (gone.size() > kRememberedGone) gone.pop_front();
    } else {
        context = UnknownContext();
    }
    return Text(KeyMessage("willDisappear", context, {{"coordinates", Coordinates()}, {"settings", json::object()}}));
}

EventMix::Event EventMix::Press(const char* event) {
    return Text(KeyMessage(event, SomeContext(0.75),
                           {{"coordinates", Coordinates()}, {"isInMultiAction", false}, {"settings", json::object()},
                            {"state", 0}}));
}

EventMix::Event EventMix::SettingsUpdate() {
    // The settings page sends every member, as the key's settings now stand.
    json payload = Settings();
    if (Chance(0.05)) {
        payload["my_icon_color_id"] = "3";
        payload["background-image"] = pictures.front();  // not shown: a colour change comes first
    }
    return Text(KeyMessage("sendToPlugin", SomeContext(0.85), payload));
}

EventMix::Event EventMix::BackgroundImage() {
    const double draw = std::uniform_real_distribution<double>(0, 1)(random);
    std::string path;
    if (draw < 0.80) {
        path = Pick(pictures);
    } else if (draw < 0.88) {
        path = missingPicture;
    } else if (draw < 0.92) {
        path = folderPath;
    } else {
        path = "icons\\arrow_red.png";  // relative to the plugin folder, as a Windows path
    }
    return Text(KeyMessage("sendToPlugin", SomeContext(0.85), {{"background-image", path}}));
}

EventMix::Event EventMix::DeviceConnect() {
    return Text({{"event", "deviceDidConnect"},
                 {"device", Device()},
                 {"deviceInfo", {{"name", "Stream Deck XL"}, {"type", 2}, {"size", {{"columns", 8}, {"rows", 4}}}}}});
}

EventMix::Event EventMix::Malformed() {
    const int draw = Between(0, static_cast<int>(kMalformedTexts.size()) + 3);
    const int extra = draw - static_cast<int>(kMalformedTexts.size());
    if (extra < 0) return {Event::Frame::Text, kMalformedTexts[static_cast<std::size_t>(draw)]};
    switch (extra) {
        case 0: return {Event::Frame::Text, RandomBytes(static_cast<std::size_t>(Between(1, 300)), ' ', '~')};
        case 1: return {Event::Frame::Text, std::string(2000, '[') + std::string(2000, ']')};  // deep, but valid
        case 2:  // a release names no key it needs; its context is large all the same
            return Text({{"event", "keyUp"}, {"context", std::string(200 * 1024, 'k')}});
        default: {
            json payload = {{"settings", Settings()}};
            payload["settings"][Pick(kSettingNames)] = json::array({1, 2});  // a member of the wrong type
            return Text(KeyMessage("willAppear", "key-refused", payload));
        }
    }
}

EventMix::Event EventMix::Binary() {
    return {Event::Frame::Binary, RandomBytes(static_cast<std::size_t>(Between(1, 512)), 0, 255)};
}

json EventMix::KeyMessage(const char* event, const std::string& context, json payload) {
    return {{"action", "org.deckmouse.mouse"},
            {"context", context},
            {"device", Device()},
            {"event", event},
            {"payload", std::move(payload)}};
}

json EventMix::Settings() {
    json settings = {{"my_mouse_event", Pick(kCommands)}};
    if (Chance(0.8)) settings["my_sleep"] = Pick(kSleeps);
    if (Chance(0.7)) settings["my_offset_x"] = std::to_string(Between(-50, 50));
    if (Chance(0.7)) settings["my_offset_y"] = std::to_string(Between(-50, 50));
    if (Chance(0.5)) settings["my_wheel"] = Pick(kWheels);
    if (Chance(0.5)) settings["my_repeat_loops"] = std::to_string(Between(0, 2));
    if (Chance(0.85)) {
        const Icon& icon = Pick(kIcons);
        settings["my_icon_name"] = icon.name;
        settings["my_icon_color"] = icon.color;
        if (*icon.colorId != '\0') settings["my_icon_color_id"] = icon.colorId;
    }
    if (Chance(0.04)) settings[Pick(kSettingNames)] = Between(0, 999);  // a number where text belongs
    return settings;
}

json EventMix::Coordinates() { return {{"column", Between(0, 7)}, {"row", Between(0, 3)}}; }

std::string EventMix::SomeContext(double liveShare) {
    return !live.empty() && Chance(liveShare) ? Pick(live) : UnknownContext();
}

std::string EventMix::UnknownContext() {
    if (!gone.empty() && Chance(0.7)) return Pick(gone);
    return Chance(0.1) ? std::string() : "never-" + std::to_string(Between(0, 1000000));
}

std::string EventMix::Device() { return Pick(kDevices); }

std::string EventMix::RandomBytes(std::size_t size, int low, int high) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(Between(low, high));
    return bytes;
}

bool EventMix::Chance(double probability) { return std::bernoulli_distribution(probability)(random); }

int EventMix::Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
