// Suspend and resume without a system bus: what is injected comes out as the two signals and as
// the frame's power broadcast codes, and a missing bus leaves the source quiet.
#include "OrvDecoderForm.h"
#include "platform/power/PowerEvents.h"
#include "PowerRecorder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testsupport::ScopedEnv;
using testsupport::TempDir;

// Every source in this program is made with the system bus pointing nowhere, whatever the
// machine has, since the bus connection is made once per process.
class PowerEventsTest : public ::testing::Test {
protected:
    TempDir dir_;
    ScopedEnv bus_{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (dir_.path() / "no-bus").string()};
};

TEST_F(PowerEventsTest, NoSystemBusMeansNotListening)
{
    platform::PowerEvents events;
    EXPECT_FALSE(events.Listening());
    // Injection still works without a bus.
    PowerRecorder recorder(events);
    events.Inject(true);
    EXPECT_EQ(recorder.seen, "s");
}

TEST_F(PowerEventsTest, InjectedSleepMapsToSuspendingAndResumed)
{
    struct Case {
        std::vector<bool> sleeping;
        std::string expected;
    };
    const Case cases[] = {
        {{true}, "s"},
        {{false}, "r"},
        {{true, false}, "sr"},
        {{true, true, false, false}, "ssrr"},  // passed on as they come, repeats included
    };
    for (const auto& c : cases) {
        platform::PowerEvents events;
        PowerRecorder recorder(events);
        for (bool s : c.sleeping)
            events.Inject(s);
        EXPECT_EQ(recorder.seen, c.expected) << "after " << c.sleeping.size() << " events";
    }
}

TEST_F(PowerEventsTest, FrameGetsSuspendAndResumeCodes)
{
    platform::PowerEvents source;
    TOrvPowerEvents frame;
    frame.Listen(source);
    std::vector<int> codes;
    QObject::connect(&frame, &TOrvPowerEvents::PowerBroadcast, [&](int event) { codes.push_back(event); });
    source.Inject(true);
    source.Inject(false);
    EXPECT_EQ(codes, (std::vector<int>{pbtSuspend, pbtResumeSuspend}));
    EXPECT_EQ(pbtSuspend, 4);
    EXPECT_EQ(pbtResumeSuspend, 7);
}

TEST_F(PowerEventsTest, SharedFrameInstanceListensToTheSystemSource)
{
    TOrvPowerEvents& shared = TOrvPowerEvents::Instance();
    platform::PowerEvents* system = TOrvPowerEvents::System();
    ASSERT_NE(system, nullptr);
    EXPECT_FALSE(system->Listening());
    std::vector<int> codes;
    auto connection =
        QObject::connect(&shared, &TOrvPowerEvents::PowerBroadcast, [&](int event) { codes.push_back(event); });
    system->Inject(true);
    system->Inject(false);
    QObject::disconnect(connection);
    EXPECT_EQ(codes, (std::vector<int>{pbtSuspend, pbtResumeSuspend}));
    // Asking again gives the same pair, not a second subscription.
    EXPECT_EQ(&TOrvPowerEvents::Instance(), &shared);
    EXPECT_EQ(TOrvPowerEvents::System(), system);
}

}  // namespace
