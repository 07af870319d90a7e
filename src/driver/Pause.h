#pragma once

namespace tavor1 {

// Waits ms milliseconds while events run (timers, sockets, the window), on a
// local event loop: no spinning, no blocked window. 0 or less returns at once.
void pauseMs(int ms);

} // namespace tavor1
