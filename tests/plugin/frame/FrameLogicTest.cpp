// The frame's per-buffer decisions and its small helpers, without a window.
#include "OrvFrameLogic.h"
#include "OrvPluginFrame.h"
#include "RecordingHost.h"
#include "SoundClock.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct LinkFixture {
    RecordingHost host;
    TOrvHostLink link{1, &RecordingHost::Callback, 9, "MPT1327"};
};

TEST(SoundClock, TicksEvery50msOfSoundHoweverTheBuffersCutIt)
{
    // A minute of sound in buffers of each plug-in's size, and in odd ones: 1200 ticks, and no
    // tick lost or doubled at a buffer's edge where 50 ms is not a whole number of frames.
    struct Case { uint32_t rate; uint64_t frames; };
    const Case cases[] = {{11025, 2048}, {44100, 8192}, {11025, 1}, {11025, 551}, {11025, 552}, {8000, 333}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.frames << " frames a buffer");
        TSoundClock clock;
        clock.Reset(c.rate);
        const uint64_t minute = uint64_t(c.rate) * 60;
        int ticks = 0;
        uint64_t heard = 0;
        bool even = true;  // every buffer's ticks so far as many as the whole 50 ms heard
        for (; heard + c.frames <= minute && even; heard += c.frames) {
            ticks += clock.Advance(c.frames);
            even = uint64_t(ticks) == (heard + c.frames) * 20 / c.rate;
        }
        EXPECT_TRUE(even) << "after " << heard << " frames";
        ticks += clock.Advance(minute - heard);
        EXPECT_EQ(ticks, 1200);
        EXPECT_EQ(clock.Milliseconds(), 60000);
        EXPECT_EQ(clock.Frames(), minute);
        clock.Reset(c.rate);
        EXPECT_EQ(clock.Milliseconds(), 0);
    }
    // 11025 Hz: 551.25 frames a tick.
    TSoundClock clock;
    clock.Reset(11025);
    EXPECT_EQ(clock.Advance(551), 0);
    EXPECT_EQ(clock.Advance(1), 1);
    EXPECT_EQ(clock.Advance(1102), 2);  // 1654 frames: 150.02 ms, the third tick
    EXPECT_EQ(clock.Milliseconds(), 150);
}

TEST(InputChannelTest, FindsTheChannelConfirmsAndSettles)
{
    // Per buffer: valid codewords the decoder counted during it; then the expected state,
    // channel and 0x0801 commands so far.
    struct Step {
        int buffers;
        int codewordsPerBuffer;
        int state, channel;
        std::vector<int32_t> sent0801;
    } steps[] = {
        {5, 0, 0, 1, {}},                    // nothing on channel 0: flip to 1
        {5, 2, 1, 1, {500000}},              // 10 found: confirm, host told 500000
        {12, 2, 1, 1, {500000}},             // not yet 13 buffers
        {1, 2, 2, 1, {500000, 450012500}},   // 13th: settled, host given the frequency back
        {40, 0, 2, 1, {500000, 450012500}},  // settled: nothing more
    };
    LinkFixture f;
    TOrvInputChannelTest test(5);
    int32_t since = 0, valid = 0;
    for (const auto& s : steps) {
        for (int i = 0; i < s.buffers; ++i) {
            valid += s.codewordsPerBuffer;
            ++since;
            EXPECT_TRUE(test.Step(since, valid, f.link));
        }
        EXPECT_EQ(test.State, s.state);
        EXPECT_EQ(test.DataChannel, s.channel);
        std::vector<int32_t> sent;
        for (const auto& c : f.host.calls)
            if (c.code == ORV_CODE_0801)
                sent.push_back(c.param);
        EXPECT_EQ(sent, s.sent0801);
    }
    EXPECT_EQ(test.TestFrequency, 450012500);
}

TEST(InputChannelTest, WithoutCodewordsTheChannelAlternatesAndTheHostHearsNothing)
{
    LinkFixture f;
    TOrvInputChannelTest test(5);
    int32_t since = 0, valid = 0;
    for (int i = 1; i <= 40; ++i) {
        ++since;
        test.Step(since, valid, f.link);
        EXPECT_EQ(test.DataChannel, (i / 5) % 2) << i;
    }
    EXPECT_TRUE(f.host.calls.empty());
}

TEST(InputChannelTest, ConfirmingFailureFlipsAndKeepsTellingTheHost)
{
    LinkFixture f;
    TOrvInputChannelTest test(5);
    int32_t since = 5, valid = 6;
    test.Step(since, valid, f.link);
    ASSERT_EQ(test.State, 1);
    since = 13;
    valid = 5;  // not more than 5
    test.Step(since, valid, f.link);
    EXPECT_EQ(test.State, 1);
    EXPECT_EQ(test.DataChannel, 1);
    EXPECT_EQ(valid, 5) << "not reset while confirming";
    EXPECT_EQ(f.host.calls.back().code, ORV_CODE_0801);
    EXPECT_EQ(f.host.calls.back().param, 450012500);
}

TEST(InputChannelTest, RestartWithManyBuffersCountedDoesNotStall)
{
    LinkFixture f;
    TOrvInputChannelTest test(5);
    int32_t since = 0, valid = 3;
    test.State = 2;
    test.DataChannel = 1;
    since = 30;  // buffers went on counting while settled
    test.Restart(valid);
    EXPECT_EQ(valid, 0);
    EXPECT_EQ(test.DataChannel, 0);
    ++since;
    test.Step(since, valid, f.link);
    EXPECT_EQ(since, 0) << "the first check comes at once";
    EXPECT_EQ(test.DataChannel, 1);
}

TEST(InputChannelTest, SkippedBuffersCountDownToSettled)
{
    LinkFixture f;
    TOrvInputChannelTest test(10);
    test.State = 2;
    test.SkipBuffers(8);
    int32_t since = 0, valid = 0;
    int skipped = 0;
    for (int i = 0; i < 12; ++i)
        skipped += test.Step(since, valid, f.link) ? 0 : 1;
    EXPECT_EQ(skipped, 8);
    EXPECT_EQ(test.State, 2);
}

TEST(OutputChoice, SpeakersAndDataOutputFollowTheTable)
{
    using K = TOrvOutputChoice;
    struct Case {
        bool linked, secondary, following, mute, dataOut;
        int32_t dataChannel;
        K::Kind kind;
        int32_t dataOutput, channel, copyFrom;
    } cases[] = {
        // Per channel: the channel the data is read from (1 - DataChannel) is the one silenced.
        {false, true, false, true, true, 0, K::PerChannel, 1, 1, -1},
        {false, true, false, true, false, 1, K::PerChannel, 0, 0, -1},
        {false, true, false, false, false, 0, K::PerChannel, 0, 1, 0},
        {false, true, true, true, true, 1, K::PerChannel, 1, 0, -1},
        // Linked mixers or no secondary receiver: whole-output muting.
        {true, true, false, false, true, 0, K::Unmuted, 0, -1, -1},
        {false, false, true, true, true, 0, K::Unmuted, 0, -1, -1},
        {true, false, false, true, true, 0, K::Muted, 1, -1, -1},
        {true, false, false, true, false, 1, K::Muted, 0, -1, -1},
    };
    for (const auto& c : cases) {
        const auto got = ChooseOutput(c.linked, c.secondary, c.following, c.mute, c.dataOut, c.dataChannel);
        EXPECT_EQ(got.kind, c.kind);
        EXPECT_EQ(got.dataOutput, c.dataOutput);
        if (c.kind == K::PerChannel) {
            EXPECT_EQ(got.channel, DataSampleIndex(c.dataChannel));
            EXPECT_EQ(got.channel, c.channel);
            EXPECT_EQ(got.copyFrom, c.copyFrom);
        }
    }
}

TEST(AutoVolume, StepsTowardSixtyToSeventyPercent)
{
    struct Case {
        int32_t valueMax, position, expected;
    } cases[] = {{32767, 10, 9}, {19660, 10, 11}, {19661, 10, 10}, {22936, 10, 10}, {22937, 10, 9}, {0, 0, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(AutoVolumeStep(c.valueMax, 32767, c.position), c.expected) << c.valueMax;
}

TEST(AutoVolume, SoundVolumeScalesAndSurvivesAnEmptyRange)
{
    EXPECT_EQ(ScaledSoundVolume(128, 255, 65535), 32896);
    EXPECT_EQ(ScaledSoundVolume(255, 255, 65535), 65535);
    EXPECT_EQ(ScaledSoundVolume(0, 0, 65535), 0);
}

TEST(ChannelSize, OnlyTheTwoStepsAreKept)
{
    EXPECT_EQ(ValidChannelSize(12500), 12500);
    EXPECT_EQ(ValidChannelSize(25000), 25000);
    for (int32_t bad : {0, -1, 6250, 100000})
        EXPECT_EQ(ValidChannelSize(bad), 25000) << bad;
}

TEST(HostLink, DetachGoesOutOnceAndThenNothing)
{
    LinkFixture f;
    EXPECT_EQ(f.link.Get(ORV_FREQUENCY), 450012500);
    EXPECT_EQ(f.host.calls.back().instance, ORV_NO_INSTANCE) << "not started yet";
    f.link.Started = true;
    f.link.Detach();
    ASSERT_EQ(f.host.calls.size(), 2u);
    EXPECT_EQ(f.host.calls[1], (HostCall{9, ORV_DETACH, 0, 8, "MPT1327", false, 0}));
    EXPECT_EQ(f.link.CallHost(ORV_SET_VOLUME, 3), ORV_NOT_ATTACHED);
    EXPECT_EQ(f.link.Get(ORV_FREQUENCY), ORV_NOT_ATTACHED);
    EXPECT_EQ(f.host.calls.size(), 2u);
}

TEST(Handles, AreSmallNeverZeroOrMinusOneAndNotReusedWhileHeld)
{
    TOrvHandleTable table;
    const OrvInstance a = table.Allocate();
    const OrvInstance b = table.Allocate();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    table.Release(a);
    EXPECT_FALSE(table.InUse(a));
    EXPECT_TRUE(table.InUse(b));
    // Wrapping round skips the held ones and never hands out 0 or -1.
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(table.Allocate(), b);
}

TEST(PluginName, CopyIsBoundedAndPadded)
{
    char buf[10];
    std::memset(buf, 'x', sizeof buf);
    OrvCopyName("MPT1327", buf, 9);
    EXPECT_EQ(std::string(buf, 10), std::string("MPT1327\0\0x", 10));
    OrvCopyName("MPT1327", nullptr, 9);  // no buffer: nothing written, no crash
}

}  // namespace
