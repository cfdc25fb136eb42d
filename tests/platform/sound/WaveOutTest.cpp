// Wave output on the scripted device: written buffers come back in order, refusals, reset.
#include "WaveTestKit.h"

#include "WaveOut.h"
#include "WaveScript.h"

using namespace platform;
using namespace wavetest;

namespace {

TEST(WaveOut, WrittenBuffersComeBackDoneInOrderAndCanBeWrittenAgain)
{
    auto script = std::make_shared<WaveScript>();
    setWaveScript(script);
    std::vector<std::vector<uint8_t>> mem(3, std::vector<uint8_t>(64));
    std::vector<WaveHeader> hdr(3);
    std::vector<uintptr_t> order;
    WaveOutHandle h = 0;
    ASSERT_EQ(waveOutOpen(&h, 0, WaveFormat::pcm(11025, 16, 1),
                          [&](WaveOutHandle handle, WaveHeader* x) {
                              EXPECT_EQ(x->flags & (kWaveHdrDone | kWaveHdrInQueue), kWaveHdrDone);
                              order.push_back(x->user);
                              if (order.size() < 6) {  // the playback ring: play the same buffer again
                                  EXPECT_EQ(waveOutWrite(handle, x), kWaveNoError);
                              }
                          }),
              kWaveNoError);
    for (size_t i = 0; i < 3; ++i) {
        hdr[i] = WaveHeader{mem[i].data(), 64, 0, i};
        EXPECT_EQ(waveOutWrite(h, &hdr[i]), kWaveUnprepared);
        ASSERT_EQ(waveOutPrepareHeader(h, &hdr[i]), kWaveNoError);
        ASSERT_EQ(waveOutWrite(h, &hdr[i]), kWaveNoError);
    }
    ASSERT_TRUE(pumpUntil([&] { return order.size() == 8; }));
    EXPECT_EQ(order, (std::vector<uintptr_t>{0, 1, 2, 0, 1, 2, 0, 1}));
    uint32_t pos = 0;
    EXPECT_EQ(waveOutGetPosition(h, &pos), kWaveNoError);
    EXPECT_EQ(pos, 8u * 64);
    EXPECT_EQ(waveOutClose(h), kWaveNoError);
    EXPECT_EQ(waveOutWrite(h, &hdr[0]), kWaveInvalidHandle);
    EXPECT_EQ(script->calls().front(), "out_open 0 11025 16 1 -> 0");
    EXPECT_EQ(script->calls().back(), "out_close -> 0");
    setWaveScript(nullptr);
}

TEST(WaveOut, PausedOutputHoldsItsBuffersUntilResetReturnsThem)
{
    auto script = std::make_shared<WaveScript>();
    setWaveScript(script);
    std::vector<uint8_t> a(32), b(32);
    WaveHeader ha{a.data(), 32}, hb{b.data(), 32};
    int done = 0;
    WaveOutHandle h = 0;
    ASSERT_EQ(waveOutOpen(&h, kWaveMapper, WaveFormat::pcm(8000, 8, 1), [&](WaveOutHandle, WaveHeader*) { ++done; }),
              kWaveNoError);
    ASSERT_EQ(waveOutPause(h), kWaveNoError);
    for (WaveHeader* x : {&ha, &hb}) {
        waveOutPrepareHeader(h, x);
        ASSERT_EQ(waveOutWrite(h, x), kWaveNoError);
    }
    EXPECT_EQ(waveOutWrite(h, &ha), kWaveStillPlaying);
    pumpFor(10);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(waveOutClose(h), kWaveStillPlaying);
    EXPECT_EQ(waveOutUnprepareHeader(h, &ha), kWaveStillPlaying);
    ASSERT_EQ(waveOutReset(h), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return done == 2; }));
    uint32_t pos = 1;
    waveOutGetPosition(h, &pos);
    EXPECT_EQ(pos, 0u);
    EXPECT_EQ(waveOutClose(h), kWaveNoError);
    setWaveScript(nullptr);
}

}  // namespace
