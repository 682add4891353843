#pragma once
// Time as the lock waits see it. Injectable so tests can run a 30-second
// wait, or one that crosses midnight, without waiting.

namespace quillo {

class Clock {
public:
    virtual ~Clock() = default;
    // Local time of day in seconds since midnight, with fractions.
    virtual double SecondsSinceMidnight() = 0;
    // Called between attempts of a lock wait so a real run does not spin.
    virtual void Pause() = 0;
};

class SystemClock final : public Clock {
public:
    double SecondsSinceMidnight() override;
    void Pause() override;
};

}  // namespace quillo
