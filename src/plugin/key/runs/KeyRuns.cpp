#include "plugin/key/runs/KeyRuns.h"

#include <iterator>
#include <utility>

namespace {

bool EndsWithRelease(RunKind kind) { return kind == RunKind::Held || kind == RunKind::HeldAutoclick; }

}  // namespace

KeyRuns::~KeyRuns() { StopAll(); }

void KeyRuns::KeyWentDown(const std::string& context, const std::string& device) {
    std::lock_guard<std::mutex> guard(mutex);
    keysDown[context] = device;
}

void KeyRuns::KeyWentUp(const std::string& context) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        keysDown.erase(context);
    }
    StopWhere([&](const KeyRun& run) { return run.Context() == context && EndsWithRelease(run.Kind()); });
}

void KeyRuns::DeviceKeysWentUp(const std::string& device) {
    std::vector<std::string> contexts;
    {
        std::lock_guard<std::mutex> guard(mutex);
        for (auto key = keysDown.begin(); key != keysDown.end();) {
            if (key->second == device) contexts.push_back(key->first);
            key = key->second == device ? keysDown.erase(key) : std::next(key);
        }
    }
    for (const std::string& context : contexts) KeyWentUp(context);
}

void KeyRuns::Start(const std::string& context, const std::string& device, RunKind kind, ActiveMouseCommand command,
                    Body body) {
    std::vector<Entry> replaced;
    {
        std::lock_guard<std::mutex> guard(mutex);
        replaced = TakeLocked([&](const KeyRun& run) { return run.Context() == context; });
    }
    Join(replaced);
    std::lock_guard<std::mutex> guard(mutex);
    Entry entry{std::make_shared<KeyRun>(context, device, kind, std::move(command)), std::make_shared<bool>(false),
                std::thread()};
    // Checked under the lock that KeyWentUp takes: a release is either seen
    // here or ends the run once it is in the table.
    if (EndsWithRelease(kind) && keysDown.count(context) == 0) entry.run->RequestStop();
    entry.thread = std::thread([this, run = entry.run, finished = entry.finished, body = std::move(body)] {
        try {
            body(*run);
        } catch (...) {
            // As for a press that cannot be performed: the other keys go on.
        }
        std::lock_guard<std::mutex> done(mutex);
        *finished = true;
    });
    runs[context] = std::move(entry);
}

std::vector<KeyRuns::Entry> KeyRuns::TakeLocked(const Concerns& concerns, std::vector<std::string>* stopped) {
    std::vector<Entry> taken;
    for (auto entry = runs.begin(); entry != runs.end();) {
        // A run that ended by itself leaves with the next look at the table.
        if (!*entry->second.finished && !concerns(*entry->second.run)) {
            ++entry;
            continue;
        }
        if (!*entry->second.finished) {
            entry->second.run->RequestStop();
            if (stopped != nullptr) stopped->push_back(entry->first);
        }
        taken.push_back(std::move(entry->second));
        entry = runs.erase(entry);
    }
    return taken;
}

void KeyRuns::Join(std::vector<Entry>& entries) {
    for (Entry& entry : entries) {
        if (entry.thread.joinable()) entry.thread.join();
    }
}

std::vector<std::string> KeyRuns::StopWhere(const Concerns& concerns) {
    std::vector<Entry> stopped;
    std::vector<std::string> contexts;
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopped = TakeLocked(concerns, &contexts);
    }
    Join(stopped);
    return contexts;
}

bool KeyRuns::StopKey(const std::string& context) {
    return !StopWhere([&](const KeyRun& run) { return run.Context() == context; }).empty();
}

void KeyRuns::StopAll() {
    StopWhere([](const KeyRun&) { return true; });
}

void KeyRuns::Update(const std::string& context, const ActiveMouseCommand& command) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = runs.find(context);
    if (found != runs.end()) found->second.run->Update(command);
}

bool KeyRuns::IsRunning(const std::string& context, RunKind kind) const {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = runs.find(context);
    return found != runs.end() && !*found->second.finished && found->second.run->Kind() == kind;
}
