#include "PluginSession.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

PluginSession::PluginSession(const std::string& executable, const std::string& folder)
    : process(executable, HostArguments(host.Port()), folder) {
    host.Accept();
    const std::string registration = host.Receive();
    if (registration != R"({"event":"registerPlugin","uuid":"PLUGIN-UUID-1"})") {
        throw std::runtime_error("unexpected registration: " + registration);
    }
}

std::string PluginArgument(int argc, char* argv[], const std::string& optional) {
    if (argc != 2 && (optional.empty() || argc != 3)) {
        std::cerr << "usage: " << argv[0] << " <plugin executable>" << (optional.empty() ? "" : " [" + optional + "]")
                  << '\n';
        std::exit(2);
    }
    return std::filesystem::absolute(argv[1]).string();
}
