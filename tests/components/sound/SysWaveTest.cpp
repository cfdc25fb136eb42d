// The wave component against the scripted device: the capture ring, closing, opening with
// retries, the playback buffers, the setters; and one run on the WAV-file device.
#include "QelSysWave.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <set>

#include "TestSupport.h"
#include "WaveTestKit.h"
#include "platform/clock/Clock.h"
#include "platform/sound/WaveScript.h"
#include "platform/ui/MessageBox.h"

using namespace platform;

namespace {

using wavetest::pumpFor;
using wavetest::pumpUntil;
using wavetest::ramp16;

size_t countCalls(const std::vector<std::string>& calls, const std::string& prefix)
{
    return size_t(std::count_if(calls.begin(), calls.end(),
                                [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

// Device calls that refuse chosen adds or writes (1-based call numbers), else pass through.
struct RefusingCalls {
    static inline std::vector<int> refuseAdds, refuseWrites;
    static inline int adds = 0, writes = 0;
    static uint32_t Add(WaveInHandle h, WaveHeader* hdr)
    {
        ++adds;
        if (std::find(refuseAdds.begin(), refuseAdds.end(), adds) != refuseAdds.end())
            return kWaveStillPlaying;
        return waveInAddBuffer(h, hdr);
    }
    static uint32_t Write(WaveOutHandle h, WaveHeader* hdr)
    {
        ++writes;
        if (std::find(refuseWrites.begin(), refuseWrites.end(), writes) != refuseWrites.end())
            return kWaveInvalidParam;
        return waveOutWrite(h, hdr);
    }
};

class SysWave : public ::testing::Test {
protected:
    void SetUp() override
    {
        script = std::make_shared<WaveScript>();
        setWaveScript(script);
        RefusingCalls::refuseAdds.clear();
        RefusingCalls::refuseWrites.clear();
        RefusingCalls::adds = RefusingCalls::writes = 0;
    }
    void TearDown() override
    {
        wave.reset();
        TQelSysWave::SetDeviceCalls({});
        setWaveScript(nullptr);
    }
    void refuse(std::vector<int> adds, std::vector<int> writes = {})
    {
        RefusingCalls::refuseAdds = std::move(adds);
        RefusingCalls::refuseWrites = std::move(writes);
        TQelSysWave::SetDeviceCalls({&RefusingCalls::Add, &RefusingCalls::Write});
    }
    // 16-bit mono capture of `count` buffers of `bytes` bytes, every event recorded.
    void makeCapture(uint32_t count, uint32_t bytes)
    {
        wave = std::make_unique<TQelSysWave>();
        wave->SetBitsPerSample(16);
        wave->SetInBufferSize(bytes);
        wave->SetInBuffersNum(count);
        wave->SetOpenMode(swomInput);
        wave->OnWaveInData = [this](TQelSysWave* sender, uint8_t* data, uint32_t length) {
            EXPECT_EQ(sender, wave.get());
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            pointers.push_back(data);
            lengths.push_back(length);
            got.insert(got.end(), data, data + length);
        };
    }

    FakeClock fake;
    ScopedClock scopedClock{fake};
    MessageBoxRecorder boxes;
    std::shared_ptr<WaveScript> script;
    std::unique_ptr<TQelSysWave> wave;
    std::vector<uint8_t*> pointers;
    std::vector<uint32_t> lengths;
    std::vector<uint8_t> got;
};

TEST_F(SysWave, CaptureBuffersComeBackInOrderAndAreQueuedAgain)
{
    script->samples = ramp16(50);  // five buffers of 20 bytes
    makeCapture(4, 20);
    ASSERT_EQ(wave->Open(), 0u);
    EXPECT_TRUE(wave->GetActive());
    ASSERT_TRUE(pumpUntil([&] { return got.size() >= 100; }));
    pumpFor(20);

    EXPECT_EQ(got, script->samples);
    EXPECT_EQ(lengths, std::vector<uint32_t>(5, 20));
    ASSERT_EQ(pointers.size(), 5u);
    // The ring goes round: buffer 0 comes back first and again fifth.
    EXPECT_EQ(std::set<uint8_t*>(pointers.begin(), pointers.begin() + 4).size(), 4u);
    EXPECT_EQ(pointers[4], pointers[0]);
    EXPECT_EQ(wave->InQueued(), 4u);
    EXPECT_EQ(countCalls(script->calls(), "add 20 -> 0"), 4u + 5u);
    EXPECT_EQ(wave->Format().blockAlign, 2);
    EXPECT_EQ(wave->Format().avgBytesPerSec, 22050u);
}

TEST_F(SysWave, CloseReturnsOnlyWhenEveryBufferIsBackAndFiresNothingAfter)
{
    script->silenceAtEnd = true;  // the device never runs dry
    makeCapture(6, 64);
    ASSERT_EQ(wave->Open(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return pointers.size() >= 10; }));

    const size_t before = pointers.size();
    script->clearCalls();
    wave->Close();
    EXPECT_EQ(pointers.size(), before) << "no event while closing";
    EXPECT_EQ(wave->InQueued(), 0u);
    EXPECT_FALSE(wave->GetActive());
    const auto calls = script->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "reset -> 0");
    EXPECT_EQ(countCalls(calls, "unprepare 64 -> 0"), 6u);
    EXPECT_EQ(calls.back(), "close -> 0") << "every buffer was back before the close";

    pumpFor(30);
    EXPECT_EQ(pointers.size(), before);
}

TEST_F(SysWave, OpenTriesElevenTimesWithTenPausesBeforeTheBox)
{
    struct Case {
        uint32_t failures;
        uint32_t result;
        size_t pauses;
        size_t boxes;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {10, 0, 10, 0},                 // the eleventh attempt succeeds
        {11, kWaveAllocated, 10, 1},    // all fail: ten pauses, then the box
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failures);
        script = std::make_shared<WaveScript>();
        script->failOpens = c.failures;
        setWaveScript(script);
        fake.clearSleeps();
        MessageBoxRecorder rec;
        makeCapture(2, 8);
        EXPECT_EQ(wave->Open(), c.result);
        EXPECT_EQ(fake.sleeps(), std::vector<int>(c.pauses, 200));
        EXPECT_EQ(countCalls(script->calls(), "open "), std::min<size_t>(c.failures + 1, 11));
        ASSERT_EQ(rec.boxes().size(), c.boxes);
        EXPECT_EQ(wave->GetActive(), c.result == 0);
        if (c.boxes) {
            EXPECT_EQ(rec.boxes()[0].caption, "Wave In Error!");
            EXPECT_EQ(rec.boxes()[0].flags & MB_ICONMASK, MB_ICONERROR);
            EXPECT_FALSE(rec.boxes()[0].text.empty());
        }
        wave.reset();
    }
}

TEST_F(SysWave, TryOpenMakesOneAttemptWithoutABox)
{
    script->failOpens = 2;
    makeCapture(2, 8);
    EXPECT_EQ(wave->TryOpen(), kWaveAllocated);
    EXPECT_EQ(wave->TryOpen(), kWaveAllocated);
    EXPECT_EQ(wave->TryOpen(), 0u);
    EXPECT_TRUE(wave->GetActive());
    EXPECT_EQ(countCalls(script->calls(), "open "), 3u);
    EXPECT_TRUE(fake.sleeps().empty());
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(SysWave, FailedOutputOpenShowsItsBoxAndLeavesInputUntried)
{
    wave = std::make_unique<TQelSysWave>();
    wave->SetOpenMode(swomBoth);
    wave->SetSamplesPerSec(0);  // no device takes it
    EXPECT_EQ(wave->Open(), kWaveBadFormat);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Wave Out Error!");
    EXPECT_EQ(fake.sleeps().size(), 10u);
    EXPECT_EQ(countCalls(script->calls(), "open "), 0u);
    EXPECT_FALSE(wave->GetActive());
}

TEST_F(SysWave, RefusedAddsAreNotWaitedForByClose)
{
    script->silenceAtEnd = true;
    refuse({2, 7});  // one at the open, one when a buffer is queued again
    makeCapture(4, 16);
    ASSERT_EQ(wave->Open(), 0u);
    EXPECT_EQ(wave->InQueued(), 3u);
    ASSERT_TRUE(pumpUntil([&] { return pointers.size() >= 8; }));
    EXPECT_EQ(wave->InQueued(), 2u);
    EXPECT_EQ(std::set<uint8_t*>(pointers.begin(), pointers.end()).size(), 3u);

    wave->Close();  // would wait for ever for the two refused buffers
    EXPECT_EQ(wave->InQueued(), 0u);
    EXPECT_EQ(script->calls().back(), "close -> 0");
}

TEST_F(SysWave, OpenInsideCloseOrInsideTheErrorBoxOpensNothing)
{
    script->silenceAtEnd = true;
    makeCapture(4, 16);
    ASSERT_EQ(wave->Open(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return pointers.size() >= 4; }));

    // An owner's timer that fires while the close waits for the buffers.
    int nested = -1;
    QTimer::singleShot(0, [&] { nested = int(wave->Open()); });
    wave->Close();
    EXPECT_EQ(nested, 0);
    EXPECT_FALSE(wave->GetActive());
    EXPECT_EQ(countCalls(script->calls(), "open "), 1u);

    // The same timer firing inside the error box of a failed open.
    script->failOpens = 11;
    bool closedInside = false;
    MessageBox::SetHandler([&](const std::string&, const std::string&, unsigned) {
        EXPECT_EQ(wave->Open(), 0u);
        wave->Close();
        closedInside = true;
        return IDOK;
    });
    EXPECT_EQ(wave->Open(), kWaveAllocated);
    MessageBox::SetHandler({});
    EXPECT_TRUE(closedInside);
    EXPECT_EQ(countCalls(script->calls(), "open "), 1u + 11u) << "the nested open tried nothing";
    EXPECT_FALSE(wave->GetActive());
}

TEST_F(SysWave, FormatChangeWhileCapturingDrainsAndReopens)
{
    script->silenceAtEnd = true;
    makeCapture(3, 32);
    ASSERT_EQ(wave->Open(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return pointers.size() >= 3; }));
    script->clearCalls();

    wave->SetSamplesPerSec(22050);
    const auto calls = script->calls();
    const auto close = std::find(calls.begin(), calls.end(), "close -> 0");
    ASSERT_NE(close, calls.end());
    EXPECT_EQ(std::count(calls.begin(), close, "unprepare 32 -> 0"), 3);
    const auto reopen = std::find(close, calls.end(), "open -1 22050 16 1 -> 0");
    ASSERT_NE(reopen, calls.end());
    EXPECT_EQ(std::count(reopen, calls.end(), "add 32 -> 0"), 3);
    EXPECT_TRUE(wave->GetActive());
    EXPECT_EQ(wave->InQueued(), 3u);
    EXPECT_EQ(wave->Format().avgBytesPerSec, 44100u);
}

TEST_F(SysWave, NothingToOpenOrNoBuffers)
{
    makeCapture(0, 16);
    wave->SetOpenMode(swomNone);
    EXPECT_EQ(wave->Open(), 0u);
    EXPECT_FALSE(wave->GetActive());
    EXPECT_TRUE(script->calls().empty());

    script->samples = ramp16(64);
    wave->SetOpenMode(swomInput);
    EXPECT_EQ(wave->Open(), 0u);
    EXPECT_TRUE(wave->GetActive());
    pumpFor(20);
    wave->Close();  // nothing queued, nothing to wait for
    EXPECT_TRUE(pointers.empty());
    EXPECT_EQ(script->calls(), (std::vector<std::string>{"open -1 11025 16 1 -> 0", "start -> 0", "reset -> 0",
                                                         "close -> 0"}));
}

TEST_F(SysWave, SettersClamp)
{
    wave = std::make_unique<TQelSysWave>();
    EXPECT_EQ(wave->InDeviceNames, std::vector<std::string>{"Scripted input"});
    EXPECT_EQ(wave->OutDeviceNames, std::vector<std::string>{"Scripted output"});

    struct Case {
        const char* what;
        std::function<void(TQelSysWave&)> set;
        std::function<int64_t(const TQelSysWave&)> get;
        int64_t expected;
    };
    auto bits = [](const TQelSysWave& w) { return int64_t(w.BitsPerSample()); };
    auto channels = [](const TQelSysWave& w) { return int64_t(w.ChannelsNum()); };
    auto inSize = [](const TQelSysWave& w) { return int64_t(w.InBufferSize()); };
    auto outSize = [](const TQelSysWave& w) { return int64_t(w.OutBufferSize()); };
    auto inId = [](const TQelSysWave& w) { return int64_t(w.DeviceInID()); };
    auto outId = [](const TQelSysWave& w) { return int64_t(w.DeviceOutID()); };
    const Case cases[] = {
        {"bits 12 ignored", [](TQelSysWave& w) { w.SetBitsPerSample(12); }, bits, 8},
        {"bits 16", [](TQelSysWave& w) { w.SetBitsPerSample(16); }, bits, 16},
        {"bits 0 ignored", [](TQelSysWave& w) { w.SetBitsPerSample(0); }, bits, 16},
        {"channels 3 ignored", [](TQelSysWave& w) { w.SetChannelsNum(3); }, channels, 1},
        {"channels 2", [](TQelSysWave& w) { w.SetChannelsNum(2); }, channels, 2},
        {"in size 8190", [](TQelSysWave& w) { w.SetInBufferSize(8190); }, inSize, 8192},
        {"in size 8192", [](TQelSysWave& w) { w.SetInBufferSize(8192); }, inSize, 8192},
        {"in size 1", [](TQelSysWave& w) { w.SetInBufferSize(1); }, inSize, 4},
        {"in size 0", [](TQelSysWave& w) { w.SetInBufferSize(0); }, inSize, 0},
        {"out size 1025", [](TQelSysWave& w) { w.SetOutBufferSize(1025); }, outSize, 1028},
        {"in device 7 of one", [](TQelSysWave& w) { w.SetDeviceInID(7); }, inId, 0},
        {"in device 1 of one", [](TQelSysWave& w) { w.SetDeviceInID(1); }, inId, 0},
        {"in device -1", [](TQelSysWave& w) { w.SetDeviceInID(-1); }, inId, -1},
        {"out device 3 of one", [](TQelSysWave& w) { w.SetDeviceOutID(3); }, outId, 0},
        {"rate any", [](TQelSysWave& w) { w.SetSamplesPerSec(7); },
         [](const TQelSysWave& w) { return int64_t(w.SamplesPerSec()); }, 7},
        {"buffers any", [](TQelSysWave& w) { w.SetInBuffersNum(100000); },
         [](const TQelSysWave& w) { return int64_t(w.InBuffersNum()); }, 100000},
    };
    for (const Case& c : cases) {
        c.set(*wave);
        EXPECT_EQ(c.get(*wave), c.expected) << c.what;
    }
    // 16-bit stereo at 7 Hz.
    EXPECT_EQ(wave->Format().blockAlign, 4);
    EXPECT_EQ(wave->Format().avgBytesPerSec, 28u);
    EXPECT_TRUE(script->calls().empty()) << "inactive setters open nothing";
}

TEST_F(SysWave, DeviceNumberWithNoDeviceBecomesThePreferredOne)
{
    setWaveScript(nullptr);
    testsupport::ScopedEnv noFile("WAVE_IN_FILE", "");
    TQelSysWave w;
    if (!w.InDeviceNames.empty())
        GTEST_SKIP() << "this machine has a capture device";
    w.SetDeviceInID(5);
    EXPECT_EQ(w.DeviceInID(), -1);
}

TEST_F(SysWave, PlaybackBuffersAreLentAndReturned)
{
    wave = std::make_unique<TQelSysWave>();
    wave->SetOutBuffersNum(2);
    wave->SetOutBufferSize(16);
    wave->SetOpenMode(swomOutput);
    EXPECT_EQ(wave->GetFreeOutBuffer(), nullptr) << "closed";
    ASSERT_EQ(wave->Open(), 0u);

    uint8_t* first = wave->GetFreeOutBuffer();
    ASSERT_NE(first, nullptr);
    wave->WriteBuffer(first);
    uint8_t* second = wave->GetFreeOutBuffer();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first) << "the written one is in use";
    wave->WriteBuffer(second);
    EXPECT_EQ(wave->GetFreeOutBuffer(), nullptr) << "both in use until they come back";
    uint8_t stranger[16] = {};
    wave->WriteBuffer(stranger);  // not ours: nothing happens
    EXPECT_EQ(countCalls(script->calls(), "out_write 16 -> 0"), 2u);

    ASSERT_TRUE(pumpUntil([&] { return wave->GetFreeOutBuffer() == first; }));
}

TEST_F(SysWave, DoneBufferPlaysAgainWhileTheOwnerAsks)
{
    wave = std::make_unique<TQelSysWave>();
    wave->SetOutBuffersNum(1);
    wave->SetOutBufferSize(8);
    wave->SetOpenMode(swomOutput);
    int replays = 3;
    std::vector<uint8_t*> done;
    wave->OnWaveOutDone = [&](TQelSysWave* sender, uint8_t* data) {
        EXPECT_EQ(sender, wave.get());
        done.push_back(data);
        EXPECT_EQ(wave->GetFreeOutBuffer(), nullptr) << "still marked while the owner decides";
        return replays-- > 0;
    };
    ASSERT_EQ(wave->Open(), 0u);
    uint8_t* buffer = wave->GetFreeOutBuffer();
    wave->WriteBuffer(buffer);
    ASSERT_TRUE(pumpUntil([&] { return done.size() == 4; }));
    EXPECT_EQ(done, std::vector<uint8_t*>(4, buffer));
    EXPECT_EQ(countCalls(script->calls(), "out_write 8 -> 0"), 4u);
    EXPECT_EQ(wave->GetFreeOutBuffer(), buffer);
}

TEST_F(SysWave, RefusedWriteLeavesTheBufferFreeAndCloseReturns)
{
    refuse({}, {1, 4});  // the first write, and the second replay
    wave = std::make_unique<TQelSysWave>();
    wave->SetOutBuffersNum(2);
    wave->SetOutBufferSize(8);
    wave->SetOpenMode(swomOutput);
    int done = 0;
    wave->OnWaveOutDone = [&](TQelSysWave*, uint8_t*) { return ++done < 10; };
    ASSERT_EQ(wave->Open(), 0u);
    uint8_t* first = wave->GetFreeOutBuffer();
    wave->WriteBuffer(first);
    EXPECT_EQ(wave->GetFreeOutBuffer(), first) << "refused, so not in use";
    wave->WriteBuffer(first);
    ASSERT_TRUE(pumpUntil([&] { return done >= 2; }));
    EXPECT_EQ(done, 2) << "the refused replay ends the cycle";
    EXPECT_EQ(wave->GetFreeOutBuffer(), first);
    wave->Close();
    EXPECT_FALSE(wave->GetActive());
    EXPECT_EQ(script->calls().back(), "out_close -> 0");
}

TEST_F(SysWave, BuffersReturningDuringDestructionDoNotReachTheOwner)
{
    script->silenceAtEnd = true;
    makeCapture(4, 16);
    wave->SetOutBuffersNum(2);
    wave->SetOutBufferSize(16);
    wave->SetOpenMode(swomBoth);
    bool destroying = false;
    int outEvents = 0;
    wave->OnWaveOutDone = [&](TQelSysWave*, uint8_t*) {
        EXPECT_FALSE(destroying) << "event during destruction";
        ++outEvents;
        return true;  // keep both playing for ever
    };
    ASSERT_EQ(wave->Open(), 0u);
    wave->WriteBuffer(wave->GetFreeOutBuffer());
    wave->WriteBuffer(wave->GetFreeOutBuffer());
    ASSERT_TRUE(pumpUntil([&] { return outEvents >= 6 && pointers.size() >= 4; }));
    const size_t inEvents = pointers.size();

    destroying = true;
    wave.reset();
    EXPECT_EQ(pointers.size(), inEvents);
    const auto calls = script->calls();
    EXPECT_EQ(calls.back(), "out_close -> 0");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "close -> 0"), calls.end());
    pumpFor(20);
}

TEST(SysWaveFile, CaptureFromTheWavFileDeviceDeliversTheFileExactly)
{
    setWaveScript(nullptr);
    testsupport::TempDir dir;
    const WaveFormat format = WaveFormat::pcm(11025, 16, 2);
    const std::vector<uint8_t> data = ramp16(2 * 5000);  // 5000 stereo frames, not a whole number of buffers
    const auto file = dir / "capture.wav";
    testsupport::writeBytes(file, wavetest::wavBytes(format, data));
    testsupport::ScopedEnv in("WAVE_IN_FILE", file.string());
    testsupport::ScopedEnv pace("WAVE_IN_PACE", "fast");
    testsupport::ScopedEnv eof("WAVE_IN_EOF_FILE", (dir / "eof").string());

    TQelSysWave wave;
    ASSERT_FALSE(wave.InDeviceNames.empty());
    EXPECT_EQ(wave.InDeviceNames[0], "WAV file capture.wav");
    wave.SetBitsPerSample(16);
    wave.SetChannelsNum(2);
    wave.SetSamplesPerSec(11025);
    wave.SetInBufferSize(4096);
    wave.SetInBuffersNum(8);
    wave.SetDeviceInID(0);
    wave.SetOpenMode(swomInput);
    std::vector<uint8_t> got;
    wave.OnWaveInData = [&](TQelSysWave*, uint8_t* p, uint32_t n) { got.insert(got.end(), p, p + n); };
    MessageBoxRecorder boxes;
    ASSERT_EQ(wave.Open(), 0u);
    ASSERT_TRUE(pumpUntil([&] { return got.size() >= data.size() + 4096; }));
    wave.Close();
    EXPECT_TRUE(boxes.boxes().empty());
    ASSERT_GE(got.size(), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), got.begin())) << "the file's samples, in order";
    EXPECT_TRUE(std::all_of(got.begin() + long(data.size()), got.end(), [](uint8_t b) { return b == 0; }))
        << "silence after the end";
    EXPECT_TRUE(std::filesystem::exists(dir / "eof"));
}

}  // namespace
