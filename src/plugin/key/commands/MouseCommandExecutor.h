#pragma once

// Every pass of a key press ends with this wait, whatever the command.
constexpr int kPassWaitMs = 200;

class StopSignal;

// Performs the active mouse command on the calling thread: its passes, each
// ending with a wait of kPassWaitMs, then its single-shot action. Returns when
// all is done, or at the first wait after a stop is requested, injecting
// nothing more than the release of the click it was holding. Its buttons
// are held in the owner of held buttons: a click under the key's name, the
// down and up commands under the name they share. The key's modifiers are
// held around the input: a click's or wheel's from just before its first
// pass to just after its last, a down command's until the up command that
// lets go of the last button the down commands hold. Names that are not
// commands inject nothing but still wait.
void ExecuteMouseCommand(const StopSignal& stop);
