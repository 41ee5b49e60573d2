#pragma once

// The system's first answer about input makes it settle how it sends input
// (on Linux: which path, which may take a while on a portal). Asked once, on
// a detached thread, as the first key appears, so that the first press does
// not wait for it. Later calls do nothing; a thread that cannot be started
// leaves it to the first press.
void PrepareInputOnce();
