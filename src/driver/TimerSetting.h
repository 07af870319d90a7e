#pragma once

#include <string>

namespace tavor1 {

// The outcome of the "Set timer" button for a typed value.
struct TimerSetting {
    int intervalMs = 1000;
    // The text the timer value box shows afterwards.
    std::string boxText;
    // TVTIMER1.TXT takes boxText.
    bool save = false;
    // Shown in a message box; empty when none.
    std::string message;
};

// Values below 100 are seconds (capped at 60), 100 and more milliseconds
// (capped at 60000); 0 or less falls back to one second.
TimerSetting computeTimerSetting(const std::string& typed);

} // namespace tavor1
