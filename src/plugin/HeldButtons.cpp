#include "plugin/HeldButtons.h"

#include "plugin/MouseInjection.h"

#include <iterator>

using platform::InputEvent;
using platform::MouseButton;

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

void HeldButtons::Release(const std::string& holder, MouseButton button, const Send& send) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    if (found != holders.end()) {
        found->second.buttons.erase(button);
        if (found->second.buttons.empty()) holders.erase(found);
    }
    if (!HeldByAnyLocked(button)) send(button, false);
}

bool HeldButtons::Toggle(const std::string& holder, MouseButton button, const std::string& device) {
    std::lock_guard<std::mutex> guard(mutex);
    const auto found = holders.find(holder);
    if (found != holders.end()) {
        LetGoLocked(found);
        return false;
    }
    HoldLocked(holder, button, device, SendAsBatch);
    return true;
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

HeldButtons::Holders::iterator HeldButtons::LetGoLocked(Holders::iterator holding) {
    const std::set<MouseButton> buttons = holding->second.buttons;
    const auto next = holders.erase(holding);
    for (const MouseButton button : buttons) {
        if (!HeldByAnyLocked(button)) SendAsBatch(button, false);
    }
    return next;
}

HeldButtons& HeldInput() {
    // Never destroyed: a worker may still let go while the process exits.
    static HeldButtons* held = new HeldButtons();
    return *held;
}

std::string LockHolder(const std::string& keyContext) { return "lock " + keyContext; }

std::string DialHolder(const std::string& dialContext) { return "dial " + dialContext; }

std::string ClickHolder(const std::string& keyContext) { return "click " + keyContext; }

const char* const kButtonCommandHolder = "button commands";
