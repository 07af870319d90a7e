#pragma once

namespace tavor1 {

// Waits about ms milliseconds while the event loop keeps running (socket
// events, timers, the window), so the program never freezes in a pause. The
// wait is counted in whole 50 ms steps as the program's pauses always were:
// below 50 ms it returns at once. Handlers that run during the wait may start
// another wait; re-entry is the callers' to prevent with their own flags.
void WaitMs(double ms);

} // namespace tavor1
