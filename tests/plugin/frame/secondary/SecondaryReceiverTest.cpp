#include "SecondaryFixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const std::vector<std::string> kSetUp2 = {"SetPower 2 1",    "SetMute 2 1",   "SetMode 2 2",
                                          "SetScanMode 2 1", "SetFrequency 2 1000000",
                                          "SetVolume 2 180", "SetAtten 2 1"};

class SecondaryReceiverTest : public ::testing::Test {
protected:
    TFakeReceiverLibrary library{3};
    TRecordingWindow window;
    TSecondaryReceiver secondary{library, window};

    void Choose(int32_t receiver) { secondary.None1Click({SecondaryCaption(receiver), receiver}); }
};

TEST_F(SecondaryReceiverTest, ChoosingReceiverTwoOpensAndFreesOneThenSetsTwoUpParked)
{
    Choose(2);

    std::vector<std::string> expected = {"OpenRadioDevice 0=1", "OpenRadioDevice 0=2", "CloseRadioDevice 1"};
    expected.insert(expected.end(), kSetUp2.begin(), kSetUp2.end());
    EXPECT_THAT(library.Calls, ElementsAreArray(expected));
    EXPECT_THAT(window.Events,
                ElementsAre("Label Korvanta #2", "HostVolume", "HostAttenuator", "RestartInputChannelTest"));
    EXPECT_EQ(secondary.Chosen(), 2);
    EXPECT_TRUE(secondary.InUse());
    EXPECT_TRUE(library.IsOpen(2));
    EXPECT_EQ(library.OpenCount(), 1u);
    EXPECT_EQ(library.CallsOnClosed, 0);
}

TEST_F(SecondaryReceiverTest, ChosenReceiverTakenElsewhereLeavesNothingOpenAndNothingSent)
{
    library.Take(2);  // another program has it: the library hands out 1, then 3
    Choose(2);

    EXPECT_THAT(library.Calls, ElementsAre("OpenRadioDevice 0=1", "OpenRadioDevice 0=3", "CloseRadioDevice 1",
                                           "CloseRadioDevice 3"));
    EXPECT_EQ(secondary.Chosen(), 2);
    EXPECT_FALSE(secondary.IsOpen());
    EXPECT_FALSE(library.IsOpen(1));
    EXPECT_FALSE(library.IsOpen(3));
    EXPECT_THAT(window.Events, ElementsAre("Label Korvanta #2", "RestartInputChannelTest"));

    // Nothing reaches the receiver the window does not hold.
    library.ClearCalls();
    secondary.Follow(450012500);
    secondary.Park();
    secondary.SetVolume(10);
    secondary.SetAttenuator(0);
    EXPECT_EQ(secondary.Frequency(), 0u);
    EXPECT_EQ(secondary.SignalStrength(), 0);
    secondary.StopSecondaryReceiver();
    EXPECT_TRUE(library.Calls.empty());
}

TEST_F(SecondaryReceiverTest, RepeatedPowerOnKeepsTheOneReceiverOpen)
{
    Choose(2);
    const size_t before = library.Calls.size();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(secondary.StartSecondaryReceiver());

    EXPECT_TRUE(CallsFrom(library, before).empty());
    EXPECT_EQ(library.OpenCount(), 1u);
    EXPECT_TRUE(secondary.InUse());
}

TEST_F(SecondaryReceiverTest, SuspendClosesAndResumeSetsTheSameReceiverUpAgain)
{
    Choose(2);
    secondary.Follow(450012500);
    library.ClearCalls();
    window.Events.clear();

    secondary.StopSecondaryReceiver();  // suspend
    EXPECT_THAT(library.Calls, ElementsAre("SetPower 2 0", "CloseRadioDevice 2"));
    EXPECT_EQ(library.OpenCount(), 0u);
    EXPECT_EQ(secondary.Chosen(), 2);
    EXPECT_FALSE(secondary.InUse());

    // While closed, the scan, auto tune and traffic decoding find it out of use and send nothing.
    library.ClearCalls();
    secondary.Follow(450025000);
    secondary.SetMute(false);
    secondary.SetFrequency(1);
    EXPECT_EQ(secondary.Frequency(), 0u);
    EXPECT_EQ(secondary.SignalStrength(), 0);
    secondary.StopSecondaryReceiver();
    EXPECT_TRUE(library.Calls.empty());

    EXPECT_TRUE(secondary.StartSecondaryReceiver());  // resume
    std::vector<std::string> expected = {"OpenRadioDevice 0=1", "OpenRadioDevice 0=2", "CloseRadioDevice 1"};
    expected.insert(expected.end(), kSetUp2.begin(), kSetUp2.end());
    EXPECT_THAT(library.Calls, ElementsAreArray(expected));
    EXPECT_TRUE(secondary.InUse());
    EXPECT_EQ(library.State(2).Frequency, 1000000u);
    EXPECT_EQ(library.State(2).Mute, 1);
    EXPECT_EQ(library.CallsOnClosed, 0);
}

TEST_F(SecondaryReceiverTest, ChoosingTheReceiverInUseOnlyShowsItsCaption)
{
    Choose(2);
    library.ClearCalls();
    window.Events.clear();
    Choose(2);
    EXPECT_TRUE(library.Calls.empty());
    EXPECT_THAT(window.Events, ElementsAre("Label Korvanta #2"));

    // "None" while none is chosen: nothing either.
    TFakeReceiverLibrary other(2);
    TRecordingWindow w;
    TSecondaryReceiver none(other, w);
    none.None1Click({"None", 0});
    EXPECT_TRUE(other.Calls.empty());
    EXPECT_THAT(w.Events, ElementsAre("Label None"));
}

TEST_F(SecondaryReceiverTest, NoneWhileFollowingParksFirstThenPowersOffAndCloses)
{
    Choose(2);
    secondary.Follow(450012500);
    window.RetToCtrl = true;
    library.ClearCalls();
    window.Events.clear();

    secondary.None1Click({"None", 0});

    EXPECT_THAT(library.Calls,
                ElementsAre("SetFrequency 2 1000000", "SetMute 2 1", "SetPower 2 0", "CloseRadioDevice 2"));
    EXPECT_THAT(window.Events,
                ElementsAre("Label None", "DisableRetToCtrl", "RepaintGrid", "RestartInputChannelTest"));
    EXPECT_EQ(secondary.Chosen(), 0);
    EXPECT_FALSE(secondary.InUse());
    EXPECT_EQ(library.OpenCount(), 0u);
}

TEST_F(SecondaryReceiverTest, ChangingReceiverClosesTheOldOneBeforeOpeningTheNew)
{
    Choose(1);
    library.ClearCalls();
    Choose(3);
    EXPECT_THAT(library.Calls,
                ElementsAre("SetPower 1 0", "CloseRadioDevice 1", "OpenRadioDevice 0=1", "OpenRadioDevice 0=2",
                            "OpenRadioDevice 0=3", "CloseRadioDevice 1", "CloseRadioDevice 2", "SetPower 3 1",
                            "SetMute 3 1", "SetMode 3 2", "SetScanMode 3 1", "SetFrequency 3 1000000",
                            "SetVolume 3 180", "SetAtten 3 1"));
    EXPECT_TRUE(library.IsOpen(3));
    EXPECT_EQ(library.OpenCount(), 1u);
}

TEST_F(SecondaryReceiverTest, FollowTunesAndUnmutesParkReturnsToOneMegahertzMuted)
{
    Choose(2);
    library.ClearCalls();
    secondary.Follow(450137500);
    secondary.Park();
    EXPECT_THAT(library.Calls, ElementsAre("SetFrequency 2 450137500", "SetMute 2 0", "SetFrequency 2 1000000",
                                           "SetMute 2 1"));
}

TEST_F(SecondaryReceiverTest, HostVolumeAndAttenuatorChangesReachTheReceiver)
{
    Choose(2);
    library.ClearCalls();
    secondary.SetVolume(77);
    secondary.SetAttenuator(0);
    EXPECT_THAT(library.Calls, ElementsAre("SetVolume 2 77", "SetAtten 2 0"));
}

TEST_F(SecondaryReceiverTest, SignalStrengthIsTheLowSixteenBitsUnsigned)
{
    Choose(2);
    const struct {
        int32_t raw;
        uint16_t expected;
    } cases[] = {{0, 0}, {32768, 32768}, {0x12345, 0x2345}, {-1, 0xFFFF}};
    for (const auto& c : cases) {
        library.SetStrength(2, 0, {c.raw});
        EXPECT_EQ(secondary.SignalStrength(), c.expected) << c.raw;
    }
}

TEST_F(SecondaryReceiverTest, ReturnToControlParksTheSecondaryOrTunesTheHost)
{
    // Without a secondary receiver the host goes back to the control channel.
    window.RetToCtrl = true;
    secondary.RetToCtrlClick();
    EXPECT_THAT(window.Events, ElementsAre("TuneHostToControlChannel", "DisableRetToCtrl", "RepaintGrid"));
    EXPECT_TRUE(library.Calls.empty());

    // With one, it is parked and the host stays where it is.
    Choose(2);
    secondary.Follow(450012500);
    library.ClearCalls();
    window.Events.clear();
    window.RetToCtrl = true;
    secondary.RetToCtrlClick();
    EXPECT_THAT(library.Calls, ElementsAre("SetFrequency 2 1000000", "SetMute 2 1"));
    EXPECT_THAT(window.Events, ElementsAre("DisableRetToCtrl", "RepaintGrid"));
    EXPECT_FALSE(window.RetToCtrl);

    // Chosen but closed: nothing is sent to it, and the host is not retuned either.
    secondary.StopSecondaryReceiver();
    library.ClearCalls();
    window.Events.clear();
    secondary.RetToCtrlClick();
    EXPECT_TRUE(library.Calls.empty());
    EXPECT_THAT(window.Events, ElementsAre("DisableRetToCtrl", "RepaintGrid"));
}

// The receiver menu: "None", then the receivers in ascending order with the one in use among them,
// and afterwards only the receiver in use is still open.
TEST(SecondaryReceiverMenu, ListsReceiversInOrderAndClosesWhatItOpened)
{
    const struct {
        const char* name;
        int32_t pool;
        int32_t chosen;
        bool stopped;  // chosen but closed (suspended)
        std::vector<int32_t> taken;
        std::vector<int32_t> listed;
    } cases[] = {
        {"none chosen", 3, 0, false, {}, {1, 2, 3}},
        {"first in use", 3, 1, false, {}, {1, 2, 3}},
        {"middle in use", 3, 2, false, {}, {1, 2, 3}},
        {"last in use", 3, 3, false, {}, {1, 2, 3}},
        {"host holds one", 3, 3, false, {1}, {2, 3}},
        {"chosen while closed", 3, 2, true, {}, {1, 2, 3}},
        {"empty pool", 0, 0, false, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeReceiverLibrary library(c.pool);
        for (int32_t n : c.taken)
            library.Take(n);
        TRecordingWindow window;
        TSecondaryReceiver secondary(library, window);
        if (c.chosen != 0)
            secondary.None1Click({SecondaryCaption(c.chosen), c.chosen});
        if (c.stopped)
            secondary.StopSecondaryReceiver();
        const size_t openBefore = library.OpenCount();

        const std::vector<TSecondaryMenuItem> items = secondary.ListReceivers();

        std::vector<TSecondaryMenuItem> expected{{"None", 0}};
        for (int32_t n : c.listed)
            expected.push_back({"Korvanta #" + std::to_string(n), n});
        EXPECT_EQ(items, expected);
        EXPECT_EQ(library.OpenCount(), openBefore);
        EXPECT_EQ(secondary.InUse(), c.chosen != 0 && !c.stopped);
        if (secondary.InUse()) {
            EXPECT_TRUE(library.IsOpen(c.chosen));
        }
        EXPECT_EQ(library.CallsOnClosed, 0);
    }
}

// The menu item carries its receiver: a caption is shown, never read back for the number.
TEST(SecondaryReceiverMenu, TheItemsNumberIsUsedNotItsCaption)
{
    TFakeReceiverLibrary library(12);
    TRecordingWindow window;
    TSecondaryReceiver secondary(library, window);
    secondary.None1Click({"Korvanta #1", 12});
    EXPECT_EQ(secondary.Chosen(), 12);
    EXPECT_TRUE(library.IsOpen(12));
    EXPECT_EQ(library.OpenCount(), 1u);
}

}  // namespace
