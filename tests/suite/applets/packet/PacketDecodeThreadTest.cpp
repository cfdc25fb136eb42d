// The decoding thread with a stand-in block decoder: blocks in order and whole, the two queue
// limits, the 500 ms hand-over wait, no busy waiting, a hand-back that never waits for the window,
// and ending the thread in the middle of a block. Also run under the thread sanitizer.
#include "Ax25.h"
#include "PacketDecodeThread.h"
#include "PacketDecoder.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Seen {
    std::mutex m;
    std::vector<int16_t> first;  // first sample of each block
    std::vector<bool> modes;
    bool whole = true;           // every block held consecutive samples
    size_t Count()
    {
        std::lock_guard g(m);
        return first.size();
    }
};

class FakeDecoder : public TPacketBlockDecoder {
public:
    FakeDecoder(TPacketOutput& out, Seen& seen) : out_(out), seen_(seen) {}
    void DecodeBlock(const int16_t* block, bool mode300) override
    {
        if (workMs.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(workMs.load()));
        if (emit.load()) {
            out_.StatusUpdate("Receiving", false);
            out_.TonesFound(block[0], block[0] + 200);
            out_.StatusUpdate(nullptr, true);
            out_.FramePrinted({{std::to_string(block[0]), 0, 0}});
        }
        // Counted once the block's output is handed over, so a count says that output is there too.
        {
            std::lock_guard g(seen_.m);
            seen_.first.push_back(block[0]);
            seen_.modes.push_back(mode300);
            for (size_t i = 1; i < TPacketDecodeThread::kBlockSamples; ++i)
                if (static_cast<int16_t>(block[i - 1] + 1) != block[i])
                    seen_.whole = false;
        }
    }
    bool Receiving() const override
    {
        if (holdMs.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs.load()));
        return receiving.load();
    }

    std::atomic<bool> receiving{false}, emit{false};
    std::atomic<int> workMs{0}, holdMs{0};

private:
    TPacketOutput& out_;
    Seen& seen_;
};

struct Rig {
    Seen seen;
    FakeDecoder* fake = nullptr;
    std::atomic<int> notified{0};
    TPacketDecodeThread thread{[this] { notified.fetch_add(1); },
                               [this](TPacketOutput& out) {
                                   auto d = std::make_unique<FakeDecoder>(out, seen);
                                   fake = d.get();
                                   return d;
                               }};
    int16_t next = 0;  // samples count up, wrapping
    std::vector<int16_t> Buffer(size_t n)
    {
        std::vector<int16_t> b(n);
        for (auto& v : b)
            v = next++;
        return b;
    }
    bool Add(size_t n)
    {
        const auto b = Buffer(n);
        return thread.AddAudio(b.data(), b.size());
    }
};

template <class F>
bool WaitFor(F done, std::chrono::milliseconds limit = 5000ms)
{
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end)
        std::this_thread::sleep_for(1ms);
    return done();
}

TEST(PacketDecodeThread, TakesWholeBlocksInOrderFromBuffersOfAnySize)
{
    Rig r;
    r.thread.Resume();
    for (size_t n : {1000u, 3u, 4093u, 8192u, 1u, 4096u, 2000u})  // 19385 samples: four blocks
        ASSERT_TRUE(r.Add(n));
    ASSERT_TRUE(WaitFor([&] { return r.seen.Count() == 4; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(r.seen.Count(), 4u);
    EXPECT_TRUE(r.seen.whole);
    EXPECT_EQ(r.seen.first, (std::vector<int16_t>{0, 4096, 8192, 12288}));
    EXPECT_EQ(r.thread.QueuedBytes(), (19385u - 4 * 4096u) * 2);
}

TEST(PacketDecodeThread, ModeIsReadForEveryBlock)
{
    Rig r;
    r.thread.Resume();
    for (bool mode : {false, true, true, false}) {
        r.thread.SetMode300(mode);
        const size_t before = r.seen.Count();
        ASSERT_TRUE(r.Add(4096));
        ASSERT_TRUE(WaitFor([&] { return r.seen.Count() == before + 1; }));
    }
    EXPECT_EQ(r.seen.modes, (std::vector<bool>{false, true, true, false}));
}

TEST(PacketDecodeThread, QueueLimits)
{
    struct Case {
        const char* what;
        bool receiving;
        size_t buffers, samples;  // buffers handed over while the thread is suspended
        size_t queuedBytes;       // what is kept: the newest
    };
    const std::vector<Case> cases = {
        {"below the idle limit everything is kept", false, 11, 4096, 11 * 8192},
        {"at the idle limit the queue stays there", false, 30, 4096, 0x18000},
        {"a buffer that crosses the idle limit is kept whole", false, 2, 45000, 180000},
        {"one more buffer after crossing cuts back to the limit", false, 3, 45000, 0x18000},
        {"during a frame the queue grows", true, 40, 4096, 40 * 8192},
        {"but not beyond 2 MiB", true, 300, 4096, 0x200000},
        {"a huge buffer keeps its newest 2 MiB", true, 1, 3000000, 0x200000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        r.fake->receiving = c.receiving;
        for (size_t i = 0; i < c.buffers; ++i)
            ASSERT_TRUE(r.Add(c.samples));
        ASSERT_EQ(r.thread.QueuedBytes(), c.queuedBytes);
        // The thread then sees the newest samples, without a gap.
        const size_t total = c.buffers * c.samples, kept = c.queuedBytes / 2;
        r.thread.Resume();
        ASSERT_TRUE(WaitFor([&] { return r.seen.Count() == kept / 4096; }));
        EXPECT_TRUE(r.seen.whole);
        EXPECT_EQ(r.seen.first.front(), static_cast<int16_t>(total - kept));
    }
}

TEST(PacketDecodeThread, HandOverGivesUpAfterHalfASecond)
{
    Rig r;
    const auto first = r.Buffer(10), second = r.Buffer(10);
    r.fake->holdMs = 1500;  // the first hand-over holds the lock that long
    std::thread slow([&] { r.thread.AddAudio(first.data(), first.size()); });
    std::this_thread::sleep_for(100ms);
    r.fake->holdMs = 0;
    const auto start = Clock::now();
    const bool taken = r.thread.AddAudio(second.data(), second.size());
    const auto waited = Clock::now() - start;
    slow.join();
    EXPECT_FALSE(taken);
    EXPECT_GE(waited, 450ms);
    EXPECT_LT(waited, 1300ms);
    EXPECT_EQ(r.thread.QueuedBytes(), 20u);  // the first buffer only
}

TEST(PacketDecodeThread, WaitsWithoutSpinningWhileLessThanABlockIsQueued)
{
    Rig r;
    r.thread.Resume();
    ASSERT_TRUE(r.Add(100));
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    std::this_thread::sleep_for(400ms);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    const double cpu = (b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) / 1e9;
    EXPECT_LT(cpu, 0.1);  // a spinning thread would use all of the 0.4 s
    ASSERT_TRUE(r.Add(3996));
    EXPECT_TRUE(WaitFor([&] { return r.seen.Count() == 1; }));
}

TEST(PacketDecodeThread, HandBackNeverWaitsForTheWindowAndKeepsOrder)
{
    Rig r;
    r.fake->emit = true;
    r.fake->receiving = true;  // nothing of the queue is dropped
    r.thread.Resume();
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(r.Add(4096));
    // Nobody collects: the thread goes on all the same and tells the window once.
    ASSERT_TRUE(WaitFor([&] { return r.seen.Count() == 50; }));
    EXPECT_EQ(r.notified.load(), 1);
    const auto out = r.thread.TakeOutput();
    ASSERT_EQ(out.size(), 100u);  // per block one folded status and one frame
    for (int i = 0; i < 50; ++i) {
        const TPacketEvent& s = out[2 * i];
        const TPacketEvent& f = out[2 * i + 1];
        ASSERT_EQ(s.Kind, TPacketEvent::Status);
        EXPECT_TRUE(s.HasText);
        EXPECT_EQ(s.Text, "Receiving");
        EXPECT_TRUE(s.Repaint);
        EXPECT_TRUE(s.HasTones);
        EXPECT_EQ(s.Lower, static_cast<int16_t>(i * 4096));
        ASSERT_EQ(f.Kind, TPacketEvent::Frame);
        ASSERT_EQ(f.Items.size(), 1u);
        EXPECT_EQ(f.Items[0].Text, std::to_string(static_cast<int16_t>(i * 4096)));
    }
    EXPECT_TRUE(r.thread.TakeOutput().empty());
    // After a collection the next output tells the window again.
    ASSERT_TRUE(r.Add(4096));
    ASSERT_TRUE(WaitFor([&] { return r.notified.load() == 2; }));
}

TEST(PacketDecodeThread, EndsInTheMiddleOfDecodingAndHandsNothingBackAfter)
{
    for (int round = 0; round < 20; ++round) {
        Rig r;
        r.fake->emit = true;
        r.fake->workMs = 20;
        r.thread.Resume();
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(r.Add(4096));
        ASSERT_TRUE(WaitFor([&] { return r.seen.Count() >= 1; }));
        const auto start = Clock::now();
        r.thread.Terminate();
        EXPECT_LT(Clock::now() - start, 1000ms);
        EXPECT_LT(r.seen.Count(), 20u);
        const int told = r.notified.load();
        r.thread.TakeOutput();
        ASSERT_TRUE(r.Add(4096));  // the window may still hand over sound; it is never decoded
        std::this_thread::sleep_for(30ms);
        EXPECT_EQ(r.notified.load(), told);
        r.thread.Terminate();  // a second time does nothing
    }
    // A thread never resumed ends at once too.
    Rig idle;
    ASSERT_TRUE(idle.Add(5000));
    idle.thread.Terminate();
    EXPECT_EQ(idle.seen.Count(), 0u);
}

TEST(PacketDecodeThreadWithDecoder, EndingWhileAFrameIsBeingDecodedAHundredTimes)
{
    // The real demodulators on a long frame; the "window" collects from its own thread, as the GUI
    // thread does, and the thread is ended at a different point of the frame each time.
    namespace ax = siggen::ax25;
    const auto frame = ax::encode(ax::uiFrame("N0CALL", "CQ", std::string(250, 'x')));
    std::vector<int16_t> pcm;
    for (double x : ax::modulate({ax::withFcs(frame)}, ax::afskFor(1200)))
        pcm.push_back(siggen::toPcm16(x));
    for (int round = 0; round < 100; ++round) {
        int printed = 0;  // the window's thread alone counts, until it is joined
        std::atomic<int> told{0};
        TPacketDecodeThread thread([&] { told.fetch_add(1); }, MakePacketDecoder);
        thread.SetMode300(round % 4 == 3);
        thread.Resume();
        std::atomic<bool> collecting{true};
        std::thread window([&] {
            while (collecting.load()) {
                for (const TPacketEvent& e : thread.TakeOutput())
                    printed += e.Kind == TPacketEvent::Frame;
                std::this_thread::sleep_for(1ms);
            }
        });
        const size_t upTo = pcm.size() * static_cast<size_t>(round % 10 + 1) / 10;
        for (size_t at = 0; at + 4096 <= upTo; at += 4096)
            thread.AddAudio(pcm.data() + at, 4096);
        if (round % 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
        const auto start = Clock::now();
        thread.Terminate();
        EXPECT_LT(Clock::now() - start, 2000ms);
        collecting = false;
        window.join();
        // One frame went in: ending part-way may lose it, never print it twice or make up another.
        EXPECT_LE(printed, 1) << "round " << round;
        const int before = told.load();
        thread.AddAudio(pcm.data(), 4096);
        std::this_thread::sleep_for(2ms);
        EXPECT_EQ(told.load(), before);
    }
}

}  // namespace
