#pragma once

#include "plugin/HeldSet.h"

// The plugin's side of the guardian: the one record the guardian must have
// read, the latest, handed over whole. A guardian that does not read (stopped,
// or starved of time) fills its pipe; the latest record then waits, and goes
// at the next call or at a retry every kGuardianRetryMs, whichever comes
// first: so a guardian that reads again never lets go of what is still held.
// A guardian that has ended is started again (the log says so) before the
// next record that holds something, so before the next press is injected.
// Safe from any thread.

// In the plugin, before any other thread exists: platform::StartGuardian.
bool StartGuardianLink(int (*runGuardian)());

// The guardian must know that `held` may be down, and nothing else.
void TellGuardianHeld(const HeldSet& held);

// Nothing is held any more and the plugin ends: the guardian may end too.
void SayGoodbyeToGuardian();

constexpr int kGuardianRetryMs = 50;
