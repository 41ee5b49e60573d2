#pragma once

#include "plugin/key/runs/KeyRun.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The owner of every run of a key's command that goes on after its press (a
// held move or scroll, an autoclick, a sequence, the jiggler): each on a
// thread of its own, at most one per key, so that a long run never sits
// between another key and its release. What ends a run (StopKey and the
// others) asks it to stop and returns once it has: its last step done, its
// buttons and modifier keys let go of. Safe from any thread but the runs'
// own.
class KeyRuns {
public:
    using Body = std::function<void(KeyRun& run)>;
    using Concerns = std::function<bool(const KeyRun& run)>;

    KeyRuns() = default;
    ~KeyRuns();
    KeyRuns(const KeyRuns&) = delete;
    KeyRuns& operator=(const KeyRuns&) = delete;

    // The connection heard the key go down or up. Up ends the key's held
    // runs (RunKind::Held, HeldAutoclick); a held run started later for a
    // press that came before finds the key up and makes one step.
    void KeyWentDown(const std::string& context, const std::string& device);
    void KeyWentUp(const std::string& context);
    void DeviceKeysWentUp(const std::string& device);

    // Runs `body` for the key on a thread of its own, after stopping the
    // run the key had. A held run whose key is up already is asked to stop
    // as it starts: its body makes its first step all the same. Raises
    // std::system_error when no thread can be started.
    void Start(const std::string& context, const std::string& device, RunKind kind, ActiveMouseCommand command,
               Body body);

    // Stops the runs that `concerns`; returns their keys.
    std::vector<std::string> StopWhere(const Concerns& concerns);
    bool StopKey(const std::string& context);
    void StopAll();

    // The key's settings changed: its run takes them at its next step.
    void Update(const std::string& context, const ActiveMouseCommand& command);

    // Whether the key has a run of `kind` going on.
    bool IsRunning(const std::string& context, RunKind kind) const;

private:
    struct Entry {
        std::shared_ptr<KeyRun> run;
        std::shared_ptr<bool> finished;  // set by the run's thread, under the mutex
        std::thread thread;
    };

    // Takes the runs that `concerns` out of the table, asked to stop, and
    // those that ended by themselves; the caller joins them out of the lock.
    // `stopped` gets the keys of the runs that were still going on.
    std::vector<Entry> TakeLocked(const Concerns& concerns, std::vector<std::string>* stopped = nullptr);
    static void Join(std::vector<Entry>& entries);

    mutable std::mutex mutex;
    std::map<std::string, Entry> runs;
    std::map<std::string, std::string> keysDown;  // context to device
};
