#include "platform/clock/Clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Clock, RealClockIsMonotonicAndSleeps)
{
    platform::Clock& c = platform::clock();
    int64_t a = c.nowMs();
    c.sleepMs(20);
    int64_t b = c.nowMs();
    EXPECT_GE(b - a, 19);
    c.sleepMs(-5);  // a negative pause returns at once
    EXPECT_GE(c.nowMs(), b);
}

TEST(Clock, FakeClockAdvancesOnSleepAndRecordsPauses)
{
    platform::FakeClock fake(1000);
    {
        platform::ScopedClock use(fake);
        EXPECT_EQ(&platform::clock(), &fake);
        platform::clock().sleepMs(200);
        platform::clock().sleepMs(0);
        fake.advance(50);
        EXPECT_EQ(platform::clock().nowMs(), 1250);
        EXPECT_EQ(fake.sleeps(), (std::vector<int>{200, 0}));
    }
    EXPECT_NE(&platform::clock(), &fake);
}

TEST(Clock, SetClockNullRestoresRealClock)
{
    platform::FakeClock fake;
    platform::setClock(&fake);
    EXPECT_EQ(&platform::clock(), &fake);
    platform::setClock(nullptr);
    EXPECT_NE(&platform::clock(), &fake);
    EXPECT_GT(platform::clock().nowMs(), 0);
}

}  // namespace
