#pragma once
// Time bases for the simulated board's model in tests: a clock that the test
// drives, and the machine's steady clock for runs in real time.
#include <chrono>
#include <cstdint>

#include "components/simboard/protocol.h"

class DrivenClock final : public simboard::Clock {
public:
    // The start tick is not 0, so that nothing may depend on it.
    explicit DrivenClock(uint64_t ticksPerSecond = 1000000, uint64_t start = 1000)
        : now_(start), perSecond_(ticksPerSecond) {}
    uint64_t ticks() override { return now_; }
    uint64_t ticksPerSecond() override { return perSecond_; }
    void advance(uint64_t ticks) { now_ += ticks; }
    void advanceSeconds(double seconds) { now_ += static_cast<uint64_t>(seconds * perSecond_); }
    void advanceMs(uint64_t ms) { now_ += ms * perSecond_ / 1000; }

private:
    uint64_t now_;
    uint64_t perSecond_;
};

// Microseconds of the steady clock.
class SteadyClock final : public simboard::Clock {
public:
    uint64_t ticks() override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    }
    uint64_t ticksPerSecond() override { return 1000000; }
};
