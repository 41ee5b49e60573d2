#include "plugin/HeldButtons.h"

#include "plugin/MouseInjection.h"

#include <algorithm>
#include <iterator>

using platform::InputEvent;
using platform::ModifierKey;
using platform::MouseButton;

namespace {

// Sends a batch unless there is nothing in it.
bool SendEvents(const std::vector<InputEvent>& events) { return events.empty() || InjectInputBatch(events); }

std::vector<InputEvent> Presses(const Modifiers& keys) {
    std::vector<InputEvent> events;
    for (const ModifierKey key : keys) events.push_back(InputEvent::Press(key));
    return events;
}

// As fingers come off the keys: the last pressed first.
std::vector<InputEvent> Releases(const Modifiers& keys) {
    std::vector<InputEvent> events;
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) events.push_back(InputEvent::Release(*key));
    return events;
}

}  // namespace

void HeldButtons::SendAsBatch(MouseButton button, bool down) {
    InjectInputBatch({down ? InputEvent::Down(button) : InputEvent::Up(button)});
}

void HeldButtons::Hold(const std::string& holder, MouseButton button, const std::string& device, const Send& send) {
    std::lock_guard<std::mutex> guard(mutex);
    HoldLocked(holder, button, device, send);
}

void HeldButtons::HoldLocked(const std::string& holder, MouseButton button, const std::string& device,
                             const Send& send) {
    const bool wasDown = HeldByAnyLocked(button);
    Holding& holding = holders[holder];
    holding.device = device;
    holding.buttons.insert(button);
    // The input goes out under the lock: the system's state follows the
    // holders in the order they changed.
    if (!wasDown) send(button, true);
}

void HeldButtons::HoldWithModifiers(const std::string& holder, MouseButton button, const Modifiers& modifiers,
                                    const std::string& device) {
    std::lock_guard<std::mutex> guard(mutex);
    HoldWithModifiersLocked(holder, button, modifiers, device);
}

void HeldButtons::HoldWithModifiersLocked(const std::string& holder, MouseButton button, const Modifiers& modifiers,
                                          const std::string& device) {
    std::vector<InputEvent> batch = HoldModifiersLocked(holder, modifiers, device);
    HoldLocked(holder, button, device, [&batch](MouseButton pressed, bool) { batch.push_back(InputEvent::Down(pressed)); });
    SendEvents(batch);
}

void HeldButtons::Release(const std::string& holder, MouseButton button, const Send& send) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    if (found != holders.end()) {
        found->second.buttons.erase(button);
        if (found->second.buttons.empty() && found->second.modifiers.empty()) holders.erase(found);
    }
    if (!HeldByAnyLocked(button)) send(button, false);
}

bool HeldButtons::Toggle(const std::string& holder, MouseButton button, const std::string& device,
                         const Modifiers& modifiers) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    if (found != holders.end()) {
        LetGoLocked(found);
        return false;
    }
    HoldWithModifiersLocked(holder, button, modifiers, device);
    return true;
}

void HeldButtons::HoldModifiers(const std::string& holder, const Modifiers& modifiers, const std::string& device) {
    if (modifiers.empty()) return;
    std::lock_guard<std::mutex> guard(mutex);
    SendEvents(HoldModifiersLocked(holder, modifiers, device));
}

std::vector<InputEvent> HeldButtons::HoldModifiersLocked(const std::string& holder, const Modifiers& modifiers,
                                                         const std::string& device) {
    if (modifiers.empty()) return {};
    std::vector<InputEvent> presses = Presses(NotHeldLocked(modifiers));
    Holding& holding = holders[holder];
    holding.device = device;
    holding.modifiers.insert(modifiers.begin(), modifiers.end());
    return presses;
}

void HeldButtons::ReleaseModifiers(const std::string& holder) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    if (found == holders.end() || found->second.modifiers.empty()) return;
    const Modifiers modifiers = found->second.modifiers;
    found->second.modifiers.clear();
    if (found->second.buttons.empty()) holders.erase(found);
    SendEvents(Releases(NotHeldLocked(modifiers)));
}

bool HeldButtons::InjectAmid(const Modifiers& modifiers, const std::vector<InputEvent>& events) {
    std::lock_guard<std::mutex> guard(mutex);
    const Modifiers free = NotHeldLocked(modifiers);
    std::vector<InputEvent> batch = Presses(free);
    // A click of a button a holder keeps down (a drag lock's) would let go
    // of it: the button stays as it is, as for a click that holds it.
    std::copy_if(events.begin(), events.end(), std::back_inserter(batch), [this](const InputEvent& event) {
        const bool button = event.kind == InputEvent::Kind::ButtonDown || event.kind == InputEvent::Kind::ButtonUp;
        return !button || !HeldByAnyLocked(event.button);
    });
    const std::vector<InputEvent> releases = Releases(free);
    batch.insert(batch.end(), releases.begin(), releases.end());
    return SendEvents(batch);
}

Modifiers HeldButtons::NotHeldLocked(const Modifiers& modifiers) const {
    Modifiers free;
    for (const ModifierKey key : modifiers) {
        if (!HeldByAnyLocked(key)) free.insert(key);
    }
    return free;
}

bool HeldButtons::LetGo(const std::string& holder) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    if (found == holders.end()) return false;
    LetGoLocked(found);
    return true;
}

void HeldButtons::LetGoOfDevice(const std::string& device) {
    std::lock_guard<std::mutex> guard(mutex);
    for (auto holding = holders.begin(); holding != holders.end();) {
        holding = holding->second.device == device ? LetGoLocked(holding) : std::next(holding);
    }
}

bool HeldButtons::Holds(const std::string& holder) const {
    std::lock_guard<std::mutex> guard(mutex);
    return holders.count(holder) != 0;
}

bool HeldButtons::HoldsButtons(const std::string& holder) const {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    return found != holders.end() && !found->second.buttons.empty();
}

bool HeldButtons::IsDown(MouseButton button) const {
    std::lock_guard<std::mutex> guard(mutex);
    return HeldByAnyLocked(button);
}

bool HeldButtons::HeldByAnyLocked(MouseButton button) const {
    for (const auto& [name, holding] : holders) {
        if (holding.buttons.count(button) != 0) return true;
    }
    return false;
}

bool HeldButtons::HeldByAnyLocked(ModifierKey key) const {
    for (const auto& [name, holding] : holders) {
        if (holding.modifiers.count(key) != 0) return true;
    }
    return false;
}

HeldButtons::Holders::iterator HeldButtons::LetGoLocked(Holders::iterator holding) {
    const Holding gone = holding->second;
    const auto next = holders.erase(holding);
    // A drag lock's button comes up before the Shift it was dragged with.
    std::vector<InputEvent> batch;
    for (const MouseButton button : gone.buttons) {
        if (!HeldByAnyLocked(button)) batch.push_back(InputEvent::Up(button));
    }
    const std::vector<InputEvent> releases = Releases(NotHeldLocked(gone.modifiers));
    batch.insert(batch.end(), releases.begin(), releases.end());
    SendEvents(batch);
    return next;
}

HeldButtons& HeldInput() {
    // Never destroyed: a key's thread may still let go while the process exits.
    static HeldButtons* held = new HeldButtons();
    return *held;
}

std::string LockHolder(const std::string& keyContext) { return "lock " + keyContext; }

std::string DialHolder(const std::string& dialContext) { return "dial " + dialContext; }

std::string ClickHolder(const std::string& keyContext) { return "click " + keyContext; }

std::string SequenceHolder(const std::string& keyContext) { return "sequence " + keyContext; }

std::string HeldCommandHolder(const std::string& keyContext) { return "held " + keyContext; }

const char* const kButtonCommandHolder = "button commands";
