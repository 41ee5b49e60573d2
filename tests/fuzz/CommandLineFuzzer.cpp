// The command line the host starts the plugin with: each line of the input is
// one argument after the program name. An accepted command line must hold the
// values of its names' last pairs, and has its language read from the info,
// as start-up does.
#include "FuzzInput.h"

#include "main/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// The value of the last pair named `name` (a later pair wins), or "".
std::string LastValue(const std::vector<const char*>& argv, const std::string& name) {
    std::string value;
    for (std::size_t i = 1; i + 1 < argv.size(); i += 2) {
        if (name == argv[i]) value = argv[i + 1];
    }
    return value;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> arguments = SplitLines(data, size);
    std::vector<const char*> argv = {"deckmouse"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);  // terminated like the real one

    const std::optional<CommandLine> line = ParseCommandLine(argc, argv.data());
    if (!line) return 0;
    if (argc != 9) Fail("accepted a command line that is not four pairs");
    argv.pop_back();
    if (line->port == 0 || line->port != std::atoi(LastValue(argv, "-port").c_str())) Fail("wrong port");
    if (line->pluginUuid.empty() || line->pluginUuid != LastValue(argv, "-pluginUUID")) Fail("wrong plugin UUID");
    if (line->registerEvent.empty() || line->registerEvent != LastValue(argv, "-registerEvent")) {
        Fail("wrong register event");
    }
    if (line->info.empty() || line->info != LastValue(argv, "-info")) Fail("wrong info");
    ReadLanguage(line->info);
    return 0;
}
