#pragma once

#include "platform/Platform.h"

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

// The one owner of the buttons the plugin holds down. Each hold belongs to a
// named holder (a key's drag lock, a dial's push); the system's button goes
// down with its first holder and up with its last, so that no holder lets go
// of a button another still holds. Input goes through MouseInjection's gate.
// Safe from any thread.
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

    // Lets go of every button `holder` holds when it holds any (false then);
    // otherwise holds `button` (true). One step, so that nothing slips in between.
    bool Toggle(const std::string& holder, platform::MouseButton button, const std::string& device = {});

    // Lets go of every button `holder` holds; each goes up when it was the
    // last holder. False when it held nothing.
    bool LetGo(const std::string& holder);

    // Lets go for every holder of `device`.
    void LetGoOfDevice(const std::string& device);

    bool Holds(const std::string& holder) const;
    bool IsDown(platform::MouseButton button) const;

private:
    struct Holding {
        std::set<platform::MouseButton> buttons;
        std::string device;
    };
    using Holders = std::map<std::string, Holding>;

    void HoldLocked(const std::string& holder, platform::MouseButton button, const std::string& device,
                    const Send& send);
    bool HeldByAnyLocked(platform::MouseButton button) const;
    Holders::iterator LetGoLocked(Holders::iterator holding);

    mutable std::mutex mutex;
    Holders holders;
};

// The owner for the whole process, as the input gate is one.
HeldButtons& HeldInput();

// The holders' names: one per key lock, one per dial push, one per key's
// click in progress, and one for the down and up commands, which any key's
// up command ends.
std::string LockHolder(const std::string& keyContext);
std::string DialHolder(const std::string& dialContext);
std::string ClickHolder(const std::string& keyContext);
extern const char* const kButtonCommandHolder;
