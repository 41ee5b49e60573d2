// macOS: the Quartz table filled from the system's own libraries.
#include "platform/macos/QuartzLoader.h"

#include <dlfcn.h>

#include <type_traits>

namespace platform::quartz {
namespace {

// Opened for good and into the global namespace, so that every function is
// found by name wherever it lives. Frameworks are in the shared cache rather
// than on disk since macOS 11; dlopen finds them by these paths all the same.
const char* const kLibraries[] = {
    "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation",  // CFRelease
    "/System/Library/Frameworks/CoreGraphics.framework/CoreGraphics",      // events and displays
    // The umbrella that re-exports CoreGraphics, for a system that keeps
    // some of it there.
    "/System/Library/Frameworks/ApplicationServices.framework/ApplicationServices",
    "/usr/lib/libobjc.A.dylib",                                 // the Objective-C runtime
    "/System/Library/Frameworks/AppKit.framework/AppKit",       // NSEvent, for the double-click interval
};

}  // namespace

Functions LoadQuartzFunctions() {
    for (const char* library : kLibraries) dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    Functions functions;
    ForEachFunction(functions, [](const char* name, auto& function) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(RTLD_DEFAULT, name));
    });
    return functions;
}

}  // namespace platform::quartz
