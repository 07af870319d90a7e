#pragma once

#include <string>

namespace tavor1 {

struct LocalDateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The wall clock, injectable so that tests can fix the time that file names,
// trace stamps and SR_OUT lines are made of.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
    static const SystemClock& instance();
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalDateTime t) : m_time(t) {}
    LocalDateTime now() const override { return m_time; }
    void set(LocalDateTime t) { m_time = t; }

private:
    LocalDateTime m_time;
};

// "YYYYMMDD_hhmmss: ", the prefix of every trace line.
std::string traceTimestamp(const Clock& clock = SystemClock::instance());

} // namespace tavor1
