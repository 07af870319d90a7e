#include "platform/Clock.h"

#include <cstdio>
#include <ctime>

namespace tavor1 {

LocalDateTime SystemClock::now() const
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t); // Windows' own order of arguments
#else
    localtime_r(&t, &tm);
#endif
    return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

const SystemClock& SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}

std::string traceTimestamp(const Clock& clock)
{
    const LocalDateTime t = clock.now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d%02d: ", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

} // namespace tavor1
