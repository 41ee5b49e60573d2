#include "plugin/StopSignal.h"

#include "plugin/SlicedWait.h"

bool StopSignal::Wait(int milliseconds) const {
    // Short waits (a held move's 1 ms steps) stay one platform wait, as before.
    return WaitWhile(milliseconds, kSliceMs, [this] { return !Requested(); });
}
