#pragma once

#include "BlockingHost.h"
#include "PluginProcess.h"

#include <string>

// The plugin started the way the host starts it, working in `folder`,
// connected to a BlockingHost and registered.
struct PluginSession {
    PluginSession(const std::string& executable, const std::string& folder);

    BlockingHost host;
    PluginProcess process;
};

// The plugin executable named first on the command line, made absolute.
// Prints the usage and exits with 2 when the line holds anything but that and,
// when `optional` names one, an optional second argument.
std::string PluginArgument(int argc, char* argv[], const std::string& optional = std::string());
