// The decoder window frame in-process, with a fake sound input and fake mixers.
#include "MPT1327Form.h"
#include "OrvPluginFrame.h"
#include "QelButton.h"
#include "QelVUBar.h"
#include "QelRichEdit.h"
#include "QelTrackBar.h"
#include "RecordingHost.h"
#include "platform/instance/NamedLock.h"
#include "platform/settings/Registry.h"
#include "platform/ui/Help.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const OrvHostWindow kHost = 77;
const char* kKey = "\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver 2";

// An MPT1327 window whose protocol hooks a test can watch or make fail.
class ProbeForm : public TMPT1327Form {
public:
    using TMPT1327Form::TMPT1327Form;
    ~ProbeForm() override { RunCloseSequence(); }
    std::function<void()> onOpenDatabase, onInitDecoder;
    std::vector<std::string> hooks;

protected:
    void InitDecoder() override
    {
        if (onInitDecoder)
            onInitDecoder();
    }
    void OpenDatabase() override
    {
        hooks.push_back("OpenDatabase");
        if (onOpenDatabase)
            onOpenDatabase();
    }
    void LogFileClick() override { hooks.push_back(LogFile->Checked() ? "log on" : "log off"); }
    void StopSecondaryReceiver() override { hooks.push_back("StopSecondary"); }
    void StartSecondaryReceiver() override { hooks.push_back("StartSecondary"); }

public:
    int decoderTicks = 0;  // the decoder's share of the 50 ms ticks

protected:
    void TrafficScanTick() override { ++decoderTicks; }
};

class DecoderForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        OrvFrameResetForTest();
        factory.WaveIn = [this] {
            auto w = std::make_unique<TOrvFakeSoundInput>();
            w->FailOpens = failOpens;
            w->Recording = recording;
            wave = w.get();
            return std::unique_ptr<TOrvSoundInput>(std::move(w));
        };
        factory.Mixer = [this](TOrvMixerDestination d) -> std::unique_ptr<TOrvMixer> {
            if (!withMixer)
                return std::make_unique<TOrvNoMixer>();
            auto line = linked ? inLine : (d == mlDestWaveIn ? inLine : outLine);
            // Source 0 is another line; source 1 the line input the window looks for.
            auto m = std::make_unique<TOrvFakeMixer>(1, std::vector{mlSrcOther, mlSrcLine},
                                                     std::vector{std::make_shared<TOrvFakeMixerLine>(), line});
            (d == mlDestWaveIn ? mixerIn : mixerOut) = m.get();
            return m;
        };
        factory.InputDeviceCount = [] { return 1u; };
        SetOrvSoundFactory(&factory);
        platform::setHelp(&help);
        inLine->Volume[0] = inLine->Volume[1] = 1000;
        outLine->Volume[0] = outLine->Volume[1] = 1000;
    }
    void TearDown() override
    {
        for (TOrvDecoderForm* f : std::vector(OrvWindows()))
            f->Close();
        Pump();
        SetOrvSoundFactory(nullptr);
        platform::setHelp(nullptr);
        OrvFrameResetForTest();
    }
    static void Pump()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TOrvPluginInfo Plugin(std::function<void(ProbeForm&)> prepare = {})
    {
        return {"MPT1327", [this, prepare](OrvHostWindow w, const OrvReceiverInfo* i, OrvHostCallback c, uint32_t* f,
                                           OrvInstance h) -> TOrvDecoderForm* {
                    auto form = std::make_unique<ProbeForm>(w, i, c, f, h);
                    if (prepare)
                        prepare(*form);
                    form_ = form.get();
                    form->FormCreate();
                    return form.release();
                }};
    }
    int32_t Start(const TOrvPluginInfo& plugin, int32_t maxVolume = 255)
    {
        char name[8];
        EXPECT_EQ(OrvFrameInit(plugin, 0x100, name, 8), 0x100);
        OrvReceiverInfo info{};
        info.receiverNumber = 2;
        info.maxVolume = maxVolume;
        return OrvFrameStart(plugin, kHost, &info, &RecordingHost::Callback, &host.flags);
    }
    void Buffers(int n, int16_t left = 0, int16_t right = 0)
    {
        std::vector<int16_t> samples(4096);
        for (size_t i = 0; i < samples.size(); i += 2) {
            samples[i] = left;
            samples[i + 1] = right;
        }
        for (int i = 0; i < n; ++i)
            wave->Deliver(samples);
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    RecordingHost host;
    platform::RecordingHelp help;
    TOrvSoundFactory factory;
    int failOpens = 0;
    bool recording = false;  // the input plays a recording, not a card
    bool withMixer = true;
    bool linked = false;
    std::shared_ptr<TOrvFakeMixerLine> inLine = std::make_shared<TOrvFakeMixerLine>();
    std::shared_ptr<TOrvFakeMixerLine> outLine = std::make_shared<TOrvFakeMixerLine>();
    TOrvFakeSoundInput* wave = nullptr;
    TOrvFakeMixer* mixerIn = nullptr;
    TOrvFakeMixer* mixerOut = nullptr;
    ProbeForm* form_ = nullptr;
};

TEST_F(DecoderForm, StartBeforeInitIsRefusedWithoutTakingTheLock)
{
    OrvReceiverInfo info{};
    EXPECT_EQ(OrvFrameStart(Plugin(), kHost, &info, &RecordingHost::Callback, &host.flags), ORV_START_FAILED);
    EXPECT_FALSE(platform::FindAtom(kOrvSingleInstanceAtom));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(OrvFrameNotify(kHost, ORV_FREQUENCY, 1), 0);
}

TEST_F(DecoderForm, ErrorInConstructionFreesTheLockAndRestoresOnlyWhatWasRead)
{
    // Before any host value was read: the host hears nothing at all.
    auto early = Plugin([](ProbeForm& f) { f.onInitDecoder = [] { throw std::runtime_error("no memory"); }; });
    EXPECT_EQ(Start(early), ORV_START_FAILED);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(platform::FindAtom(kOrvSingleInstanceAtom));
    EXPECT_TRUE(OrvWindows().empty());

    // After the six reads: those six go back, then the detach.
    auto late = Plugin([](ProbeForm& f) { f.onOpenDatabase = [] { throw std::runtime_error("bad file"); }; });
    EXPECT_EQ(Start(late), ORV_START_FAILED);
    auto expected = StartReads();
    expected.pop_back();  // the volume read for the track bar comes later
    for (const auto& c : CloseCommands())
        expected.push_back(c);
    EXPECT_EQ(host.commands(true), expected);
    EXPECT_FALSE(platform::FindAtom(kOrvSingleInstanceAtom));
    EXPECT_GT(Start(Plugin()), 0) << "a later start works";
}

TEST_F(DecoderForm, ClosingWindowTakesButIgnoresNotifications)
{
    ASSERT_GT(Start(Plugin()), 0);
    ASSERT_EQ(form_->Decoder().TunedFrequency(), 450012500);
    int32_t taken = -1;
    wave->OnClose = [&] { taken = OrvFrameNotify(kHost, ORV_FREQUENCY, 1); };
    form_->Close();
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(form_->Decoder().TunedFrequency(), 450012500);
    EXPECT_TRUE(OrvWindows().empty());
    Pump();
}

TEST_F(DecoderForm, CloseSequenceRestoresMixersAndWritesSettingsReadNextTime)
{
    ASSERT_GT(Start(Plugin()), 0);
    form_->LogFile->SetCheck(true);
    form_->MuteData->SetCheck(true);
    mixerIn->SetVolume(5);
    mixerOut->SetMute(true);
    form_->Close();
    EXPECT_EQ(inLine->Volume[0], 1000u);
    EXPECT_FALSE(outLine->Mute);
    EXPECT_EQ(mixerIn->Mixer, -1);
    EXPECT_EQ(mixerOut->Mixer, -1);
    Pump();
    EXPECT_FALSE(platform::FindAtom(kOrvSingleInstanceAtom));

    ASSERT_GT(Start(Plugin()), 0);
    EXPECT_TRUE(form_->LogFile->Checked());
    EXPECT_TRUE(form_->MuteData->Checked());
    EXPECT_EQ(form_->hooks, (std::vector<std::string>{"OpenDatabase", "log on"})) << "the log reopens without asking";
}

TEST_F(DecoderForm, DamagedChannelSizeSettingFallsBackTo25k)
{
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteInteger("Channel Size", 0);
    }
    ASSERT_GT(Start(Plugin()), 0);
    EXPECT_EQ(form_->ChannelSize, 25000);
    EXPECT_TRUE(form_->ChanSize25k->Checked());
}

TEST_F(DecoderForm, LinkedMixersAreFoundAndLeftAlonePerBuffer)
{
    linked = true;
    ASSERT_GT(Start(Plugin()), 0);
    EXPECT_TRUE(form_->MixerLinked);
    EXPECT_EQ(mixerOut->SourceNumber(), 1) << "the line source";
    form_->SecondaryReceiver = 2;
    mixerOut->Calls.clear();
    Buffers(3);
    for (const auto& c : mixerOut->Calls)
        EXPECT_EQ(c.rfind("channel", 0), std::string::npos) << c;
}

TEST_F(DecoderForm, UnlinkedWithSecondaryMutesTheChannelTheDataIsReadFrom)
{
    ASSERT_GT(Start(Plugin()), 0);
    EXPECT_FALSE(form_->MixerLinked);
    form_->SecondaryReceiver = 2;
    form_->MuteData->SetCheck(true);
    mixerOut->Calls.clear();
    Buffers(1);
    ASSERT_EQ(form_->InputTest.DataChannel, 0);
    EXPECT_EQ(mixerOut->Calls, (std::vector<std::string>{"channel 1 0", "unmute"}));
}

TEST_F(DecoderForm, AutoVolumeLowersTheReceiverOnAFullScaleInput)
{
    ASSERT_GT(Start(Plugin()), 0);
    form_->AutoVolume->SetCheck(true);
    form_->AutoVolumeClick();
    EXPECT_FALSE(form_->RxVolume->isEnabled());
    ASSERT_EQ(form_->RxVolume->value(), 77);
    host.calls.clear();
    Buffers(3, 0, 32767);  // channel 0 is read from the second sample
    EXPECT_EQ(form_->RxVolume->value(), 74);
    std::vector<int32_t> volumes;
    for (const auto& c : host.calls)
        if (c.code == ORV_SET_VOLUME)
            volumes.push_back(c.param);
    EXPECT_EQ(volumes, (std::vector<int32_t>{76, 75, 74}));
    EXPECT_EQ(form_->SoundVolume->value(), 74 * 65535 / 255);
}

TEST_F(DecoderForm, ZeroMaximumVolumeDoesNotDivideByZero)
{
    ASSERT_GT(Start(Plugin(), 0), 0);
    form_->AutoVolume->SetCheck(true);
    Buffers(2, 0, 100);
    EXPECT_EQ(form_->SoundVolume->value(), 0);
}

TEST_F(DecoderForm, OpenHelpWindowStopsCaptureUntilItCloses)
{
    ASSERT_GT(Start(Plugin()), 0);
    help.ShowTopic(form_->PluginDir + "Marlet.hlp", "mpt1327_system_monitor");
    form_->StartupTimerTimer();
    EXPECT_FALSE(wave->IsOpen());
    help.Close(form_->PluginDir + "Marlet.hlp");
    form_->StartupTimerTimer();
    EXPECT_TRUE(wave->IsOpen());
}

TEST_F(DecoderForm, FailedReopenAfterHelpIsReportedOnceWithoutStackingAndRetried)
{
    ASSERT_GT(Start(Plugin()), 0);
    help.ShowTopic(form_->PluginDir + "Marlet.hlp", "mpt1327_system_monitor");
    form_->StartupTimerTimer();
    help.Close(form_->PluginDir + "Marlet.hlp");
    ASSERT_FALSE(wave->IsOpen());

    // The card is busy for a while. The error box's event loop fires the timer again inside it.
    wave->FailOpens = 4;
    int nested = 0;
    wave->OnOpenFailed = [&] {
        if (++nested < 5)
            form_->StartupTimerTimer();
    };
    wave->Calls.clear();
    for (int tick = 0; tick < 6; ++tick)
        form_->StartupTimerTimer();
    // One reported open (its box), quiet single attempts after it until the card is free.
    EXPECT_EQ(wave->Calls, (std::vector<std::string>{"open", "try-open", "try-open", "try-open", "try-open"}));
    EXPECT_TRUE(wave->IsOpen());

    // A later failure is reported again.
    help.ShowTopic(form_->PluginDir + "Marlet.hlp", "mpt1327_system_monitor");
    form_->StartupTimerTimer();
    help.Close(form_->PluginDir + "Marlet.hlp");
    wave->FailOpens = 1;
    wave->Calls.clear();
    form_->StartupTimerTimer();
    form_->StartupTimerTimer();
    EXPECT_EQ(wave->Calls, (std::vector<std::string>{"open", "try-open"}));
}

TEST_F(DecoderForm, HelpRequestsReachTheHelpFileAtTheirContextsAndTopic)
{
    ASSERT_GT(Start(Plugin()), 0);
    const std::string file = form_->PluginDir + "Marlet.hlp";
    struct Case {
        const char* what;
        QWidget* control;
        QEvent::Type type;
        int context;
    };
    const Case cases[] = {
        {"? on the window", form_, QEvent::WhatsThis, 10000},
        {"? on the call grid", form_->Disp, QEvent::WhatsThis, 10000},
        {"? on the receiver volume", form_->RxVolume, QEvent::WhatsThis, 10600},
        {"? on the level bar", form_->AudioLevel, QEvent::WhatsThis, 10600},
        {"F1 on the automatic volume", form_->AutoVolume, QEvent::KeyPress, 10600},
        {"F1 on the log button", form_->LogFile, QEvent::KeyPress, 10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        help.requests.clear();
        if (c.type == QEvent::WhatsThis) {
            QHelpEvent query(QEvent::QueryWhatsThis, QPoint(1, 1), c.control->mapToGlobal(QPoint(1, 1)));
            query.ignore();
            QCoreApplication::sendEvent(c.control, &query);
            EXPECT_TRUE(query.isAccepted());
            QHelpEvent what(QEvent::WhatsThis, QPoint(1, 1), c.control->mapToGlobal(QPoint(1, 1)));
            QCoreApplication::sendEvent(c.control, &what);
        } else {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
            QCoreApplication::sendEvent(c.control, &key);
        }
        ASSERT_EQ(help.requests.size(), 1u);
        EXPECT_EQ(help.requests[0].helpFile, file);
        EXPECT_EQ(help.requests[0].topic, "");
        EXPECT_EQ(help.requests[0].context, c.context);
    }

    // FormHelp takes the '?' requests itself and leaves every other command to the caller.
    bool callHelp = true;
    help.requests.clear();
    EXPECT_TRUE(form_->FormHelp(8, 10600, callHelp));
    EXPECT_FALSE(callHelp);
    EXPECT_EQ(help.requests.size(), 1u);
    EXPECT_TRUE(form_->FormHelp(1, 10000, callHelp));
    EXPECT_TRUE(callHelp);
    EXPECT_EQ(help.requests.size(), 1u);

    // The Help button, clicked.
    help.requests.clear();
    const QPoint mid(form_->HelpButton->width() / 2, form_->HelpButton->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, mid, form_->HelpButton->mapToGlobal(mid), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, mid, form_->HelpButton->mapToGlobal(mid), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form_->HelpButton, &press);
    QCoreApplication::sendEvent(form_->HelpButton, &release);
    ASSERT_EQ(help.requests.size(), 1u);
    EXPECT_EQ(help.requests[0].topic, "mpt1327_system_monitor");
    EXPECT_EQ(help.requests[0].helpFile, file);
}

TEST(DecoderFormHelpPage, ThePluginsHelpPageHoldsEveryTopicTheWindowAsksFor)
{
    const std::string file = (testsupport::buildDir() / "lib" / "Marlet.hlp").string();
    ASSERT_FALSE(platform::HelpPage(file).empty());
    const std::string page = testsupport::readFile(platform::HelpPage(file));
    for (const char* anchor : {"name=\"mpt1327_system_monitor\"", "name=\"context-10000\"", "name=\"context-10600\"",
                               "<title>Korvanta Trunking Decoder - MPT1327</title>"})
        EXPECT_NE(page.find(anchor), std::string::npos) << anchor;
}

TEST(DecoderFormPluginDir, EmptyOrOverlongPathFallsBackToTheLibrarysFolder)
{
    testsupport::ScopedEnv unset("ORV_PLUGIN_PATH", "");
    ::unsetenv("ORV_PLUGIN_PATH");
    const std::string own = OrvPluginDir();
    ASSERT_NE(own, "/");
    ASSERT_EQ(own.back(), '/');
    struct Case {
        std::string value;
        std::string dir;
    };
    const Case cases[] = {
        {"/tmp/plugins", "/tmp/plugins/"},
        {"/tmp/plugins/", "/tmp/plugins/"},
        {"", own},
        {"/" + std::string(600, 'x'), own},
        {"/" + std::string(510, 'y'), "/" + std::string(510, 'y') + "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.substr(0, 20));
        testsupport::ScopedEnv path("ORV_PLUGIN_PATH", c.value);
        EXPECT_EQ(OrvPluginDir(), c.dir);
    }
}

TEST_F(DecoderForm, StatusClockShowsDateThenTime)
{
    ASSERT_GT(Start(Plugin()), 0);
    form_->Now = [] { return QDateTime(QDate(2026, 12, 9), QTime(14, 5, 33)); };
    form_->StartupTimerTimer();
    EXPECT_TRUE(form_->StatusClock->text().endsWith("2026   14:05:33")) << form_->StatusClock->text().toStdString();
    EXPECT_TRUE(form_->StatusClock->text().startsWith("09 "));
}

TEST_F(DecoderForm, ARecordingTimesTheDecoderBySoundACardByTheClock)
{
    // Buffers of 2048 stereo frames at 11025 Hz (185.8 ms each), and timer ticks that come at any
    // pace: a card's decoder ticks with the timer; a recording's with every 50 ms of its sound, and
    // its time of hearing is the clock's time at the open moved on by the sound heard.
    struct Case { bool recording; int buffers, timerTicks, decoderTicks; int heardMs; };
    const Case cases[] = {
        {false, 17, 3, 3, 0},
        {false, 0, 5, 5, 0},
        {true, 17, 3, 63, 3157},  // 17 x 2048 frames = 3.1575 s of sound: 63 whole ticks
        {true, 1, 0, 3, 185},
        {true, 0, 5, 0, 0},
    };
    const QDateTime opened(QDate(2026, 12, 9), QTime(23, 59, 58));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.recording ? "recording, " : "card, ") << c.buffers << " buffers");
        recording = c.recording;
        ASSERT_GT(Start(Plugin([&](ProbeForm& f) { f.Now = [opened] { return opened; }; })), 0);
        ASSERT_EQ(form_->SoundTimed(), c.recording);
        form_->decoderTicks = 0;
        Buffers(c.buffers);
        for (int i = 0; i < c.timerTicks; ++i)
            form_->StartupTimerTimer();
        EXPECT_EQ(form_->decoderTicks, c.decoderTicks);
        EXPECT_EQ(form_->HeardNow(), opened.addMSecs(c.heardMs));
        EXPECT_EQ(form_->HeardTime(form_->LocalTime()).Second, opened.addMSecs(c.heardMs).time().second());
        form_->Close();
        Pump();
    }
}

TEST_F(DecoderForm, PowerEventsStopAndStartTheSecondaryReceiver)
{
    ASSERT_GT(Start(Plugin()), 0);
    form_->hooks.clear();
    TOrvPowerEvents::Instance().Broadcast(pbtSuspend);
    TOrvPowerEvents::Instance().Broadcast(pbtResumeSuspend);
    EXPECT_EQ(form_->OnPowerBroadcast(pbtQuerySuspend), 1);
    EXPECT_EQ(form_->hooks, (std::vector<std::string>{"StopSecondary", "StartSecondary"}));
}

TEST_F(DecoderForm, HostVolumeNotificationMovesTheBarWithoutAnEcho)
{
    ASSERT_GT(Start(Plugin()), 0);
    host.calls.clear();
    EXPECT_EQ(OrvFrameNotify(kHost, ORV_VOLUME, 500), 1);
    EXPECT_EQ(form_->RxVolume->value(), 255);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(DecoderForm, WithoutMixerItsControlsAreDisabled)
{
    withMixer = false;
    ASSERT_GT(Start(Plugin()), 0);
    EXPECT_FALSE(form_->AutoVolume->isEnabled());
    EXPECT_FALSE(form_->SoundVolume->isEnabled());
    EXPECT_FALSE(form_->MuteData->isEnabled());
}

}  // namespace
