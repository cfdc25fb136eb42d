#include "platform/clock/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {
SteadyClock& steadyClock()
{
    static SteadyClock c;
    return c;
}
std::atomic<Clock*> current{nullptr};
}  // namespace

Clock::~Clock() = default;

Clock& clock()
{
    Clock* c = current.load(std::memory_order_acquire);
    return c ? *c : steadyClock();
}

void setClock(Clock* c) { current.store(c, std::memory_order_release); }

int64_t SteadyClock::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::sleepMs(int ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t FakeClock::nowMs()
{
    std::lock_guard lock(mutex_);
    return now_;
}

void FakeClock::sleepMs(int ms)
{
    std::lock_guard lock(mutex_);
    sleeps_.push_back(ms);
    if (ms > 0)
        now_ += ms;
}

void FakeClock::advance(int64_t ms)
{
    std::lock_guard lock(mutex_);
    now_ += ms;
}

std::vector<int> FakeClock::sleeps() const
{
    std::lock_guard lock(mutex_);
    return sleeps_;
}

void FakeClock::clearSleeps()
{
    std::lock_guard lock(mutex_);
    sleeps_.clear();
}

ScopedClock::ScopedClock(Clock& c) : previous_(current.load())
{
    setClock(&c);
}

ScopedClock::~ScopedClock() { setClock(previous_); }

}  // namespace platform
