#pragma once

// The part of Quartz Event Services, Quartz Display Services, Core Foundation
// and the Objective-C runtime that the macOS backend calls, declared here from
// Apple's public reference documentation: no Apple header is used. Nothing is
// linked either; the functions are found at run time and kept in a table, so
// that the translation above them is portable code that a recording table can
// stand in for.
#include <cstdint>

namespace platform::quartz {

// CGFloat is a double on every 64-bit Mac; the structs have the C layout of
// CGPoint, CGSize and CGRect, so they pass and return as those do (CGRect, a
// struct of four doubles, in registers on arm64 and through memory on x86_64).
struct CGPoint {
    double x;
    double y;
};
struct CGSize {
    double width;
    double height;
};
struct CGRect {
    CGPoint origin;
    CGSize size;
};

using CGEventRef = struct OpaqueCGEvent*;
using CGEventSourceRef = struct OpaqueCGEventSource*;
using CFTypeRef = const void*;
using CGDirectDisplayID = std::uint32_t;
using CGError = std::int32_t;
constexpr CGError kCGErrorSuccess = 0;

// CGEventType (a uint32_t enumeration).
using CGEventType = std::uint32_t;
constexpr CGEventType kCGEventLeftMouseDown = 1;
constexpr CGEventType kCGEventLeftMouseUp = 2;
constexpr CGEventType kCGEventRightMouseDown = 3;
constexpr CGEventType kCGEventRightMouseUp = 4;
constexpr CGEventType kCGEventMouseMoved = 5;
constexpr CGEventType kCGEventLeftMouseDragged = 6;
constexpr CGEventType kCGEventRightMouseDragged = 7;
constexpr CGEventType kCGEventScrollWheel = 22;
constexpr CGEventType kCGEventOtherMouseDown = 25;
constexpr CGEventType kCGEventOtherMouseUp = 26;
constexpr CGEventType kCGEventOtherMouseDragged = 27;

// CGMouseButton (uint32_t): left 0, right 1, center 2; the buttons beyond
// count on from there, and applications take 3 and 4 for back and forward,
// the buttons Windows calls X1 and X2. Only "other" events read the number.
using CGMouseButton = std::uint32_t;
constexpr CGMouseButton kCGMouseButtonLeft = 0;
constexpr CGMouseButton kCGMouseButtonRight = 1;
constexpr CGMouseButton kCGMouseButtonCenter = 2;

// CGEventField (uint32_t): the integer fields set on posted events.
using CGEventField = std::uint32_t;
// 1 for a single click, 2 for the second press and release of a double-click,
// 3 for a triple: applications read clicks from it, not from timing.
constexpr CGEventField kCGMouseEventClickState = 1;
// Motion since the previous mouse event, in the direction of global
// coordinates (x right, y down), which games read instead of the position.
constexpr CGEventField kCGMouseEventDeltaX = 4;
constexpr CGEventField kCGMouseEventDeltaY = 5;

// CGEventFlags (uint64_t): the modifier keys an event says are held. An
// application reads them from the mouse event itself (NSEvent's
// modifierFlags), so a click that carries them is a modified click.
using CGEventFlags = std::uint64_t;
constexpr CGEventFlags kCGEventFlagMaskShift = 0x00020000;
constexpr CGEventFlags kCGEventFlagMaskControl = 0x00040000;
constexpr CGEventFlags kCGEventFlagMaskAlternate = 0x00080000;
constexpr CGEventFlags kCGEventFlagMaskCommand = 0x00100000;

// CGScrollEventUnit (uint32_t).
using CGScrollEventUnit = std::uint32_t;
constexpr CGScrollEventUnit kCGScrollEventUnitPixel = 0;
constexpr CGScrollEventUnit kCGScrollEventUnitLine = 1;

// CGEventTapLocation (uint32_t): where an event enters; the HID tap is where
// a real mouse's events enter, ahead of every application.
using CGEventTapLocation = std::uint32_t;
constexpr CGEventTapLocation kCGHIDEventTap = 0;

// Objective-C runtime handles, opaque here.
using ObjcId = void*;
using ObjcSel = void*;

// Everything the backend calls, null where the system lacks it.
struct Functions {
    CGEventRef (*CGEventCreateMouseEvent)(CGEventSourceRef source, CGEventType type, CGPoint position,
                                          CGMouseButton button) = nullptr;
    // The fixed-argument form (macOS 10.13): the variadic
    // CGEventCreateScrollWheelEvent cannot be called through a plain function
    // pointer, as arm64 passes variadic arguments on the stack.
    CGEventRef (*CGEventCreateScrollWheelEvent2)(CGEventSourceRef source, CGScrollEventUnit units,
                                                 std::uint32_t wheelCount, std::int32_t wheel1,
                                                 std::int32_t wheel2, std::int32_t wheel3) = nullptr;
    void (*CGEventSetIntegerValueField)(CGEventRef event, CGEventField field, std::int64_t value) = nullptr;
    void (*CGEventSetFlags)(CGEventRef event, CGEventFlags flags) = nullptr;
    void (*CGEventPost)(CGEventTapLocation tap, CGEventRef event) = nullptr;
    // CGEventCreate(NULL) is an event at the cursor: its location is the
    // cursor position.
    CGEventRef (*CGEventCreate)(CGEventSourceRef source) = nullptr;
    CGPoint (*CGEventGetLocation)(CGEventRef event) = nullptr;
    CGError (*CGGetActiveDisplayList)(std::uint32_t maxDisplays, CGDirectDisplayID* displays,
                                      std::uint32_t* displayCount) = nullptr;
    CGRect (*CGDisplayBounds)(CGDirectDisplayID display) = nullptr;
    CGDirectDisplayID (*CGMainDisplayID)() = nullptr;
    void (*CFRelease)(CFTypeRef object) = nullptr;
    // Whether this process may post events (macOS 10.15), and the request
    // that makes the system ask the user.
    bool (*CGPreflightPostEventAccess)() = nullptr;
    bool (*CGRequestPostEventAccess)() = nullptr;
    ObjcId (*objc_getClass)(const char* name) = nullptr;
    ObjcSel (*sel_registerName)(const char* name) = nullptr;
    // objc_msgSend as a method that takes no argument and returns a double.
    // Both arm64 and x86_64 return a double from plain objc_msgSend (only
    // x86_64's long double needs the _fpret form).
    double (*objc_msgSend_double)(ObjcId receiver, ObjcSel selector) = nullptr;
};

// Calls visit(name, pointer) for every function of the table, with the name
// under which the system exports it: the one list that the loader fills the
// table from and that a missing function is named from.
template <typename Table, typename Visit>
void ForEachFunction(Table& table, Visit visit) {
    visit("CGEventCreateMouseEvent", table.CGEventCreateMouseEvent);
    visit("CGEventCreateScrollWheelEvent2", table.CGEventCreateScrollWheelEvent2);
    visit("CGEventSetIntegerValueField", table.CGEventSetIntegerValueField);
    visit("CGEventSetFlags", table.CGEventSetFlags);
    visit("CGEventPost", table.CGEventPost);
    visit("CGEventCreate", table.CGEventCreate);
    visit("CGEventGetLocation", table.CGEventGetLocation);
    visit("CGGetActiveDisplayList", table.CGGetActiveDisplayList);
    visit("CGDisplayBounds", table.CGDisplayBounds);
    visit("CGMainDisplayID", table.CGMainDisplayID);
    visit("CFRelease", table.CFRelease);
    visit("CGPreflightPostEventAccess", table.CGPreflightPostEventAccess);
    visit("CGRequestPostEventAccess", table.CGRequestPostEventAccess);
    visit("objc_getClass", table.objc_getClass);
    visit("sel_registerName", table.sel_registerName);
    visit("objc_msgSend", table.objc_msgSend_double);
}

}  // namespace platform::quartz
