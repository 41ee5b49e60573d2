#include "plugin/MouseInjection.h"

#include "platform/MouseEventFlags.h"
#include "platform/Platform.h"
#include "plugin/GuardianMessages.h"
#include "support/DeadlineLock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Button {
    platform::MouseButton button;
    std::uint32_t upFlag;
    std::int32_t data;  // the extra button the shared X flag names; 0 otherwise
};

const Button kButtons[] = {
    {platform::MouseButton::Left, platform::MOUSEEVENTF_LEFTUP, 0},
    {platform::MouseButton::Right, platform::MOUSEEVENTF_RIGHTUP, 0},
    {platform::MouseButton::Middle, platform::MOUSEEVENTF_MIDDLEUP, 0},
    {platform::MouseButton::X1, platform::MOUSEEVENTF_XUP, platform::XBUTTON1},
    {platform::MouseButton::X2, platform::MOUSEEVENTF_XUP, platform::XBUTTON2},
};

// In the order commands press them; released the other way round.
const platform::ModifierKey kKeys[] = {platform::ModifierKey::Ctrl, platform::ModifierKey::Shift,
                                       platform::ModifierKey::Alt, platform::ModifierKey::Meta};

// What the gate keeps track of: each button of kButtons, then each key of
// kKeys, by its place in that list.
constexpr std::size_t kHoldables = std::size(kButtons) + std::size(kKeys);

bool IsKey(std::size_t holdable) { return holdable >= std::size(kButtons); }

platform::ModifierKey KeyOf(std::size_t holdable) { return kKeys[holdable - std::size(kButtons)]; }

std::uint8_t GuardianMessageOf(std::size_t holdable, bool down) {
    return IsKey(holdable) ? GuardianKeyMessage(KeyOf(holdable), down)
                           : GuardianButtonMessage(kButtons[holdable].button, down);
}

// Key commands, the held-move worker and the end of the process (a signal
// among them) all inject: one lock orders them, so that nothing slips in
// after the final releases. The lock is held while the system injects, which
// may be for ever when the display has stopped answering: the end waits for
// it only until its deadline.
struct InputState {
    DeadlineLock mutex;
    bool pressed[kHoldables] = {};
    std::atomic<bool> ended{false};
    bool released = false;  // what the end found, for later calls
    // Whose part of a notch the system carries: a dial's context, or empty
    // for the key commands, which end theirs themselves.
    std::string wheelOwner;
};

// Never destroyed: a worker may still be injecting while the process exits.
InputState& State() {
    static InputState* state = new InputState();
    return *state;
}

// The buttons and keys an injection presses or releases, in order.
struct Change {
    std::size_t holdable;
    bool down;
};

// The button or key an event presses or releases, by its place among the
// holdables; kHoldables for any other event.
std::size_t HoldableOf(const platform::InputEvent& event) {
    using Kind = platform::InputEvent::Kind;
    const bool button = event.kind == Kind::ButtonDown || event.kind == Kind::ButtonUp;
    const bool key = event.kind == Kind::KeyDown || event.kind == Kind::KeyUp;
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        if (button && kButtons[i].button == event.button) return i;
    }
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        if (key && kKeys[i] == event.key) return std::size(kButtons) + i;
    }
    return kHoldables;
}

std::vector<Change> ChangesOf(const std::vector<platform::InputEvent>& events) {
    std::vector<Change> changes;
    for (const platform::InputEvent& event : events) {
        const std::size_t holdable = HoldableOf(event);
        const bool down = event.kind == platform::InputEvent::Kind::ButtonDown ||
                          event.kind == platform::InputEvent::Kind::KeyDown;
        if (holdable < kHoldables) changes.push_back({holdable, down});
    }
    return changes;
}

void TellGuardian(std::uint8_t message) { platform::TellGuardian(&message, 1); }

// Runs `inject`, which makes `changes`, and keeps the record of what is down.
// The guardian hears of a press before it happens and of a release after, so
// that a kill in between leaves nothing down that it does not know of. The
// changes count also when the system refused part of them: a release too
// many is harmless, a button or key left down is not.
template <typename Injecting>
auto InjectLocked(InputState& state, const std::vector<Change>& changes, Injecting inject) {
    for (const Change& change : changes) {
        if (change.down) TellGuardian(GuardianMessageOf(change.holdable, true));
    }
    const auto result = inject();
    bool touched[kHoldables] = {};
    for (const Change& change : changes) {
        state.pressed[change.holdable] = change.down;
        touched[change.holdable] = true;
    }
    for (std::size_t i = 0; i < kHoldables; ++i) {
        if (touched[i] && !state.pressed[i]) TellGuardian(GuardianMessageOf(i, false));
    }
    return result;
}

bool IsWheel(const platform::InputEvent& event) {
    return event.kind == platform::InputEvent::Kind::Wheel || event.kind == platform::InputEvent::Kind::HWheel;
}

// Another owner's part of a notch must not add to this wheel input.
void TakeWheelLocked(InputState& state, const std::string& owner) {
    if (state.wheelOwner == owner) return;
    platform::EndWheelInput();
    state.wheelOwner = owner;
}

// Injects `events` through `inject`: key commands scroll as no one in
// particular, and what they press and release is recorded.
template <typename Injecting>
auto InjectEventsLocked(InputState& state, const std::vector<platform::InputEvent>& events, Injecting inject) {
    if (std::any_of(events.begin(), events.end(), IsWheel)) TakeWheelLocked(state, "");
    return InjectLocked(state, ChangesOf(events), inject);
}

}  // namespace

void InjectMouseEvent(std::uint32_t flags, std::int32_t data) {
    InputState& state = State();
    std::lock_guard<DeadlineLock> guard(state.mutex);
    if (state.ended) return;
    InjectEventsLocked(state, platform::EventsOfMouseEvent(flags, data), [&] {
        platform::mouse_event(flags, 0, 0, data, 0);
        return true;
    });
}

bool MoveCursorTo(int x, int y) {
    InputState& state = State();
    std::lock_guard<DeadlineLock> guard(state.mutex);
    return !state.ended && platform::SetCursorPos(x, y);
}

bool InjectInputBatch(const std::vector<platform::InputEvent>& events) {
    InputState& state = State();
    std::lock_guard<DeadlineLock> guard(state.mutex);
    if (state.ended) return false;
    return InjectEventsLocked(state, events, [&] { return platform::SendInputBatch(events); });
}

bool InjectWheelFor(const std::string& owner, const platform::InputEvent& wheel) {
    InputState& state = State();
    std::lock_guard<DeadlineLock> guard(state.mutex);
    if (state.ended) return false;
    TakeWheelLocked(state, owner);
    return platform::SendInputBatch({wheel});
}

void EndCommandWheelInput() {
    InputState& state = State();
    std::lock_guard<DeadlineLock> guard(state.mutex);
    if (state.ended) return;
    platform::EndWheelInput();
    state.wheelOwner.clear();
}

bool EndInput() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndInputDeadlineMs);
    InputState& state = State();
    const bool first = !state.ended.exchange(true);
    // An injection that the system keeps waiting holds the lock; the
    // releases would wait behind it just the same.
    std::unique_lock<DeadlineLock> lock(state.mutex, deadline);
    if (!lock.owns_lock()) return false;
    if (!first) return state.released;
    std::vector<const Button*> buttons;
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        if (state.pressed[i]) buttons.push_back(&kButtons[i]);
    }
    // After the buttons, so that they come up still modified, and in one
    // batch, the last pressed first.
    std::vector<platform::InputEvent> keys;
    for (std::size_t i = kHoldables; i-- > std::size(kButtons);) {
        if (state.pressed[i]) keys.push_back(platform::InputEvent::Release(KeyOf(i)));
    }
    std::fill(std::begin(state.pressed), std::end(state.pressed), false);
    // On a thread of its own, so that a system that never answers keeps
    // that thread, not the end of the process. The guardian hears of each
    // release once it is made, and says goodbye only when all are: a release
    // cut short is still its to make.
    std::packaged_task<void()> release([buttons, keys] {
        for (const Button* button : buttons) {
            platform::mouse_event(button->upFlag, 0, 0, button->data, 0);
            TellGuardian(GuardianButtonMessage(button->button, false));
        }
        if (!keys.empty()) {
            platform::SendInputBatch(keys);
            for (const platform::InputEvent& key : keys) TellGuardian(GuardianKeyMessage(key.key, false));
        }
        TellGuardian(kGuardianGoodbye);
    });
    std::future<void> done = release.get_future();
    std::thread(std::move(release)).detach();
    state.released = done.wait_until(deadline) == std::future_status::ready;
    return state.released;
}
