#include "SecondaryFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

constexpr int32_t kLow = 100;     // below half the host's level of 20000
constexpr int32_t kStrong = 15000;

class TrafficScanTest : public ::testing::Test {
protected:
    TFakeReceiverLibrary library{2};
    TRecordingWindow window;
    TSecondaryReceiver secondary{library, window};
    TScanFixture record;
    TTrafficScan scan;

    void SetUp() override
    {
        secondary.None1Click({SecondaryCaption(1), 1});
        library.ClearCalls();
    }
    void Tick() { scan.Tick(secondary, record); }
    // The frequencies the scan sent, from the recorded calls.
    std::vector<std::string> Tunes() const
    {
        std::vector<std::string> out;
        for (const std::string& c : library.Calls)
            if (c.rfind("SetFrequency", 0) == 0)
                out.push_back(c);
        return out;
    }
    std::string Tune(int32_t channel) const { return "SetFrequency 1 " + std::to_string(record.Hz(channel)); }
};

TEST_F(TrafficScanTest, SearchGoesUpFromTheScanChannelAndWrapsRound)
{
    const struct {
        int16_t from;
        int16_t to;
    } cases[] = {{-1, 7}, {0, 7}, {7, 7}, {8, 300}, {300, 300}, {301, 7}, {1023, 7}};
    record.AddCalls({7, 300});
    record.CallChannels.push_back(500);  // listed, but not marked as a traffic channel
    library.SetStrength(1, 0, {kStrong});
    for (const auto& c : cases) {
        scan.ScanChannel = c.from;
        library.ClearCalls();
        Tick();
        EXPECT_EQ(scan.ScanChannel, c.to) << "from " << c.from;
        EXPECT_THAT(Tunes(), ElementsAre(Tune(c.to))) << "from " << c.from;
    }
}

TEST_F(TrafficScanTest, SixQuietTicksRemoveTheCallAndMoveOnTheSameTick)
{
    record.AddCalls({7, 300});
    library.SetStrength(1, record.Hz(7), {kLow});
    library.SetStrength(1, 0, {kStrong});

    Tick();  // finds channel 7; nothing measured yet
    ASSERT_EQ(scan.ScanChannel, 7);
    for (int quiet = 1; quiet <= 5; ++quiet) {
        Tick();
        EXPECT_EQ(scan.LowSignalTicks, quiet);
        EXPECT_TRUE(record.Removed.empty()) << "after " << quiet << " quiet ticks";
    }
    Tick();  // the sixth
    EXPECT_THAT(record.Removed, ElementsAre(7));
    EXPECT_EQ(scan.LowSignalTicks, 0);
    EXPECT_EQ(scan.ScanChannel, 300);
    // Tuned on the first tick and on the removal tick only: no search while the count runs.
    EXPECT_THAT(Tunes(), ElementsAre(Tune(7), Tune(300)));

    // Channel 300 stays strong: it is kept and tuned again every tick.
    for (int i = 0; i < 10; ++i)
        Tick();
    EXPECT_THAT(record.Removed, ElementsAre(7));
    EXPECT_EQ(Tunes().size(), 12u);
}

TEST_F(TrafficScanTest, OneStrongTickRestartsTheCount)
{
    record.AddCalls({7});
    std::vector<int32_t> reads(5, kLow);
    reads.push_back(kStrong);
    reads.insert(reads.end(), 6, kLow);
    library.SetStrength(1, record.Hz(7), reads);

    Tick();
    for (int i = 0; i < 11; ++i)
        Tick();
    EXPECT_TRUE(record.Removed.empty());
    EXPECT_EQ(scan.LowSignalTicks, 5);
    Tick();
    EXPECT_THAT(record.Removed, ElementsAre(7));
    // The list is empty now: the secondary is not retuned and stays parked where it was.
    EXPECT_EQ(scan.ScanChannel, 7);
}

TEST_F(TrafficScanTest, RemovesOnlyTheFirstCallOnTheChannel)
{
    record.AddCalls({7, 7});
    library.SetStrength(1, 0, {kLow});
    for (int i = 0; i < 7; ++i)
        Tick();
    EXPECT_THAT(record.Removed, ElementsAre(7));
    EXPECT_THAT(record.CallChannels, ElementsAre(7));
    EXPECT_EQ(scan.ScanChannel, 7);
}

TEST_F(TrafficScanTest, HostLevelOfZeroOrOneRemovesNothing)
{
    for (int32_t level : {0, 1}) {
        SCOPED_TRACE(level);
        record.HostLevel = level;
        record.CallChannels.clear();
        record.AddCalls({7, 300});
        library.SetStrength(1, 0, {0});
        for (int i = 0; i < 50; ++i)
            Tick();
        EXPECT_TRUE(record.Removed.empty());
        EXPECT_EQ(scan.LowSignalTicks, 0);
    }
}

TEST_F(TrafficScanTest, CountsTicksAndOccupancyOfEveryListedCall)
{
    record.AddCalls({7, 7, 300});
    record.CallChannels.push_back(2000);  // no such channel: not counted
    library.SetStrength(1, 0, {kStrong});
    for (int i = 0; i < 3; ++i)
        Tick();
    EXPECT_EQ(record.ScanTicks, 3);
    EXPECT_EQ(record.Occupancy, (std::map<int32_t, int32_t>{{7, 6}, {300, 3}}));

    // An empty list is counted too, and the receiver is left alone.
    record.CallChannels.clear();
    record.Occupancy.clear();
    library.ClearCalls();
    Tick();
    EXPECT_EQ(record.ScanTicks, 4);
    EXPECT_TRUE(record.Occupancy.empty());
    EXPECT_TRUE(Tunes().empty());
}

TEST_F(TrafficScanTest, InactiveWithoutReceiverFollowedCallSystemControlChannelOrBase)
{
    const struct {
        const char* name;
        void (*make)(TScanFixture&, TSecondaryReceiver&);
    } cases[] = {
        {"receiver stopped", [](TScanFixture&, TSecondaryReceiver& s) { s.StopSecondaryReceiver(); }},
        {"no receiver", [](TScanFixture&, TSecondaryReceiver& s) { s.None1Click({"None", 0}); }},
        {"following a call", [](TScanFixture& r, TSecondaryReceiver&) { r.RetToCtrl = true; }},
        {"no system", [](TScanFixture& r, TSecondaryReceiver&) { r.System = false; }},
        {"control channel unknown", [](TScanFixture& r, TSecondaryReceiver&) { r.Control = -1; }},
        {"base unknown", [](TScanFixture& r, TSecondaryReceiver&) { r.Base = -1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeReceiverLibrary lib(2);
        TRecordingWindow w;
        TSecondaryReceiver s(lib, w);
        s.None1Click({SecondaryCaption(1), 1});
        TScanFixture r;
        r.AddCalls({7});
        TTrafficScan t;
        t.ScanChannel = 7;
        t.LowSignalTicks = 3;
        c.make(r, s);
        lib.ClearCalls();

        t.Tick(s, r);

        EXPECT_EQ(t.ScanChannel, -1);
        EXPECT_EQ(t.LowSignalTicks, 0);
        EXPECT_EQ(r.ScanTicks, 0);
        EXPECT_TRUE(r.Occupancy.empty());
        EXPECT_TRUE(lib.Calls.empty());
    }
}

TEST_F(TrafficScanTest, SuspendStopsTheScanAndResumeTakesItUpAgain)
{
    record.AddCalls({7, 300});
    library.SetStrength(1, 0, {kStrong});
    Tick();
    ASSERT_EQ(scan.ScanChannel, 7);

    secondary.StopSecondaryReceiver();
    library.ClearCalls();
    for (int i = 0; i < 5; ++i)
        Tick();
    EXPECT_TRUE(library.Calls.empty());
    EXPECT_EQ(scan.ScanChannel, -1);

    secondary.StartSecondaryReceiver();
    library.SetStrength(1, 0, {kStrong});
    library.ClearCalls();
    Tick();
    EXPECT_THAT(library.Calls, ElementsAre(Tune(7)));
    EXPECT_EQ(library.CallsOnClosed, 0);
}

}  // namespace
