#pragma once

#include "ScratchFolder.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstddef>
#include <deque>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// What a host sends over a long session, drawn at random from a fixed seed so
// that runs repeat: keys appearing and disappearing over a rolling set of
// contexts, with icons and settings; presses and releases of known and
// unknown keys; settings-page updates and background images; devices coming
// and going; pings; and messages that are malformed or not text at all.
class EventMix {
public:
    struct Event {
        enum class Frame { Text, Binary, Ping } frame;
        std::string data;
    };

    // Writes the icons and pictures that the events name into `folder`, the
    // plugin's working folder.
    EventMix(const ScratchFolder& folder, unsigned seed);

    Event Next();

    // How many events of each kind were drawn.
    void Report(std::ostream& out) const;
    std::size_t PingsDrawn() const;

    enum Kind : std::size_t {
        kAppear,
        kDisappear,
        kKeyDown,
        kKeyUp,
        kSettingsUpdate,
        kBackgroundImage,
        kDeviceConnect,
        kDeviceDisconnect,
        kMalformed,
        kBinary,
        kPing,
        kKinds
    };

private:
    Event Text(const nlohmann::json& message) const { return {Event::Frame::Text, message.dump()}; }
    Event Appear();
    Event Disappear();
    Event Press(const char* event);
    Event SettingsUpdate();
    Event BackgroundImage();
    Event DeviceConnect();
    Event Malformed();
    Event Binary();

    nlohmann::json KeyMessage(const char* event, const std::string& context, nlohmann::json payload);
    nlohmann::json Settings();
    nlohmann::json Coordinates();
    // A shown key's context with the given chance, else one not shown.
    std::string SomeContext(double liveShare);
    std::string UnknownContext();
    std::string Device();
    std::string RandomBytes(std::size_t size, int low, int high);

    bool Chance(double probability);
    int Between(int low, int high);
    // A position in a sequence of `size` elements, not empty.
    std::size_t Index(std::size_t size) { return static_cast<std::size_t>(Between(0, static_cast<int>(size) - 1)); }
    template <typename Sequence>
    const typename Sequence::value_type& Pick(const Sequence& choices) {
        return choices[Index(choices.size())];
    }

    std::mt19937 random;
    std::discrete_distribution<std::size_t> kinds;
    std::array<std::size_t, kKinds> drawn{};

    std::vector<std::string> live;  // contexts shown now
    std::deque<std::string> gone;   // contexts that disappeared lately
    std::size_t serial = 0;

    std::vector<std::string> pictures;  // background images that exist
    std::string missingPicture;
    std::string folderPath;  // not a regular file
};
