#pragma once
// A clock for lock-wait tests: time moves only when the code under test
// pauses (and, if asked, when it looks at the clock), and wraps at midnight
// like the real time of day.
#include <cmath>

#include "common/clock.h"

namespace quillo {

class FakeClock : public Clock {
public:
    static constexpr double kSecondsPerDay = 86400.0;

    // Starts at `startSeconds` since midnight; every Pause() moves it on by
    // `stepPerPause`, every query (after answering) by `stepPerQuery`.
    FakeClock(double startSeconds, double stepPerPause, double stepPerQuery = 0.0)
        : now_(Wrap(startSeconds)), stepPerPause_(stepPerPause), stepPerQuery_(stepPerQuery) {}

    double SecondsSinceMidnight() override {
        const double answer = now_;
        ++queries_;
        Advance(stepPerQuery_);
        return answer;
    }
    void Pause() override {
        ++pauses_;
        Advance(stepPerPause_);
    }

    void Advance(double seconds) { now_ = Wrap(now_ + seconds); }
    double Now() const { return now_; }
    int Pauses() const { return pauses_; }
    int Queries() const { return queries_; }

private:
    static double Wrap(double t) {
        t = std::fmod(t, kSecondsPerDay);
        return t < 0 ? t + kSecondsPerDay : t;
    }

    double now_;
    double stepPerPause_;
    double stepPerQuery_;
    int pauses_ = 0;
    int queries_ = 0;
};

}  // namespace quillo
