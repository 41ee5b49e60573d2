#pragma once

// Every pass of a key press ends with this wait, whatever the command.
constexpr int kPassWaitMs = 200;

// Performs the active mouse command on the calling thread: its passes, each
// ending with a wait of kPassWaitMs, then its single-shot action. Returns when
// all is done. Names that are not commands inject nothing but still wait.
void ExecuteMouseCommand();
