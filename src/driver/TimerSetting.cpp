#include "driver/TimerSetting.h"

#include "platform/NumberText.h"

namespace tavor1 {

TimerSetting computeTimerSetting(const std::string& typed)
{
    TimerSetting s;
    s.boxText = typed;
    const long long v = leadingNumber(typed);
    if (v == 0)
        s.message = "Valore non ammesso";
    if (v <= 0)
        return s;
    if (v < 100) {
        if (v > 60)
            s.boxText = "60";
        s.intervalMs = static_cast<int>(leadingNumber(s.boxText)) * 1000;
    } else {
        s.intervalMs = v <= 60000 ? static_cast<int>(v) : 60000;
    }
    s.save = true;
    return s;
}

} // namespace tavor1
