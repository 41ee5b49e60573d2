#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A plugin executable started the way the host starts it, with its standard
// output captured. Killed on destruction if it is still running.
class PluginProcess {
public:
    PluginProcess(const std::string& executable, const std::vector<std::string>& arguments,
                  const std::string& workingDirectory = std::string(),
                  const std::map<std::string, std::string>& environment = {});
    ~PluginProcess();

    pid_t Pid() const { return pid; }
    // The exit code, or nothing when the process is still running at the deadline.
    std::optional<int> WaitForExit(std::chrono::milliseconds deadline);
    // Everything the process wrote to standard output so far.
    std::string Output();

private:
    pid_t pid = -1;
    int outputPipe = -1;
    std::string output;
    std::optional<int> exitCode;
};

// The host's four option pairs.
std::vector<std::string> HostArguments(int port, const std::string& info = R"({"application":{"language":"en"}})");
