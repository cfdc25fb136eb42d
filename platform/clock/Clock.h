#pragma once
// The one source of time for every pause, retry and time-out, so that tests can run them on a fake clock.
#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

class Clock {
public:
    virtual ~Clock();
    // Monotonic milliseconds from an arbitrary origin.
    virtual int64_t nowMs() = 0;
    // Pauses the calling thread; a negative or zero pause returns at once.
    virtual void sleepMs(int ms) = 0;
};

// The process-wide clock: the real one unless a test has set another.
Clock& clock();
// Installs a clock (not owned); nullptr restores the real clock.
void setClock(Clock* c);

// Real time from std::chrono::steady_clock.
class SteadyClock : public Clock {
public:
    int64_t nowMs() override;
    void sleepMs(int ms) override;
};

// Time that moves only when told: sleepMs advances it at once and records the pause.
class FakeClock : public Clock {
public:
    explicit FakeClock(int64_t startMs = 0) : now_(startMs) {}
    int64_t nowMs() override;
    void sleepMs(int ms) override;
    void advance(int64_t ms);
    std::vector<int> sleeps() const;  // every pause asked for, in order
    void clearSleeps();

private:
    mutable std::mutex mutex_;
    int64_t now_;
    std::vector<int> sleeps_;
};

// Installs a clock for the life of the object and restores the previous one after.
class ScopedClock {
public:
    explicit ScopedClock(Clock& c);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace platform
