#pragma once

// The guardian process's whole life, once platform::OpenGuardianPipe has said
// that this process is one: reads what the plugin holds until the plugin says
// goodbye or ends, and in the second case releases what was still held.
// Returns the exit code.
int RunGuardian();
