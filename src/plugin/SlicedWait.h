#pragma once

#include <functional>

// Waits `milliseconds` (none when zero or less) against one deadline, in
// platform waits of at most `sliceMs`, asking `goOn` before each: a long wait
// stays as long as asked, a short one is a single platform wait, and the
// wait ends within a slice once `goOn` says no. False then.
bool WaitWhile(int milliseconds, int sliceMs, const std::function<bool()>& goOn);
