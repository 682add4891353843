#pragma once
// A clock for lock-wait tests: time moves only when the code under test
// pauses, and wraps at midnight like the real time of day.
#include <cmath>

#include "common/clock.h"

namespace quillo {

class FakeClock : public Clock {
public:
    static constexpr double kSecondsPerDay = 86400.0;

    // Starts at `startSeconds` since midnight; every Pause() moves it on by `stepPerPause`.
    FakeClock(double startSeconds, double stepPerPause) : now_(Wrap(startSeconds)), stepPerPause_(stepPerPause) {}

    double SecondsSinceMidnight() override { return now_; }
    void Pause() override { Advance(stepPerPause_); }

    void Advance(double seconds) { now_ = Wrap(now_ + seconds); }
    double Now() const { return now_; }

private:
    static double Wrap(double t) {
        t = std::fmod(t, kSecondsPerDay);
        return t < 0 ? t + kSecondsPerDay : t;
    }

    double now_;
    double stepPerPause_;
};

}  // namespace quillo
