#include "FakeQuartz.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace fake_quartz {
namespace {

// Events handed out and not yet released; a use of any other is a fault.
std::set<const Event*>& Live() {
    static std::set<const Event*> live;
    return live;
}

CGEventRef Make(const Event& event) {
    Event* made = new Event(event);
    Live().insert(made);
    ++Fake().liveEvents;
    return reinterpret_cast<CGEventRef>(made);
}

Event* Use(CGEventRef ref) {
    Event* event = reinterpret_cast<Event*>(ref);
    if (Live().count(event) == 0) {
        ADD_FAILURE() << "an event used after its release, or never made";
        return nullptr;
    }
    return event;
}

CGEventRef CreateMouseEvent(CGEventSourceRef source, CGEventType type, CGPoint position, CGMouseButton button) {
    EXPECT_EQ(source, nullptr);
    if (type == Fake().failToCreate) return nullptr;
    Event event;
    event.type = type;
    event.location = position;
    event.button = button;
    return Make(event);
}

CGEventRef CreateScrollWheelEvent2(CGEventSourceRef, CGScrollEventUnit units, std::uint32_t count, std::int32_t wheel1,
                                   std::int32_t wheel2, std::int32_t wheel3) {
    if (Fake().failToCreate == kCGEventScrollWheel) return nullptr;
    Event event;
    event.scroll = true;
    event.type = kCGEventScrollWheel;
    event.units = units;
    event.wheelCount = count;
    event.wheel[0] = wheel1;
    event.wheel[1] = wheel2;
    event.wheel[2] = wheel3;
    return Make(event);
}

void SetIntegerValueField(CGEventRef ref, CGEventField field, std::int64_t value) {
    if (Event* event = Use(ref)) event->fields[field] = value;
}

void SetFlags(CGEventRef ref, CGEventFlags flags) {
    if (Event* event = Use(ref)) {
        event->flagsSet = true;
        event->flags = flags;
    }
}

void Post(CGEventTapLocation tap, CGEventRef ref) {
    EXPECT_EQ(tap, kCGHIDEventTap);
    Event* event = Use(ref);
    if (event == nullptr) return;
    Fake().posted.push_back(*event);
    if (!event->scroll) Fake().cursor = event->location;
}

CGEventRef Create(CGEventSourceRef) {
    Event event;
    event.location = Fake().cursor;
    return Make(event);
}

CGPoint GetLocation(CGEventRef ref) {
    const Event* event = Use(ref);
    return event != nullptr ? event->location : CGPoint{0, 0};
}

CGError GetActiveDisplayList(std::uint32_t max, CGDirectDisplayID* displays, std::uint32_t* count) {
    if (Fake().displayListError != kCGErrorSuccess) return Fake().displayListError;
    *count = 0;
    for (const Display& display : Fake().displays) {
        if (*count == max) break;
        displays[(*count)++] = display.id;
    }
    return kCGErrorSuccess;
}

CGRect DisplayBounds(CGDirectDisplayID id) {
    for (const Display& display : Fake().displays) {
        if (display.id == id) return display.bounds;
    }
    ADD_FAILURE() << "bounds of a display not in the list";
    return {};
}

CGDirectDisplayID MainDisplayID() { return Fake().mainDisplay; }

void Release(CFTypeRef ref) {
    const Event* event = static_cast<const Event*>(ref);
    if (Live().erase(event) == 0) {
        ADD_FAILURE() << "a release of an event not held";
        return;
    }
    --Fake().liveEvents;
    delete event;
}

bool PreflightPostEventAccess() {
    ++Fake().preflights;
    return Fake().mayPost;
}

bool RequestPostEventAccess() {
    ++Fake().requests;
    return false;
}

char nsEventClass;
char doubleClickIntervalSelector;

ObjcId GetClass(const char* name) {
    return Fake().hasNSEvent && std::strcmp(name, "NSEvent") == 0 ? &nsEventClass : nullptr;
}

ObjcSel RegisterName(const char* name) {
    return std::strcmp(name, "doubleClickInterval") == 0 ? &doubleClickIntervalSelector : nullptr;
}

double MsgSendDouble(ObjcId receiver, ObjcSel selector) {
    EXPECT_EQ(receiver, &nsEventClass);
    EXPECT_EQ(selector, &doubleClickIntervalSelector);
    return Fake().doubleClickInterval;
}

}  // namespace

State& Fake() {
    static State state;
    return state;
}

Functions Reset() {
    EXPECT_TRUE(Live().empty()) << Live().size() << " events made and never released";
    for (const Event* event : Live()) delete event;
    Live().clear();
    Fake() = State();
    Functions table;
    table.CGEventCreateMouseEvent = CreateMouseEvent;
    table.CGEventCreateScrollWheelEvent2 = CreateScrollWheelEvent2;
    table.CGEventSetIntegerValueField = SetIntegerValueField;
    table.CGEventSetFlags = SetFlags;
    table.CGEventPost = Post;
    table.CGEventCreate = Create;
    table.CGEventGetLocation = GetLocation;
    table.CGGetActiveDisplayList = GetActiveDisplayList;
    table.CGDisplayBounds = DisplayBounds;
    table.CGMainDisplayID = MainDisplayID;
    table.CFRelease = Release;
    table.CGPreflightPostEventAccess = PreflightPostEventAccess;
    table.CGRequestPostEventAccess = RequestPostEventAccess;
    table.objc_getClass = GetClass;
    table.sel_registerName = RegisterName;
    table.objc_msgSend_double = MsgSendDouble;
    return table;
}

std::vector<std::string> FunctionNames() {
    std::vector<std::string> names;
    Functions table;
    ForEachFunction(table, [&names](const char* name, auto&) { names.push_back(name); });
    return names;
}

Functions Without(const std::string& name) {
    Functions table = Reset();
    ForEachFunction(table, [&name](const char* member, auto& function) {
        if (name == member) function = nullptr;
    });
    return table;
}

}  // namespace fake_quartz
