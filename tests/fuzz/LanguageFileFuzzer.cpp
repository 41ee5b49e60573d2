// The language file as the plugin reads it at start-up: the input is
// "en.json" in a plugin folder, and whatever it holds, the string table comes
// out as an object or as null.
#include "FuzzInput.h"

#include "platform/recording/RecordingPlatform.h"
#include "support/Localizer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path languageFile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The plugin folder is found from the executable's path, once per process.
    const fs::path pluginFolder = MakeScratchFolder("deckmouse-fuzz-language") / "x.sdPlugin";
    fs::create_directories(pluginFolder / "bin");
    platform::recording::SetExecutablePath((pluginFolder / "bin" / "deckmouse").string());
    languageFile = pluginFolder / "en.json";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(languageFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s\n", languageFile.c_str());
            std::abort();
        }
    }
    const Localizer localizer("en");
    if (!localizer.Table().is_null() && !localizer.Table().is_object()) {
        std::fprintf(stderr, "string table is neither an object nor null\n");
        std::abort();
    }
    return 0;
}
