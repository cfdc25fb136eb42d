// The applet ports bound to the machine's services: settings in the registry, the sound input on the
// scripted device, help and message boxes through the platform's, and the generated version table.
#include "EventPump.h"
#include "MachinePorts.h"
#include "SuiteBox.h"
#include "TestSupport.h"
#include "VersInfo.h"
#include "platform/settings/Registry.h"
#include "platform/sound/WaveScript.h"
#include "platform/ui/Help.h"
#include "platform/ui/MessageBox.h"
#include "platform/version/VersionInfo.h"
#include "WaveInOpen.h"
#include "platform/clock/Clock.h"
#include "tools/siggen/Wav.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {

const std::string kKey = "\\Software\\Korvanta Communications\\Quenda\\DTMF";

class RegistrySettings : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", dir.path().string()};
};

TEST_F(RegistrySettings, MissingKeyIsNotMadeUntilOpenedWithCreate)
{
    TRegistrySettings reading;
    EXPECT_FALSE(reading.OpenKey(kKey, false));
    EXPECT_FALSE(platform::Registry().KeyExists(kKey));
    EXPECT_FALSE(reading.ValueExists("Method1"));  // no key open: nothing, and no error
    EXPECT_EQ(reading.ReadInteger("Method1"), std::nullopt);

    {
        TRegistrySettings writing;
        ASSERT_TRUE(writing.OpenKey(kKey, true));
        writing.WriteInteger("Method1", -3);
        writing.WriteBool("Logging", true);
        writing.WriteString("LogFile", "DTMF.LOG");
        writing.CloseKey();
    }
    TRegistrySettings again;
    ASSERT_TRUE(again.OpenKey(kKey, false));
    EXPECT_TRUE(again.ValueExists("method1"));
    EXPECT_EQ(again.ReadInteger("Method1"), -3);
    EXPECT_EQ(again.ReadBool("Logging"), true);
    EXPECT_EQ(again.ReadString("LogFile"), "DTMF.LOG");
    // Absent or of another type: nothing, so the applet keeps its default.
    EXPECT_EQ(again.ReadInteger("Absent"), std::nullopt);
    EXPECT_EQ(again.ReadInteger("LogFile"), std::nullopt);
    EXPECT_EQ(again.ReadString("Method1"), std::nullopt);
}

TEST_F(RegistrySettings, KeyOutsideTheCompanysIsRefused)
{
    TRegistrySettings s;
    EXPECT_FALSE(s.OpenKey("\\Software\\Elsewhere\\DTMF", true));
    EXPECT_FALSE(s.OpenKey("\\Software\\Korvanta Communications\\Quenda\\..\\x", true));
    s.WriteInteger("Method1", 1);  // with no key open the write is dropped, not thrown
}

TEST(MachineServices, HelpAndBoxesGoThroughThePlatform)
{
    platform::RecordingHelp help;
    platform::setHelp(&help);
    InstallMachineServices("/opt/quenda/QUENDA.HLP");
    AppletServices().ShowHelpContext(104);
    platform::setHelp(nullptr);
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].helpFile, "/opt/quenda/QUENDA.HLP");
    EXPECT_EQ(help.requests[0].context, 104);

    platform::MessageBoxRecorder boxes({platform::IDNO});
    EXPECT_EQ(suitebox::Show(nullptr, "The sound card is currently being used, try again?", "Warning",
                             suitebox::YesNo | suitebox::IconExclamation),
              suitebox::IdNo);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Warning");
    EXPECT_EQ(boxes.boxes()[0].flags, platform::MB_YESNO | platform::MB_ICONEXCLAMATION);
}

TEST(MachineServices, VersionComesFromTheGeneratedTable)
{
    const platform::VersionTable* table = platform::VersionTable::Module();
    ASSERT_NE(table, nullptr);
    TVerInfo info(ProgramVersionResource());
    EXPECT_EQ(info.Language(), 0x0409);
    EXPECT_EQ(info.CodePage(), 1252);
    EXPECT_EQ(info.Query(viProductName), "Korvanta Quenda");
    EXPECT_EQ(info.Query(viInternalName), "quenda");
    EXPECT_EQ(info.Query(viCompanyName), "Korvanta Communications");
    EXPECT_EQ(info.Query(viFileVersion), table->String("FileVersion").value());
    EXPECT_THAT(info.Query(viProductVersion), ::testing::MatchesRegex("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+"));
    EXPECT_TRUE(info.FileFlags().empty());
}

TEST(MachineWaveIn, OpensTheDefaultInputAndDeliversAndReturnsTheBuffers)
{
    auto script = std::make_shared<platform::WaveScript>();
    script->failOpens = 1;
    script->failCode = 32;
    script->addValues({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    platform::setWaveScript(script);
    InstallMachineServices("QUENDA.HLP");
    EXPECT_EQ(AppletServices().WaveInDeviceCount(), 1);

    std::unique_ptr<TWaveInPort> input = AppletServices().MakeWaveIn();
    TPcmFormat format;
    format.SamplesPerSec = 8000;
    EXPECT_EQ(input->Open(format), 32);
    EXPECT_FALSE(input->ErrorText(32).empty());
    ASSERT_EQ(input->Open(format), 0);
    std::vector<std::pair<int, std::vector<int16_t>>> got;
    input->OnData = [&](int buffer, const int16_t* samples, size_t count) {
        got.emplace_back(buffer, std::vector<int16_t>(samples, samples + count));
    };
    ASSERT_TRUE(input->Start(3, 4 * sizeof(int16_t), 2));  // the third waits for Requeue
    ASSERT_TRUE(testsupport::pumpUntil([&] { return got.size() >= 2; }));
    EXPECT_THAT(got, ElementsAre(std::pair{0, std::vector<int16_t>{1, 2, 3, 4}},
                                 std::pair{1, std::vector<int16_t>{5, 6, 7, 8}}));
    input->Requeue(2);
    ASSERT_TRUE(testsupport::pumpUntil([&] { return got.size() >= 3; }));
    EXPECT_EQ(got[2].first, 2);
    input->Requeue(0);
    input->Reset();
    input->Close();
    input.reset();
    platform::setWaveScript(nullptr);

    const std::vector<std::string> calls = script->calls();
    EXPECT_EQ(calls.front(), "open -1 8000 16 1 -> 32");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "prepare 8 -> 0"), 3);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "add 8 -> 0"), 4);
    EXPECT_EQ(calls.back(), "close -> 0");
}

TEST(MachineWaveIn, OnlyARecordingThatCannotGiveTheFormatIsReportedAsNeverDelivered)
{
    struct Case {
        uint32_t machine;
        bool recording;
        int port;
    };
    for (const Case& c : std::vector<Case>{{32, true, kWaveFormatNotDelivered},
                                           {32, false, 32},  // a card that cannot take it now: busy
                                           {4, true, 4},
                                           {1, true, 1},
                                           {0, true, 0},
                                           {0, false, 0}})
        EXPECT_EQ(WaveInOpenResult(c.machine, c.recording), c.port) << c.machine << " " << c.recording;
}

// A stereo recording standing in for the sound card, opened for the applets' mono format: it
// either plays (converted) or is refused with what is wrong with it, never as a busy card whose
// question would come back at every Yes.
TEST(MachineWaveIn, RecordingOfAnotherFormatIsNeverABusyCard)
{
    testsupport::TempDir dir;
    const std::filesystem::path wav = dir / "stereo.wav";
    siggen::Audio audio;
    audio.rate = 44100;
    audio.channels = 2;
    audio.samples.assign(2 * 4410, 0.25);
    siggen::writeWav(wav, audio);
    testsupport::ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    testsupport::ScopedEnv file{"WAVE_IN_FILE", wav.string()};
    InstallMachineServices("QUENDA.HLP");

    std::unique_ptr<TWaveInPort> input = AppletServices().MakeWaveIn();
    const int code = input->Open(TPcmFormat{1, 11025, 16});
    EXPECT_THAT(code, ::testing::AnyOf(0, kWaveFormatNotDelivered));
    if (code == kWaveFormatNotDelivered) {
        EXPECT_THAT(input->ErrorText(code), ::testing::HasSubstr("stereo.wav"));
    }
    input->Close();

    platform::FakeClock clock;
    platform::ScopedClock scoped(clock);
    std::vector<std::string> boxes;
    suitebox::SetHandler([&](QWidget*, const std::string& text, const std::string& caption, unsigned) {
        boxes.push_back(caption + ": " + text);
        // Yes a few times: a busy card's question would come back at each one.
        return boxes.size() < 3 ? suitebox::IdYes : suitebox::IdNo;
    });
    std::unique_ptr<TWaveInPort> again = AppletServices().MakeWaveIn();
    const bool opened = OpenWaveIn(*again, TPcmFormat{1, 11025, 16}, nullptr);
    suitebox::SetHandler(nullptr);
    if (opened) {
        EXPECT_TRUE(boxes.empty());
        again->Close();
    } else {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_THAT(boxes[0], ::testing::StartsWith("Wave In Error: "));
        EXPECT_THAT(boxes[0], ::testing::HasSubstr("stereo.wav"));
    }
    AppletServices() = TAppletServices();
}

TEST(MachineWaveIn, BytesStopRestartAndPositionForAnEightBitCapture)
{
    auto script = std::make_shared<platform::WaveScript>();
    script->samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};  // an odd count of bytes
    platform::setWaveScript(script);
    InstallMachineServices("QUENDA.HLP");
    std::unique_ptr<TWaveInPort> input = AppletServices().MakeWaveIn();
    ASSERT_EQ(input->Open(TPcmFormat{1, 11025, 8}), 0);
    std::vector<uint8_t> got;
    input->OnData = [](int, const int16_t*, size_t) { ADD_FAILURE() << "bytes go to OnBytes"; };
    input->OnBytes = [&](int, const uint8_t* data, size_t bytes) { got.insert(got.end(), data, data + bytes); };
    ASSERT_TRUE(input->Start(2, 5, 2));
    ASSERT_TRUE(testsupport::pumpUntil([&] { return got.size() >= 10; }));
    EXPECT_EQ(input->Position(), 10u);
    input->Stop();
    input->Restart();
    input->Requeue(0);
    ASSERT_TRUE(testsupport::pumpUntil([&] { return got.size() >= 15; }, 500)) << got.size() << ::testing::PrintToString(script->calls());
    EXPECT_EQ(got, script->samples);
    input->Reset();
    input->Close();
    EXPECT_EQ(input->Position(), 0u);  // closed: nothing
    platform::setWaveScript(nullptr);
    const std::vector<std::string> calls = script->calls();
    EXPECT_THAT(calls, ::testing::Contains("stop -> 0"));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "start -> 0"), 2);
    AppletServices() = TAppletServices();
}

}  // namespace
