#pragma once

// Steps the cursor by (offsetX, offsetY) every pauseMs + 1 ms while a
// "MOUSE_CURSOR_MOVE" key is held; sleeps until one is. Never returns.
void CursorMoveWorker();

// Starts the one worker of the process on a detached thread, the first time
// only. Raises std::system_error when the thread cannot be started; a later
// call then tries again.
void StartCursorMoveWorker();
