// The buffer queue of an input handle, on the scripted device: refusals, stop, reset, close.
#include "WaveTestKit.h"

#include "TestSupport.h"
#include "WaveIn.h"
#include "WaveScript.h"

using namespace platform;
using namespace wavetest;
using testsupport::ScopedEnv;

namespace {

const WaveFormat kMono16 = WaveFormat::pcm(11025, 16, 1);

class WaveQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        script = std::make_shared<WaveScript>();
        script->samples = ramp16(150);  // 300 bytes, then nothing more
        setWaveScript(script);
    }
    void TearDown() override { setWaveScript(nullptr); }
    std::shared_ptr<WaveScript> script;
};

TEST_F(WaveQueue, RefusesAQueuedBufferAnUnpreparedOneAndBadHeaders)
{
    Capture cap(1, 1000);
    ASSERT_EQ(cap.open(kMono16), kWaveNoError);
    WaveHeader& h = cap.headers[0];
    EXPECT_EQ(waveInAddBuffer(cap.handle, &h), kWaveUnprepared);
    ASSERT_EQ(waveInPrepareHeader(cap.handle, &h), kWaveNoError);
    EXPECT_TRUE(h.flags & kWaveHdrPrepared);
    ASSERT_EQ(waveInAddBuffer(cap.handle, &h), kWaveNoError);
    EXPECT_TRUE(h.flags & kWaveHdrInQueue);
    EXPECT_EQ(waveInAddBuffer(cap.handle, &h), kWaveStillPlaying);
    EXPECT_EQ(waveInUnprepareHeader(cap.handle, &h), kWaveStillPlaying);
    EXPECT_EQ(waveInClose(cap.handle), kWaveStillPlaying) << "close waits for the queued buffers";

    WaveHeader empty;
    EXPECT_EQ(waveInPrepareHeader(cap.handle, &empty), kWaveInvalidParam);
    EXPECT_EQ(waveInAddBuffer(cap.handle, nullptr), kWaveInvalidParam);

    ASSERT_EQ(waveInReset(cap.handle), kWaveNoError);
    EXPECT_EQ(waveInUnprepareHeader(cap.handle, &h), kWaveNoError);
    EXPECT_FALSE(h.flags & kWaveHdrPrepared);
    EXPECT_EQ(waveInClose(cap.handle), kWaveNoError);
}

TEST_F(WaveQueue, EveryCallOnAClosedOrUnknownHandleIsRefused)
{
    Capture cap(1, 100);
    ASSERT_EQ(cap.open(kMono16), kWaveNoError);
    const WaveInHandle closed = cap.handle;
    ASSERT_EQ(waveInClose(closed), kWaveNoError);
    cap.handle = 0;
    WaveHeader& h = cap.headers[0];
    uint32_t pos = 0;
    for (WaveInHandle handle : {closed, WaveInHandle(0), WaveInHandle(0xDEAD)}) {
        EXPECT_EQ(waveInStart(handle), kWaveInvalidHandle);
        EXPECT_EQ(waveInStop(handle), kWaveInvalidHandle);
        EXPECT_EQ(waveInReset(handle), kWaveInvalidHandle);
        EXPECT_EQ(waveInPrepareHeader(handle, &h), kWaveInvalidHandle);
        EXPECT_EQ(waveInAddBuffer(handle, &h), kWaveInvalidHandle);
        EXPECT_EQ(waveInGetPosition(handle, &pos), kWaveInvalidHandle);
        EXPECT_EQ(waveInClose(handle), kWaveInvalidHandle);
    }
    EXPECT_EQ(h.flags, 0u);
}

TEST_F(WaveQueue, StopReturnsThePartlyFilledBufferAndKeepsTheEmptyOnes)
{
    Capture cap(2, 1000);
    cap.requeue = false;
    ASSERT_EQ(cap.open(kMono16), kWaveNoError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.position() == 300; }));
    EXPECT_TRUE(cap.lengths.empty()) << "a buffer is not done before it is full";
    ASSERT_EQ(waveInStop(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.lengths.size() == 1; }));
    EXPECT_EQ(cap.lengths[0], 300u);
    EXPECT_EQ(cap.order[0], 0u);
    EXPECT_EQ(cap.bytes, ramp16(150));
    pumpFor(10);
    EXPECT_EQ(cap.lengths.size(), 1u);
    EXPECT_TRUE(cap.headers[1].flags & kWaveHdrInQueue);
    EXPECT_EQ(cap.position(), 300u) << "stop keeps the position";
    EXPECT_EQ(waveInClose(cap.handle), kWaveStillPlaying);
}

TEST_F(WaveQueue, ResetReturnsEveryQueuedBufferDoneAndClearsThePosition)
{
    Capture cap(3, 200);
    cap.requeue = false;
    ASSERT_EQ(cap.open(kMono16), kWaveNoError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.position() == 300; }));  // one full buffer, one half
    ASSERT_EQ(waveInReset(cap.handle), kWaveNoError);
    for (auto& h : cap.headers)
        EXPECT_EQ(h.flags & (kWaveHdrDone | kWaveHdrInQueue), kWaveHdrDone);
    EXPECT_EQ(cap.position(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return cap.lengths.size() == 3; }));
    EXPECT_EQ(cap.lengths, (std::vector<uint32_t>{200, 100, 0}));
    EXPECT_EQ(cap.order, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(cap.bytes, ramp16(150));
    EXPECT_EQ(waveInClose(cap.handle), kWaveNoError);
    cap.handle = 0;
}

TEST_F(WaveQueue, NoEventRunsAfterCloseEvenForBuffersAlreadyFinished)
{
    int events = 0;
    WaveInHandle h = 0;
    ASSERT_EQ(waveInOpen(&h, kWaveMapper, kMono16, [&](WaveInHandle, WaveHeader*) { ++events; }), kWaveNoError);
    std::vector<uint8_t> a(100), b(100);
    WaveHeader ha{a.data(), 100}, hb{b.data(), 100};
    for (WaveHeader* x : {&ha, &hb}) {
        waveInPrepareHeader(h, x);
        waveInAddBuffer(h, x);
    }
    waveInStart(h);
    // Wait without running the event loop until the device has filled both buffers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!(hb.flags & kWaveHdrDone) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(hb.flags & kWaveHdrDone);
    ASSERT_EQ(waveInClose(h), kWaveNoError);
    pumpFor(20);
    EXPECT_EQ(events, 0);
}

TEST_F(WaveQueue, NoEventRunsOnceTheContextObjectIsGone)
{
    int events = 0;
    auto context = std::make_unique<QObject>();
    WaveInHandle h = 0;
    ASSERT_EQ(waveInOpen(&h, 0, kMono16, [&](WaveInHandle, WaveHeader*) { ++events; }, context.get()), kWaveNoError);
    std::vector<uint8_t> a(100);
    WaveHeader ha{a.data(), 100};
    waveInPrepareHeader(h, &ha);
    waveInAddBuffer(h, &ha);
    waveInStart(h);
    context.reset();
    ASSERT_TRUE(pumpUntil([&] { return (ha.flags & kWaveHdrDone) != 0; }));
    pumpFor(10);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(waveInClose(h), kWaveNoError);
}

TEST_F(WaveQueue, TheEventMayCloseTheHandleAndLaterBuffersAreNotDelivered)
{
    int events = 0;
    WaveInHandle h = 0;
    ASSERT_EQ(waveInOpen(&h, 0, kMono16,
                         [&](WaveInHandle handle, WaveHeader*) {
                             ++events;
                             waveInReset(handle);
                             EXPECT_EQ(waveInClose(handle), kWaveNoError);
                         }),
              kWaveNoError);
    std::vector<uint8_t> a(100), b(100), c(100);
    WaveHeader ha{a.data(), 100}, hb{b.data(), 100}, hc{c.data(), 100};
    for (WaveHeader* x : {&ha, &hb, &hc}) {
        waveInPrepareHeader(h, x);
        waveInAddBuffer(h, x);
    }
    waveInStart(h);
    ASSERT_TRUE(pumpUntil([&] { return events > 0; }));
    pumpFor(10);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(waveInStart(h), kWaveInvalidHandle);
}

TEST_F(WaveQueue, ABufferRequeuedFromTheEventIsFilledAgain)
{
    script->samples = ramp16(1000);
    Capture cap(1, 100);
    ASSERT_EQ(cap.open(kMono16), kWaveNoError);
    cap.queueAll();
    waveInStart(cap.handle);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() == 2000; }));
    EXPECT_EQ(cap.bytes, ramp16(1000));
    EXPECT_EQ(cap.lengths.size(), 20u);
}

}  // namespace
