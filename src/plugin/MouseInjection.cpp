#include "plugin/MouseInjection.h"

#include "platform/MouseEventFlags.h"
#include "platform/Platform.h"
#include "plugin/GuardianLink.h"
#include "plugin/HeldSet.h"
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

// Key commands, the held-move worker and the end of the process (a signal
// among them) all inject: one lock orders them, so that nothing slips in
// after the final releases. The lock is held while the system injects, which
// may be for ever when the display has stopped answering: the end waits for
// it only until its deadline.
struct InputState {
    DeadlineLock mutex;
    HeldSet held;  // what this process pressed and has not released
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

// Runs `inject`, which makes `events`, and keeps the record of what is down.
// The guardian hears of a press before it happens and of a release after, so
// that a kill in between leaves nothing down that it does not know of. The
// events count also when the system refused part of them: a release too
// many is harmless, a button or key left down is not.
template <typename Injecting>
auto InjectLocked(InputState& state, const std::vector<platform::InputEvent>& events, Injecting inject) {
    const HeldSet during = state.held.During(events);
    if (during != state.held) TellGuardianHeld(during);
    const auto result = inject();
    state.held = state.held.After(events);
    if (state.held != during) TellGuardianHeld(state.held);
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
    return InjectLocked(state, events, inject);
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
    for (const Button& button : kButtons) {
        if (state.held.Holds(button.button)) buttons.push_back(&button);
    }
    // After the buttons, so that they come up still modified, and in one
    // batch, the last pressed first.
    std::vector<platform::InputEvent> keys;
    for (auto key = std::rbegin(kKeys); key != std::rend(kKeys); ++key) {
        if (state.held.Holds(*key)) keys.push_back(platform::InputEvent::Release(*key));
    }
    HeldSet left = state.held;
    state.held = HeldSet();
    // On a thread of its own, so that a system that never answers keeps
    // that thread, not the end of the process. The guardian hears of each
    // release once it is made, and says goodbye only when all are: a release
    // cut short is still its to make.
    std::packaged_task<void()> release([buttons, keys, left]() mutable {
        for (const Button* button : buttons) {
            platform::mouse_event(button->upFlag, 0, 0, button->data, 0);
            left.Set(button->button, false);
            TellGuardianHeld(left);
        }
        if (!keys.empty()) {
            platform::SendInputBatch(keys);
            TellGuardianHeld(left.After(keys));
        }
        SayGoodbyeToGuardian();
    });
    std::future<void> done = release.get_future();
    std::thread(std::move(release)).detach();
    state.released = done.wait_until(deadline) == std::future_status::ready;
    return state.released;
}
