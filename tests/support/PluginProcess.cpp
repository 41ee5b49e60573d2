#include "PluginProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

extern char** environ;

PluginProcess::PluginProcess(const std::string& executable, const std::vector<std::string>& arguments,
                             const std::string& workingDirectory,
                             const std::map<std::string, std::string>& environment) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    outputPipe = pipeEnds[0];
    fcntl(outputPipe, F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());

    std::vector<std::string> argvText{executable};
    argvText.insert(argvText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argvText) argv.push_back(&text[0]);
    argv.push_back(nullptr);

    std::vector<std::string> envText;
    for (char** variable = environ; *variable != nullptr; ++variable) envText.emplace_back(*variable);
    for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : envText) envp.push_back(&text[0]);
    envp.push_back(nullptr);

    const int spawned = posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) throw std::runtime_error("cannot start " + executable);
}

PluginProcess::~PluginProcess() {
    if (!exitCode) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close(outputPipe);
}

std::optional<int> PluginProcess::WaitForExit(std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!exitCode) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (std::chrono::steady_clock::now() >= end) {
            return std::nullopt;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return exitCode;
}

std::string PluginProcess::Output() {
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(outputPipe, buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<std::size_t>(count));
    return output;
}

std::vector<std::string> HostArguments(int port, const std::string& info) {
    return {"-port", std::to_string(port), "-pluginUUID", "PLUGIN-UUID-1", "-registerEvent", "registerPlugin",
            "-info", info};
}
