#pragma once

#include "platform/Platform.h"
#include "plugin/ModifierSetting.h"

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// The one owner of the buttons and modifier keys the plugin holds down. Each
// hold belongs to a named holder (a key's drag lock, a dial's push, a
// command's modifiers); the system's button or key goes down with its first
// holder and up with its last, so that no holder lets go of one another still
// holds (two keys with Ctrl: Ctrl stays down until both are done). Input goes
// through MouseInjection's gate. Safe from any thread.
class HeldButtons {
public:
    // How a button's transition reaches the gate: as a batch of one event
    // (SendAsBatch), or as the mouse_event the first commands always sent.
    using Send = std::function<void(platform::MouseButton button, bool down)>;
    static void SendAsBatch(platform::MouseButton button, bool down);

    // `holder` holds `button`; the system's button goes down when nobody held
    // it. `device` names the device the holder belongs to, if any. Holding a
    // button twice is holding it once.
    void Hold(const std::string& holder, platform::MouseButton button, const std::string& device = {},
              const Send& send = SendAsBatch);

    // `holder` lets go of `button` if it holds it, and the button goes up if
    // that was its last holder. A button nobody holds goes up all the same
    // (an up command, after a press not ours); one another holder keeps
    // down stays down.
    void Release(const std::string& holder, platform::MouseButton button, const Send& send = SendAsBatch);

    // Lets go of everything `holder` holds when it holds anything (false
    // then); otherwise holds `button` (true). One step, so that nothing slips
    // in between. A lock that takes `modifiers` holds them with its button:
    // they go down before it, in its batch, and come up after it, in the
    // batch of its release, when the lock ends.
    bool Toggle(const std::string& holder, platform::MouseButton button, const std::string& device = {},
                const Modifiers& modifiers = {});

    // As Hold with SendAsBatch, `holder` holding `modifiers` too: the presses
    // of those no holder held, then the button's, in one batch.
    void HoldWithModifiers(const std::string& holder, platform::MouseButton button, const Modifiers& modifiers,
                           const std::string& device = {});

    // `holder` holds `modifiers` beside its buttons; the keys no holder held
    // go down, in one batch. Keys it holds already stay as they are.
    void HoldModifiers(const std::string& holder, const Modifiers& modifiers, const std::string& device = {});

    // `holder` lets go of its modifiers, not of its buttons; the keys no other
    // holder holds come up, in one batch.
    void ReleaseModifiers(const std::string& holder);

    // One batch: `events` amid `modifiers`, the presses of those no holder
    // holds before and their releases after, no holder keeping them; the
    // presses and releases of buttons a holder keeps down are left out. What
    // InjectInputBatch says. (Keys always come up the last pressed first.)
    bool InjectAmid(const Modifiers& modifiers, const std::vector<platform::InputEvent>& events);

    // Lets go of every button and modifier `holder` holds, in one batch: the
    // buttons up first, then the keys, each when it was the last holder.
    // False when it held nothing.
    bool LetGo(const std::string& holder);

    // Lets go for every holder of `device`.
    void LetGoOfDevice(const std::string& device);

    bool Holds(const std::string& holder) const;
    bool HoldsButtons(const std::string& holder) const;
    bool IsDown(platform::MouseButton button) const;

private:
    struct Holding {
        std::set<platform::MouseButton> buttons;
        Modifiers modifiers;
        std::string device;
    };
    using Holders = std::map<std::string, Holding>;

    void HoldLocked(const std::string& holder, platform::MouseButton button, const std::string& device,
                    const Send& send);
    void HoldWithModifiersLocked(const std::string& holder, platform::MouseButton button, const Modifiers& modifiers,
                                 const std::string& device);
    // Records that `holder` holds `modifiers`; the presses of those nobody held.
    std::vector<platform::InputEvent> HoldModifiersLocked(const std::string& holder, const Modifiers& modifiers,
                                                          const std::string& device);
    // The keys of `modifiers` that no holder holds.
    Modifiers NotHeldLocked(const Modifiers& modifiers) const;
    bool HeldByAnyLocked(platform::MouseButton button) const;
    bool HeldByAnyLocked(platform::ModifierKey key) const;
    Holders::iterator LetGoLocked(Holders::iterator holding);

    mutable std::mutex mutex;
    Holders holders;
};

// The owner for the whole process, as the input gate is one.
HeldButtons& HeldInput();

// The holders' names: one per key lock, one per dial push, one per key's
// click in progress (and the modifiers of its command), one per key whose
// held command is going on, one per key whose sequence runs (its buttons and
// modifiers, apart from the click holder that its double-clicks let go of),
// and one for the down and up commands, which any key's up command ends.
std::string LockHolder(const std::string& keyContext);
std::string DialHolder(const std::string& dialContext);
std::string ClickHolder(const std::string& keyContext);
std::string HeldCommandHolder(const std::string& keyContext);  // a held move's or wheel's modifiers
std::string SequenceHolder(const std::string& keyContext);
extern const char* const kButtonCommandHolder;
