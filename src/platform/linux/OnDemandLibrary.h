#pragma once

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace platform {

// A shared library that an input path loads only once it is chosen, so that
// a session on another path never maps it: opened on the first Load, which
// has `resolve` fill the path's table of the library's functions, and kept
// for the rest of the process. Every Load gives the first one's answer.
class OnDemandLibrary {
public:
    // Fills the table from `library` (with Find); false with `failure`
    // naming what is missing.
    using Resolve = bool (*)(void* library, std::string& failure);

    OnDemandLibrary(const char* name, Resolve resolve) : name(name), resolve(resolve) {}

    // False with `failure` saying why the library or one of its functions
    // cannot be had.
    bool Load(std::string& failure) {
        std::call_once(once, [this] {
            void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (library == nullptr) {
                const char* error = dlerror();
                why = error != nullptr ? error : std::string(name) + " cannot be loaded";
                return;
            }
            std::string missing;
            loaded = resolve(library, missing);
            if (!loaded) {
                why = std::string(name) + ": " + missing;
                dlclose(library);
            }
        });
        failure = why;
        return loaded;
    }

    // The library's `symbol` as `function`; false, with `failure` naming it,
    // where the library lacks it.
    template <typename Function>
    static bool Find(void* library, const char* symbol, Function& function, std::string& failure) {
        function = reinterpret_cast<Function>(dlsym(library, symbol));
        if (function == nullptr) failure = std::string("it has no ") + symbol;
        return function != nullptr;
    }

private:
    const char* const name;
    const Resolve resolve;
    std::once_flag once;
    bool loaded = false;
    std::string why;
};

}  // namespace platform
