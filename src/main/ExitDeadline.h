#pragma once

// Once the host has gone, the process has this long to tidy up. What it does
// meanwhile (releasing buttons, stopping the key commands) may wait on a
// display server that has stopped answering; past the deadline the process
// ends without it.
constexpr int kExitDeadlineMs = 900;

// Ends the process with `status` once kExitDeadlineMs have passed, unless it
// has ended by then. Call it once, as the tidying starts.
void EndProcessAfterDeadline(int status);
