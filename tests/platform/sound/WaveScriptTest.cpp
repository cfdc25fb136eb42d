// The scripted device, in-process and through WAVE_IN_SCRIPT, and which devices exist.
#include "WaveTestKit.h"

#include "TestSupport.h"
#include "WaveIn.h"
#include "WaveOut.h"
#include "WaveScript.h"

#include <filesystem>

using namespace platform;
using namespace wavetest;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

const WaveFormat kStereo16 = WaveFormat::pcm(44100, 16, 2);

class WaveDevices : public ::testing::Test {
protected:
    void SetUp() override { setWaveScript(nullptr); }
    void TearDown() override { setWaveScript(nullptr); }
    TempDir dir;
    ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    ScopedEnv noFile{"WAVE_IN_FILE", ""};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
};

TEST_F(WaveDevices, TheScriptFailsTheFirstOpensAndRecordsEveryCall)
{
    auto script = std::make_shared<WaveScript>();
    script->failOpens = 2;
    script->failCode = kWaveBadFormat;
    script->addValues({100, -100, 200, -200});
    setWaveScript(script);

    Capture cap(1, 8);
    cap.requeue = false;
    EXPECT_EQ(cap.open(kStereo16), kWaveBadFormat);
    EXPECT_EQ(cap.handle, 0u);
    EXPECT_EQ(cap.open(kStereo16, 0), kWaveBadFormat);
    ASSERT_EQ(cap.open(kStereo16, 0), kWaveNoError);
    cap.queueAll();
    EXPECT_EQ(waveInAddBuffer(cap.handle, &cap.headers[0]), kWaveStillPlaying);
    waveInStart(cap.handle);
    ASSERT_TRUE(pumpUntil([&] { return cap.lengths.size() == 1; }));
    EXPECT_EQ(cap.bytes, (std::vector<uint8_t>{100, 0, 0x9C, 0xFF, 200, 0, 0x38, 0xFF}));
    waveInStop(cap.handle);
    waveInReset(cap.handle);
    waveInUnprepareHeader(cap.handle, &cap.headers[0]);
    waveInClose(cap.handle);
    cap.handle = 0;

    EXPECT_EQ(script->calls(), (std::vector<std::string>{
                                   "open -1 44100 16 2 -> 32", "open 0 44100 16 2 -> 32", "open 0 44100 16 2 -> 0",
                                   "prepare 8 -> 0", "add 8 -> 0", "add 8 -> 33", "start -> 0", "stop -> 0",
                                   "reset -> 0", "unprepare 8 -> 0", "close -> 0"}));
}

TEST_F(WaveDevices, SilenceAtEndKeepsTheScriptedDeviceDelivering)
{
    auto script = std::make_shared<WaveScript>();
    script->addValues({7});
    script->silenceAtEnd = true;
    setWaveScript(script);
    Capture cap(2, 4);
    ASSERT_EQ(cap.open(WaveFormat::pcm(8000, 16, 1)), kWaveNoError);
    cap.queueAll();
    waveInStart(cap.handle);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= 12; }));
    EXPECT_EQ(std::vector<uint8_t>(cap.bytes.begin(), cap.bytes.begin() + 12),
              (std::vector<uint8_t>{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(WaveDevices, WaveInScriptSelectsTheScriptedDeviceBeforeTheFile)
{
    testsupport::writeBytes(dir / "in.wav", wavBytes(kStereo16, ramp16(10)));
    testsupport::writeBytes(dir / "more.raw", {9, 0, 8, 0});
    testsupport::writeFile(dir / "script.txt",
                           "# a device that is busy once\n"
                           "name Test rig input\n"
                           "fail_opens 1\n"
                           "values 1 2 -3\n"
                           "samples more.raw\n"
                           "samples in.wav\n"
                           "record calls.log\n");
    ScopedEnv scriptEnv("WAVE_IN_SCRIPT", (dir / "script.txt").string());
    ScopedEnv file("WAVE_IN_FILE", (dir / "in.wav").string());

    EXPECT_EQ(waveInDeviceNames(), std::vector<std::string>{"Test rig input"});
    EXPECT_EQ(waveOutDeviceNames(), std::vector<std::string>{"Scripted output"});
    const WaveFormat f = WaveFormat::pcm(11025, 16, 1);
    Capture cap(1, 30);
    EXPECT_EQ(cap.open(f), kWaveAllocated);
    ASSERT_EQ(cap.open(f), kWaveNoError) << "the open count carries over between opens";
    cap.queueAll();
    waveInStart(cap.handle);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() == 30; }));
    std::vector<uint8_t> want{1, 0, 2, 0, 0xFD, 0xFF, 9, 0, 8, 0};
    auto ramp = ramp16(10);  // the WAV file's data chunk only
    want.insert(want.end(), ramp.begin(), ramp.end());
    EXPECT_EQ(cap.bytes, want);

    const std::string log = testsupport::readFile(dir / "calls.log");
    EXPECT_EQ(log.rfind("open -1 11025 16 1 -> 4\nopen -1 11025 16 1 -> 0\nprepare 30 -> 0\nadd 30 -> 0\nstart -> 0\n", 0), 0u)
        << log;
}

TEST_F(WaveDevices, ABrokenScriptStillMakesADeviceWhoseOpenFailsWithTheReason)
{
    const char* scripts[][2] = {{"fail_opens many\n", "line 1: fail_opens"},
                                {"values 1 2 99999\n", "line 1: values"},
                                {"name x\nfrobnicate\n", "line 2: unknown command"},
                                {"samples absent.raw\n", "cannot read samples"}};
    int n = 0;
    for (auto& [text, expect] : scripts) {
        auto path = dir / ("broken" + std::to_string(n++) + ".txt");
        testsupport::writeFile(path, text);
        ScopedEnv scriptEnv("WAVE_IN_SCRIPT", path.string());
        EXPECT_EQ(waveInDeviceCount(), 1u);
        WaveInHandle h = 0;
        EXPECT_EQ(waveInOpen(&h, 0, kStereo16, nullptr), kWaveError) << text;
        EXPECT_NE(waveInErrorText(kWaveError).find(expect), std::string::npos) << waveInErrorText(kWaveError);
    }
    ScopedEnv missing("WAVE_IN_SCRIPT", (dir / "none.txt").string());
    WaveInHandle h = 0;
    EXPECT_EQ(waveInOpen(&h, 0, kStereo16, nullptr), kWaveError);
}

TEST_F(WaveDevices, NoCardNoFileAndNoScriptMeanNoDevices)
{
    if (std::filesystem::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound devices";
    EXPECT_EQ(waveInDeviceCount(), 0u);
    EXPECT_EQ(waveOutDeviceCount(), 0u);
    EXPECT_EQ(waveInDeviceName(0), "");
    WaveInHandle h = 9;
    EXPECT_EQ(waveInOpen(&h, kWaveMapper, kStereo16, nullptr), kWaveBadDeviceId);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(waveInOpen(&h, 0, kStereo16, nullptr), kWaveBadDeviceId);
    WaveOutHandle o = 9;
    EXPECT_EQ(waveOutOpen(&o, kWaveMapper, kStereo16, nullptr), kWaveBadDeviceId);

    testsupport::writeBytes(dir / "in.wav", wavBytes(kStereo16, {}));
    ScopedEnv file("WAVE_IN_FILE", (dir / "in.wav").string());
    EXPECT_EQ(waveInDeviceCount(), 1u) << "the file is input device 0";
    EXPECT_EQ(waveInOpen(&h, 1, kStereo16, nullptr), kWaveBadDeviceId);
    EXPECT_EQ(waveOutDeviceCount(), 0u);
}

}  // namespace
