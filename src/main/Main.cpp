// The host starts the plugin with -port, -pluginUUID, -registerEvent and
// -info; the process runs until the connection to the host ends. Exit code 1
// means the command line was rejected. The same executable is also the
// plugin's guardian, which the plugin starts (on Windows with a command line
// of its own).
#include "host/ESDConnectionManager.h"
#include "main/CommandLine.h"
#include "main/ExitDeadline.h"
#include "main/Guardian.h"
#include "platform/Platform.h"
#include "platform/PlatformLog.h"
#include "plugin/GuardianLink.h"
#include "plugin/MouseInjection.h"
#include "plugin/MyStreamDeckPlugin.h"
#include "support/Localizer.h"
#include "support/Log.h"

int main(int argc, const char* argv[]) {
    if (platform::OpenGuardianPipe(argc, argv)) return RunGuardian();
    const std::optional<CommandLine> line = ParseCommandLine(argc, argv);
    if (!line) return 1;

    // A "MOUSE_LEFT_DOWN" whose "MOUSE_LEFT_UP" never came must not outlive
    // us, however we are ended: asked to end, we release it ourselves;
    // killed, the guardian does. It starts before any thread exists.
    const bool guarded = StartGuardianLink(RunGuardian);
    platform::CallBeforeTermination([] { EndInput(); });
    platform::SetLogSink([](const std::string& line) { LogLine(EscapeControlCharacters(line)); });
    if (!guarded) LogLine("The guardian did not start: buttons held when the plugin is killed will stay down");

    // Created once and kept until the process ends.
    auto* plugin = new MyStreamDeckPlugin();
    const std::string language = ReadLanguage(line->info);
    if (gLocalizer == nullptr) gLocalizer = new Localizer(language);
    auto* connectionManager = new ESDConnectionManager(line->port, line->pluginUuid, line->registerEvent, plugin);
    plugin->SetConnectionManager(connectionManager);
    connectionManager->Run();

    // The host is gone: the releases go out first, so that a command still
    // running cannot press anything after them. Neither may keep the process
    // waiting on a display that does not answer.
    EndProcessAfterDeadline(0);
    if (!EndInput()) {
        LogLine("The display did not take the releases within " + std::to_string(kEndInputDeadlineMs) + " ms");
    }
    plugin->StopKeyCommands();
    return 0;
}
