#pragma once

// A recording stand-in for the Quartz table: events are objects it counts
// while they live, posts are recorded, and like the window server it moves
// its cursor only when it takes a posted mouse event.
#include "platform/macos/QuartzApi.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fake_quartz {

using namespace platform::quartz;

struct Event {
    bool scroll = false;
    CGEventType type = 0;  // mouse events
    CGPoint location{0, 0};
    CGMouseButton button = 0;
    CGScrollEventUnit units = 0;  // scroll events
    std::uint32_t wheelCount = 0;
    std::int32_t wheel[3] = {0, 0, 0};
    std::map<CGEventField, std::int64_t> fields;
    bool flagsSet = false;
    CGEventFlags flags = 0;
};

struct Display {
    CGDirectDisplayID id;
    CGRect bounds;
};

// The one fake, as the table's functions are plain functions.
struct State {
    CGPoint cursor{0, 0};
    std::vector<Display> displays{{1, {{0, 0}, {1440, 900}}}};
    CGDirectDisplayID mainDisplay = 1;
    CGError displayListError = kCGErrorSuccess;
    bool mayPost = true;
    int preflights = 0;
    int requests = 0;
    bool hasNSEvent = true;
    double doubleClickInterval = 0.5;
    CGEventType failToCreate = 0;  // a mouse event type whose creation fails; 0 for none
    std::vector<Event> posted;
    int liveEvents = 0;
};

State& Fake();

// Resets the fake and gives the full table over it; an event still held
// from before is a leak, and fails the test.
Functions Reset();

// Names each member of the table, as the system exports it.
std::vector<std::string> FunctionNames();

// The table with the named function missing.
Functions Without(const std::string& name);

}  // namespace fake_quartz
