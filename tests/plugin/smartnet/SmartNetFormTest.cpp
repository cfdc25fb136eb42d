// The SmartNet window in-process on generated control channels read from WAV files: the system it
// finds, the calls it lists, the tunes auto tune asks for, and what bad input leaves behind.
#include "FakeReceiverLibrary.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelStaticText.h"
#include "RecordingHost.h"
#include "SmartNetDatabase.h"
#include "SmartNetForm.h"
#include "SmartNetWindowFixture.h"
#include "StartThroughFrame.h"
#include "platform/settings/Registry.h"
#include "platform/ui/Help.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace testsupport;

const OrvHostWindow kHost = 93;
constexpr int32_t kTuned = 851000000;
constexpr int32_t kControl = 752;
constexpr int32_t kBase = kTuned - kControl * 25000;
const char* const kKey = "\\Software\\Korvanta Communications\\Tollan\\Motorola SmartNet\\Receiver 1";

// Grants that make auto tune follow, return and follow again: radio 0x101 on 100, 0x202 on 200
// (blocked: a call is followed), 0x101 moves to 150 (its old entry goes: back to control, then 150),
// 0x303 takes 200, and 0x404 on 530 (150 + 380) replaces the followed 150.
const std::vector<std::string> kGrants = {"--grant", "10.0,0x101,100", "--grant", "10.5,0x202,200",
                                          "--grant", "11.0,0x101,150", "--grant", "11.5,0x303,200",
                                          "--grant", "12.0,0x404,530"};
int32_t Channel(int32_t c) { return kBase + c * 25000; }

class SmartNetWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        OrvFrameResetForTest();
        host.values[ORV_FREQUENCY] = kTuned;
        // The host notifies every frequency change before the command returns, as orvhost does.
        host.onCall = [this](const HostCall& call) {
            if (call.code == ORV_FREQUENCY && notifyTunes) {
                host.values[ORV_FREQUENCY] = call.param;
                OrvFrameNotify(kHost, ORV_FREQUENCY, call.param);
            }
        };
    }
    void TearDown() override
    {
        notifyTunes = false;
        for (TOrvDecoderForm* f : std::vector(OrvWindows()))
            f->Close();
        Pump();
        OrvFrameResetForTest();
    }
    static void Pump()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void Settings(bool autoTune, int32_t channelSize = 25000)
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteBool("Auto Tune To", autoTune);
        reg.WriteInteger("Channel Size", channelSize);
    }

    std::filesystem::path Signal(const std::string& name, std::vector<std::string> options)
    {
        const auto wav = dir / name;
        std::vector<std::string> args = {binPath("siggen").string(), "smartnet", "--system", "0x1234", "--control",
                                         std::to_string(kControl), "--triple-until", "9", "--seconds", "15",
                                         "--out", wav.string()};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(runProgram(args), 0);
        return wav;
    }

    // The window once the file has been read.
    TSmartNetForm* Run(const std::filesystem::path& wav)
    {
        ScopedEnv file("WAVE_IN_FILE", wav.string());
        ScopedEnv eof("WAVE_IN_EOF_FILE", (dir / "eof").string());
        std::filesystem::remove(dir / "eof");
        TSmartNetForm* form = StartThroughFrame<TSmartNetForm>("Motorola SmartNet\xAE", kHost, host, receivers);
        QElapsedTimer clock;
        clock.start();
        while (form && !std::filesystem::exists(dir / "eof") && clock.elapsed() < 90000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_TRUE(std::filesystem::exists(dir / "eof"));
        // Buffers the device filled before its end may still be on their way to the window.
        clock.restart();
        while (form && clock.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return form;
    }

    std::vector<int32_t> HostTunes() const { return host.tunes(); }

    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    ScopedEnv pluginDir{"ORV_PLUGIN_PATH", dir.path().string()};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    ScopedEnv boxes{"MSGBOX_LOG", (dir / "boxes").string()};
    RecordingHost host;
    TFakeReceiverLibrary receivers{2};
    bool notifyTunes = true;
    bool levelSent = false;
};

TEST_F(SmartNetWindow, AutoTuneFollowsOneCallAtATime)
{
    Settings(true);
    TSmartNetForm* form = Run(Signal("grants.wav", [] {
        auto o = kGrants;
        o.insert(o.end(), {"--channels", "2", "--channel", "right", "--snr", "20"});
        return o;
    }()));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Decoder().SystemIdentity(), 0x1234);
    EXPECT_EQ(form->SysIDLabel->Caption(), "1234");
    EXPECT_EQ(form->Decoder().ControlChannel, kControl);
    EXPECT_EQ(HostTunes(), (std::vector<int32_t>{Channel(100), Channel(kControl), Channel(150), Channel(kControl),
                                                 Channel(530)}));
    ASSERT_EQ(form->Decoder().OnAir().size(), 2u);
    EXPECT_EQ(form->Decoder().OnAir()[0].Identity, 0x303);
    EXPECT_EQ(form->Decoder().OnAir()[1].Channel, 530);
    EXPECT_TRUE(form->RetToCtrl->isEnabled());
    EXPECT_NE(form->AccFramesLabel->Caption(), "");

    // The user tunes elsewhere while the call on 530 is followed: the host stays there.
    host.calls.clear();
    OrvFrameNotify(kHost, ORV_FREQUENCY, 460000000);
    EXPECT_TRUE(HostTunes().empty());
    EXPECT_FALSE(form->RetToCtrl->isEnabled());
    EXPECT_TRUE(form->Decoder().OnAir().empty());
    EXPECT_FALSE(form->Decoder().SystemCurrent());
    EXPECT_EQ(form->SysIDLabel->Caption(), "");
    EXPECT_EQ(form->InputTest.State, 10);
}

// Before the grants, system triples whose first word (0x308) was lost: their third word, which
// reads as a grant of the control channel to 0x1F00, is no call. Auto tune does not "follow" the
// control channel it is on and then miss the real grants: it follows the same calls as without
// them, and the control channel enters neither the list, the heard radios nor the map. (While a
// call is followed the recording still plays the control channel, which the host would not hear
// there; so the triples come while the host is on the control channel.)
TEST_F(SmartNetWindow, TriplesMissingTheirFirstWordAmongTheGrantsAreNoCalls)
{
    Settings(true);
    auto options = kGrants;
    for (const char* t : {"9.2", "9.4", "9.6", "9.8"}) {
        const std::string at = t;
        options.insert(options.end(), {"--word", at + ",0x2AF0,1,0x30B", "--word", at + ",0x1F00,1,752"});
    }
    options.insert(options.end(), {"--channels", "2", "--channel", "right"});
    TSmartNetForm* form = Run(Signal("lost-first-words.wav", options));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Decoder().SystemIdentity(), 0x1234);
    EXPECT_EQ(form->Decoder().ControlChannel, kControl);
    EXPECT_EQ(HostTunes(), (std::vector<int32_t>{Channel(100), Channel(kControl), Channel(150), Channel(kControl),
                                                 Channel(530)}));
    std::vector<int32_t> listed;
    for (const TSmartNetOnAirEntry& e : form->Decoder().OnAir())
        listed.push_back(e.Identity);
    EXPECT_EQ(listed, (std::vector<int32_t>{0x303, 0x404}));
    for (const TSmartNetHeardRadio& r : form->Record().HeardRadios)
        EXPECT_NE(r.Identity, 0x1F00);
    EXPECT_EQ(form->Record().HeardRadios.size(), 4u);
    EXPECT_FALSE(SmartNetMapBit(form->Record().TrafficChannelMap, kControl));
}

TEST_F(SmartNetWindow, LogsTheCallsAndStoresTheSystemForTheNextStart)
{
    Settings(false);
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteBool("Log File", true);
        reg.WriteString("Log File Name", (dir / "calls.txt").string());
        reg.WriteInteger("Log File Type", 1);
    }
    auto options = kGrants;
    options.insert(options.end(), {"--channels", "2", "--channel", "right"});
    const auto wav = Signal("grants.wav", options);
    TSmartNetForm* form = Run(wav);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->LogFile->Checked());
    form->Close();
    Pump();
    const std::string log = readFile(dir / "calls.txt");
    size_t lines = 0;
    for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at + 1))
        ++lines;
    EXPECT_EQ(lines, 5u) << log;
    EXPECT_NE(log.find("System=1234 Radio 0404-grp on channel  530\r\n"), std::string::npos) << log;

    TSmartNetSystemRecord stored;
    TSmartNetDatabase db(dir / "SmartNet.MEM", stored);
    EXPECT_EQ(db.OpenDatabase(), TDatabaseStatus::dsOk);
    EXPECT_TRUE(db.SelectSystem(0x1234, kTuned, 25000, -1).Found);
    EXPECT_EQ(stored.HeardRadios.size(), 4u);
    for (int c : {100, 150, 200, 530})
        EXPECT_TRUE(SmartNetMapBit(stored.TrafficChannelMap, c)) << c;
    EXPECT_TRUE(SmartNetMapBit(stored.ControlChannelMap, kControl));
    EXPECT_EQ(stored.BaseFrequency, kBase);

    // The next start finds the system in the file: its radios are known at once.
    host.calls.clear();
    form = Run(wav);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Record().SystemIdentity, 0x1234);
    EXPECT_EQ(form->Record().HeardRadios.size(), 4u);
}

// The host's signal level falls on the control channel: the window hunts over the channels the
// system was seen on, one step per timer tick while the level stays low.
TEST_F(SmartNetWindow, FallingSignalLevelStartsAHuntOverTheSeenChannels)
{
    Settings(false);
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteBool("Auto Follow", true);
    }
    // The level is known before the identity is confirmed, so it becomes the reference.
    host.onCall = [this, inner = host.onCall](const HostCall& call) {
        inner(call);
        if (call.code == ORV_GET && call.param == ORV_VOLUME && !levelSent) {
            levelSent = true;
            QMetaObject::invokeMethod(qApp, [] { OrvFrameNotify(kHost, ORV_SIGNAL_LEVEL, 100); }, Qt::QueuedConnection);
        }
    };
    auto options = kGrants;
    options.insert(options.end(), {"--channels", "2", "--channel", "right"});
    TSmartNetForm* form = Run(Signal("grants.wav", options));
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->Decoder().ReferenceLevel, 100);
    EXPECT_TRUE(form->AutoFollow->Checked());
    form->StartupTimer->stop();
    host.calls.clear();
    OrvFrameNotify(kHost, ORV_SIGNAL_LEVEL, 40);
    EXPECT_EQ(form->Decoder().HuntCount, 1);
    EXPECT_TRUE(form->Decoder().OnAir().empty());
    // The decoder's 50 ms ticks: a recording's come with its sound, which has ended here, so the
    // test gives them one at a time.
    ASSERT_TRUE(form->SoundTimed());
    auto tick = [form] { form->Decoder().TimerTick(); };
    // The host reports the level of each channel it is tuned to, low every time.
    for (int i = 0; i < 4; ++i) {
        tick();
        OrvFrameNotify(kHost, ORV_SIGNAL_LEVEL, 40);
    }
    // Seen: control channel 752, traffic channels 100, 150, 200 and 530; the host sat on 752.
    EXPECT_EQ(HostTunes(), (std::vector<int32_t>{Channel(100), Channel(150), Channel(200), Channel(530)}));
    // A tick before the next channel's level has come takes no step on the old one's.
    tick();
    tick();
    EXPECT_EQ(HostTunes().size(), 5u);
    host.calls.clear();
    tick();
    EXPECT_TRUE(HostTunes().empty());
    // The level comes back: the hunt waits on the channel.
    OrvFrameNotify(kHost, ORV_SIGNAL_LEVEL, 100);
    host.calls.clear();
    tick();
    EXPECT_TRUE(HostTunes().empty());
    // Nor does the timer move the hunt on: with a recording it leaves the decoder to the sound.
    OrvFrameNotify(kHost, ORV_SIGNAL_LEVEL, 40);
    form->StartupTimerTimer();
    EXPECT_TRUE(HostTunes().empty());
}

// Whatever the recording's shape, the same system and calls come out; noise lists nothing.
TEST_F(SmartNetWindow, RecordingShapesAndNoise)
{
    struct Case {
        const char* name;
        std::vector<std::string> options;
        bool decodes;
    } cases[] = {
        {"stereo, right", {"--channels", "2", "--channel", "right"}, true},
        {"stereo, left", {"--channels", "2", "--channel", "left"}, true},
        {"inverted", {"--channels", "2", "--channel", "right", "--inverted"}, true},
        {"noise", {"--channels", "2", "--amplitude", "0.001", "--snr", "-40"}, false},
        // Through the sound input's conversion to 44100 Hz stereo.
        {"mono 8-bit", {"--channels", "1", "--bits", "8"}, true},
        {"mono 16-bit at 22050 Hz", {"--channels", "1", "--rate", "22050"}, true},
    };
    Settings(false);
    for (const Case& c : cases) {
        auto options = kGrants;
        options.insert(options.end(), c.options.begin(), c.options.end());
        TSmartNetForm* form = Run(Signal("shape.wav", options));
        ASSERT_NE(form, nullptr) << c.name;
        if (c.decodes) {
            EXPECT_EQ(form->Decoder().SystemIdentity(), 0x1234) << c.name;
            // Every granted radio heard; the last grant came at 12 s and the recording's sound
            // went on past 15 s, so the on-air list has aged empty, as at real time.
            EXPECT_EQ(form->Record().HeardRadios.size(), 4u) << c.name;
            EXPECT_TRUE(form->Decoder().OnAir().empty()) << c.name;
        } else {
            EXPECT_FALSE(form->Decoder().SystemCurrent()) << c.name;
            EXPECT_TRUE(form->Decoder().OnAir().empty()) << c.name;
            EXPECT_TRUE(form->Record().HeardRadios.empty()) << c.name;
        }
        EXPECT_TRUE(HostTunes().empty()) << c.name;
        form->Close();
        Pump();
        host.calls.clear();
    }
}

TEST_F(SmartNetWindow, StoredChannelSizeOtherThanTheTwoStepsIsRefused)
{
    struct Case {
        int32_t stored, used;
    } cases[] = {{0, 25000}, {12500, 12500}, {25000, 25000}, {7, 25000}, {-12500, 25000}};
    for (const Case& c : cases) {
        Settings(false, c.stored);
        TSmartNetForm* form = Run(Signal("short.wav", {"--seconds", "0.5", "--channels", "2"}));
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->ChannelSize, c.used) << c.stored;
        EXPECT_EQ(form->Decoder().ChannelSize, c.used) << c.stored;
        EXPECT_EQ(form->ChanSize12k5->Checked(), c.used == 12500) << c.stored;
        EXPECT_EQ(form->ChanSize25k->Checked(), c.used == 25000) << c.stored;
        form->Close();
        Pump();
    }
}

// The window and its decoder count buffers since the last tune as one: a hunting step the host
// does not report back restarts the count the next buffer goes on from, so the next step waits.
TEST_F(SmartNetQuietWindow, HuntingStepRestartsTheWindowsBufferCount)
{
    int tunes = 0;
    host.onCall = [&](const HostCall& call) { tunes += call.code == ORV_FREQUENCY; };
    form->InputTest.State = 2;  // the input channel found
    form->Record().BaseFrequency = kTuned - 752 * 25000;
    form->Decoder().HuntCount = 1;
    form->BuffersSinceTune = 70;

    form->Decoder().TimerTick();
    ASSERT_EQ(tunes, 1);
    EXPECT_EQ(form->BuffersSinceTune, 0);

    std::vector<int16_t> silence(2048, 0);
    form->StartupTimer->start();
    form->WaveInWaveInData(nullptr, silence.data(), uint32_t(silence.size() * 2));
    form->StartupTimer->stop();
    EXPECT_EQ(form->BuffersSinceTune, 1);
    EXPECT_EQ(form->Decoder().BuffersSinceTune, 1);

    form->Decoder().TimerTick();
    EXPECT_EQ(tunes, 1);
}

}  // namespace

namespace {

// The help page beside the plug-in holds the topic of the Help button, the contexts of the window's
// '?' and F1 requests and the title the window's help check looks for.
TEST(SmartNetHelpPage, HoldsEveryTopicTheWindowAsksFor)
{
    const TOrvFormConfig config = TSmartNetForm::MakeConfig();
    const std::string file = (testsupport::buildDir() / "lib" / config.HelpFile).string();
    ASSERT_FALSE(platform::HelpPage(file).empty()) << file;
    const std::string page = testsupport::readFile(platform::HelpPage(file));
    for (const std::string& anchor :
         {"name=\"" + config.HelpTopic + "\"", "name=\"context-" + std::to_string(config.HelpContext) + "\"",
          "name=\"context-" + std::to_string(config.VolumeHelpContext) + "\"",
          std::string("<title>Korvanta Trunking Decoder - Motorola SmartNet&#174;</title>")})
        EXPECT_NE(page.find(anchor), std::string::npos) << anchor;
}

}  // namespace
