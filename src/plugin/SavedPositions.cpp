#include "plugin/SavedPositions.h"

#include "plugin/StopSignal.h"

#include <limits>

namespace {

std::optional<std::int32_t> Coordinate(const nlohmann::json& position, const char* name) {
    const auto found = position.find(name);
    if (found == position.end() || !found->is_number_integer()) return std::nullopt;
    // Read as the widest integer of its kind: a value past 32 bits is refused, not wrapped.
    if (found->is_number_unsigned()) {
        const auto value = found->get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
        return static_cast<std::int32_t>(value);
    }
    const auto value = found->get<std::int64_t>();
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

SavedPositions::SavedPositions(Store store, int firstAnswerWaitMs)
    : store(std::move(store)), firstAnswerWaitMs(firstAnswerWaitMs) {}

void SavedPositions::Receive(const nlohmann::json& globalSettings) {
    std::lock_guard<std::mutex> guard(mutex);
    readable = globalSettings.is_object();
    settings = readable ? globalSettings : nlohmann::json::object();
    answered = true;
    // Under the lock: a waiting save's signal lives while it is in the set.
    for (const StopSignal* stop : waiting) stop->Notify();
}

std::optional<platform::Point> SavedPositions::Slot(const std::string& slot) const {
    std::lock_guard<std::mutex> guard(mutex);
    const auto slots = settings.find("slots");
    if (slots == settings.end() || !slots->is_object()) return std::nullopt;
    const auto position = slots->find(slot);
    if (position == slots->end() || !position->is_object()) return std::nullopt;
    const auto x = Coordinate(*position, "x");
    const auto y = Coordinate(*position, "y");
    if (!x || !y) return std::nullopt;
    return platform::Point{*x, *y};
}

bool SavedPositions::AwaitFirstAnswer(const StopSignal& stop) {
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (answered) return true;
        waiting.insert(&stop);
    }
    const bool came = stop.WaitFor(firstAnswerWaitMs, [this] { return answered.load(); });
    std::lock_guard<std::mutex> guard(mutex);
    waiting.erase(&stop);
    return came;
}

SavedPositions::SaveOutcome SavedPositions::Save(const std::string& slot, platform::Point position,
                                                 const StopSignal& stop) {
    if (!AwaitFirstAnswer(stop)) return stop.Requested() ? SaveOutcome::kStopped : SaveOutcome::kNoAnswer;
    std::lock_guard<std::mutex> guard(mutex);
    if (!readable) return SaveOutcome::kUnreadable;
    nlohmann::json& slots = settings["slots"];
    if (!slots.is_object()) slots = nlohmann::json::object();
    slots[slot] = {{"x", position.x}, {"y", position.y}};
    // Under the lock: two saves reach the host in the order they were made.
    store(settings);
    return SaveOutcome::kStored;
}

std::optional<std::string> ParseSlotSetting(const std::string& text) {
    if (text.empty()) return std::string("1");
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '9') return text;
    return std::nullopt;
}
