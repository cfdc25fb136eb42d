// The recorder's window through the frame's fakes: the link to the host, recording with the
// squelch gate, the stops, and playback with the receiver muted.
#include "EventPump.h"
#include "NewTrackBar.h"
#include "Recorder2.h"
#include "RecorderFakes.h"
#include "SuiteBox.h"
#include "SuiteFakes.h"
#include "TestSupport.h"
#include "platform/sound/WaveScript.h"
#include "platform/ui/Locale.h"
#include "WavePropsUnit.h"
#include "tools/siggen/Wav.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include <gmock/gmock.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using ::testing::Contains;
using ::testing::ElementsAre;

namespace {

class RecorderForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setWaveScript(output);
        TAppletServices& s = AppletServices();
        s.MakeDdeClient = [this]() -> std::unique_ptr<TDdeClientPort> {
            auto d = std::make_unique<TRecorderDde>(&log);
            d->connectAnswer = hostAnswers ? 7 : 0;
            d->answers = requestAnswers;
            dde = d.get();
            return d;
        };
        s.MakeWaveIn = [this]() -> std::unique_ptr<TWaveInPort> {
            auto w = std::make_unique<TRecorderWaveIn>(&log);
            wave = w.get();
            return w;
        };
        s.MakeSettings = [this]() -> std::unique_ptr<TSettingsPort> {
            return std::make_unique<TFakeSettings>(&store, &log);
        };
        s.ProcessMessages = [] { QCoreApplication::processEvents(); };
        platform::SetDialogHandler([this](platform::TCommonDialog& d) {
            if (answers.empty())
                return false;
            static_cast<platform::TOpenDialog&>(d).FileName = answers.front();
            answers.erase(answers.begin());
            return true;
        });
        suitebox::SetHandler([this](QWidget*, const std::string& text, const std::string& caption, unsigned) {
            boxes.push_back(caption + ": " + text);
            return suitebox::IdOk;
        });
    }
    void TearDown() override
    {
        if (form) {
            form->FormDestroy();
            form.reset();
        }
        suitebox::SetHandler(nullptr);
        platform::SetDialogHandler(nullptr);
        AppletServices() = TAppletServices();
        platform::setWaveScript(nullptr);
    }
    void Create()
    {
        form = std::make_unique<TRecorder2Form>(3);
        form->FreeSpace = [this](const std::string&) { return freeBytes; };
        form->FormCreate();
    }
    void Record(const std::string& name)
    {
        answers.push_back((dir / name).string());
        form->RecordButtonClick();
    }
    void Buffer(uint8_t value, size_t bytes = 4096)
    {
        const std::vector<uint8_t> b(bytes, value);
        wave->Deliver(b.data(), b.size());
    }
    uint32_t Advise(const std::string& item, const std::string& value)
    {
        std::vector<uint8_t> data(value.begin(), value.end());
        data.push_back(0);
        return form->DdeCallback({dde::XTYP_ADVDATA, 7, "Korvanta #3", item, data});
    }
    std::string Status() const { return form->StatusText(0).toStdString(); }
    // A three-second recording, 8 bits at 11025 Hz, to play.
    void WritePlayable(const std::string& name)
    {
        siggen::Audio a;
        a.rate = 11025;
        a.samples.assign(11025 * 3, 0.2);
        siggen::writeWav(dir / name, a, 8);
    }
    QAction* Checked(const char* menu) const
    {
        for (QAction* a : form->findChild<QMenu*>(menu)->actions())
            if (a->isChecked())
                return a;
        return nullptr;
    }

    testsupport::TempDir dir;
    std::shared_ptr<platform::WaveScript> output = std::make_shared<platform::WaveScript>();
    std::vector<std::string> log, boxes, answers;
    TFakeSettingsStore store;
    TRecorderDde* dde = nullptr;
    TRecorderWaveIn* wave = nullptr;
    bool hostAnswers = true;
    std::map<std::string, std::string> requestAnswers = {{"SignalStrength", "30"}, {"Squelch", "20"}};
    uint64_t freeBytes = uint64_t(1) << 40;
    std::unique_ptr<TRecorder2Form> form;
};

TEST_F(RecorderForm, CreationAsksTheHostForStrengthAndSquelchAndOpensNoInput)
{
    Create();
    EXPECT_FALSE(form->Failed());
    EXPECT_THAT(log, ElementsAre("openkey \\Software\\Korvanta Communications\\Quenda\\Squelch Controlled Recorder",
                                 "init 1568784", "connect Korvanta|Korvanta #3", "request 7 SignalStrength 1000",
                                 "advstart 7 SignalStrength 1000", "request 7 Squelch 1000", "advstart 7 Squelch 1000"));
    EXPECT_EQ(form->SignalStrength(), 30);
    EXPECT_EQ(form->SquelchLevel(), 20);
    EXPECT_EQ(form->State(), rsStopped);
    EXPECT_EQ(Status(), "Stopped");
    EXPECT_EQ(form->windowTitle(), "Squelch Controlled Recorder");
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(Checked("Audioformat1")->text(), "8 bit");
    EXPECT_TRUE(form->MenuAction("Squelchcontrolled1Click")->isChecked());
    EXPECT_TRUE(form->PlayButton->isEnabled());
    EXPECT_FALSE(form->StopButton->isEnabled());
    EXPECT_FALSE(form->TrackBar->isEnabled());

    // The host gone: the applet does not start.
    form->FormDestroy();
    form.reset();
    hostAnswers = false;
    Create();
    EXPECT_TRUE(form->Failed());
}

TEST_F(RecorderForm, StoredSettingsAreCheckedAndShownByTheNearestChoice)
{
    store.keys["\\Software\\Korvanta Communications\\Quenda\\Squelch Controlled Recorder"] = {
        {"Sampling Rate", "16000"}, {"Bits Per Sample", "12"}, {"Maximum File Size", "10485760"}};
    Create();
    EXPECT_EQ(form->Settings().SamplingRate, 16000);
    EXPECT_EQ(form->Settings().BitsPerSample, 8);
    QAction* rate = nullptr;
    for (QAction* a : form->findChild<QMenu*>("Audioformat1")->actions())
        if (a->isChecked() && a->objectName() == "SamplingRateClick")
            rate = a;
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(rate->text(), "22,050 Hz");
    EXPECT_EQ(Checked("Maximumfilesize1")->text(), "10 MB");
    Record("r.wav");
    EXPECT_EQ(wave->format.SamplesPerSec, 16000u);
    EXPECT_EQ(wave->format.BitsPerSample, 8);
}

TEST_F(RecorderForm, RecordingWritesEveryBufferWithItsTailAndOffersTheFileForPlayback)
{
    requestAnswers = {};  // strength 0, squelch 0: open
    Create();
    Record("rec.wav");
    EXPECT_EQ(form->State(), rsRecording);
    EXPECT_EQ(Status(), "Recording");
    EXPECT_THAT(log, Contains("start 16x4096"));
    EXPECT_FALSE(form->PlayButton->isEnabled());
    EXPECT_FALSE(form->findChild<QMenu*>("Audioformat1")->isEnabled());
    for (uint8_t n = 0; n < 3; ++n)
        Buffer(uint8_t(100 + n));
    EXPECT_EQ(std::count(log.begin(), log.end(), "requeue 0"), 3);
    EXPECT_EQ(form->FileSizePanel->text(), "0.0 MB");
    EXPECT_EQ(form->LengthPanel->text(), "0:00:01.1");  // 12288 bytes at 11025 bytes a second
    wave->tailOnReset = 1000;  // still in the device when Stop comes
    form->StopButtonClick();
    EXPECT_EQ(form->State(), rsStopped);
    const std::vector<unsigned char> bytes = testsupport::readBytes(dir / "rec.wav");
    ASSERT_EQ(bytes.size(), 44u + 3 * 4096 + 1000);
    const siggen::WavData wav = siggen::readWav(dir / "rec.wav");
    EXPECT_EQ(wav.samples.size(), 3u * 4096 + 1000);
    EXPECT_EQ(bytes.back(), 0x55);
    EXPECT_EQ(std::count(log.begin(), log.end(), "requeue 0"), 3);  // nothing queued while stopping
    EXPECT_THAT(log, Contains("close"));
    // Offered for playback.
    EXPECT_TRUE(form->MediaPlayer().isOpen());
    EXPECT_TRUE(form->TrackBar->isEnabled());
    EXPECT_TRUE(form->MenuAction("Properties1Click")->isEnabled());
    EXPECT_EQ(form->StatusText(1), "rec.wav");
    EXPECT_EQ(form->LengthPanel->text(), "0:00:01.2");
}

TEST_F(RecorderForm, StoppedBeforeAnyBufferLeavesAHeaderOnlyFile)
{
    Create();
    Record("empty.wav");
    form->StopButtonClick();
    const std::vector<unsigned char> bytes = testsupport::readBytes(dir / "empty.wav");
    ASSERT_EQ(bytes.size(), 44u);
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(bytes.data());
    EXPECT_EQ(h.DataSize, 0u);
    EXPECT_EQ(h.RiffSize, 36u);
    EXPECT_TRUE(form->MediaPlayer().isOpen());
}

TEST_F(RecorderForm, SquelchGateHoldsAndFreesTheCapture)
{
    Create();  // strength 30, squelch 20: open
    Record("g.wav");
    EXPECT_EQ(Status(), "Recording");
    struct Step {
        std::function<void()> act;
        const char* status;
        const char* capture;  // what the device was told
    };
    const std::vector<Step> steps = {
        {[&] { Advise("SignalStrength", "10"); }, "Squelched", "stop"},
        {[&] { Advise("SignalStrength", "25"); }, "Recording", "restart"},
        {[&] { Advise("Squelch", "40"); }, "Squelched", "stop"},
        {[&] { form->PauseButtonClick(); }, "Rec paused", "stop"},
        {[&] { Advise("Squelch", "0"); }, "Rec paused", "stop"},  // paused: the gate alone does not resume
        {[&] { Advise("Squelch", "40"); }, "Rec paused", "stop"},
        {[&] { form->PauseButtonClick(); }, "Squelched", "stop"},
        {[&] { form->MenuAction("Squelchcontrolled1Click")->trigger(); }, "Recording", "restart"},  // unchecked
        {[&] { form->MenuAction("Squelchcontrolled1Click")->trigger(); }, "Squelched", "stop"},
        {[&] { Advise("Unknown", "1"); }, "Squelched", "stop"},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        log.clear();
        steps[i].act();
        EXPECT_EQ(Status(), steps[i].status);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), steps[i].capture);
    }
    // A gate held: buffers that came back are still written, and no new ones go in.
    Buffer(7, 100);
    form->StopButtonClick();
    EXPECT_EQ(std::filesystem::file_size(dir / "g.wav"), 144u);
}

TEST_F(RecorderForm, MaximumSizeStopsOnTheBufferThatReachesIt)
{
    requestAnswers = {};
    Create();
    for (QAction* a : form->findChild<QMenu*>("Maximumfilesize1")->actions())
        if (a->text() == "1 MB")
            a->trigger();
    EXPECT_EQ(form->Settings().MaximumFileSize, 1048576);
    Record("max.wav");
    for (int n = 0; n < 255; ++n)
        Buffer(uint8_t(n));
    EXPECT_THAT(log, ::testing::Not(Contains("stop")));
    Buffer(255);  // 256 x 4096 = 1048576 bytes: the capture is held at once
    EXPECT_EQ(log.back(), "stop");
    for (int n = 0; n < 3; ++n)
        Buffer(9);  // what still comes back goes nowhere
    QCoreApplication::processEvents();
    EXPECT_EQ(form->State(), rsStopped);
    EXPECT_EQ(std::filesystem::file_size(dir / "max.wav"), 44u + 1048576);
    EXPECT_EQ(siggen::readWav(dir / "max.wav").samples.size(), 1048576u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RecorderForm, AlmostFullDriveStopsWithAWarning)
{
    requestAnswers = {};
    Create();
    Record("full.wav");
    Buffer(1);
    EXPECT_EQ(form->State(), rsRecording);
    freeBytes = 4999999;
    Buffer(2);
    EXPECT_TRUE(boxes.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(form->State(), rsStopped);
    EXPECT_THAT(boxes, ElementsAre("Korvanta Quenda: The destination drive is almost out of space, recording has "
                                   "been stopped"));
    EXPECT_EQ(std::filesystem::file_size(dir / "full.wav"), 44u + 2 * 4096);
}

TEST_F(RecorderForm, RefusedWriteStopsWithTheReasonAndKeepsWhatWasWritten)
{
    requestAnswers = {};
    Create();
    Record("refused.wav");
    Buffer(1);
    ASSERT_EQ(form->State(), rsRecording);
    // The file may not grow past the first buffer and 100 bytes more: the second buffer is
    // refused part way through, as on a disk that fills up between two free-space checks.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 44 + 4096 + 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Buffer(2);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(log.back(), "stop");
    QCoreApplication::processEvents();
    EXPECT_EQ(form->State(), rsStopped);
    EXPECT_THAT(boxes, ElementsAre("Korvanta Quenda: Cannot write file \"" + (dir / "refused.wav").string() +
                                   "\". " + std::strerror(EFBIG)));
    // The half-written buffer is cut off: a whole WAV of the first buffer, offered for playback.
    EXPECT_EQ(std::filesystem::file_size(dir / "refused.wav"), 44u + 4096);
    EXPECT_EQ(siggen::readWav(dir / "refused.wav").samples.size(), 4096u);
    EXPECT_EQ(Status(), "Stopped");
}

TEST_F(RecorderForm, PlaybackMutesTheReceiverUntilItEnds)
{
    WritePlayable("play.wav");
    Create();
    answers.push_back((dir / "play.wav").string());
    log.clear();
    form->PlayButtonClick();  // no file yet: the open dialog first
    EXPECT_EQ(form->TrackBar->maximum(), 30);
    EXPECT_EQ(form->LengthPanel->text(), "0:00:03.0");
    EXPECT_EQ(form->ScaleRow(), 1);
    ASSERT_THAT(log, Contains("poke 7 Mute 2 10000"));
    EXPECT_EQ(std::string(dde->pokes.back().begin(), dde->pokes.back().end()), std::string("1\0", 2));
    EXPECT_EQ(Status(), "Playing");
    EXPECT_FALSE(form->RecordButton->isEnabled());
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->State() == rsStopped; }));
    EXPECT_EQ(std::string(dde->pokes.back().begin(), dde->pokes.back().end()), std::string("0\0", 2));
    EXPECT_EQ(Status(), "Stopped");

    // Seeking: one second back from the start stays; forward moves by the file's rate.
    form->StartFileButtonClick();
    form->RewindButtonClick();
    EXPECT_EQ(form->MediaPlayer().position(), 0u);
    form->FFwdButtonClick();
    EXPECT_EQ(form->MediaPlayer().position(), 11025u);
    EXPECT_EQ(form->PositionPanel->text(), "0:00:01.0");
    EXPECT_EQ(form->TrackBar->Position(), 10);
}

TEST_F(RecorderForm, FileThatCannotBePlayedIsRefusedWithTheBox)
{
    testsupport::writeFile(dir / "bad.wav", "not a wave file at all");
    Create();
    answers.push_back((dir / "bad.wav").string());
    form->Open1Click();
    EXPECT_THAT(boxes, ElementsAre("Korvanta Quenda: Could not open the file for playback"));
    EXPECT_FALSE(form->MediaPlayer().isOpen());
    EXPECT_FALSE(form->TrackBar->isEnabled());
    EXPECT_FALSE(form->MenuAction("Properties1Click")->isEnabled());
}

// Record closes the player first; when no recording follows (the save dialog cancelled, or the
// file not made) nothing is left to seek in: the seeking controls and the scale go with the file.
TEST_F(RecorderForm, RecordThatDoesNotStartLeavesNothingToSeek)
{
    WritePlayable("play.wav");
    Create();
    for (const std::string& answer : {std::string(), (dir / "no such folder" / "x.wav").string()}) {
        SCOPED_TRACE(answer.empty() ? "cancelled" : answer);
        answers.push_back((dir / "play.wav").string());
        form->Open1Click();
        ASSERT_TRUE(form->TrackBar->isEnabled());
        ASSERT_EQ(form->TrackBar->maximum(), 30);
        ASSERT_TRUE(form->FFwdButton->isEnabled());
        if (!answer.empty())
            answers.push_back(answer);
        boxes.clear();
        form->RecordButtonClick();
        EXPECT_EQ(boxes.size(), answer.empty() ? 0u : 1u);
        EXPECT_EQ(form->State(), rsStopped);
        EXPECT_FALSE(form->MediaPlayer().isOpen());
        for (QWidget* w : {static_cast<QWidget*>(form->StartFileButton), static_cast<QWidget*>(form->RewindButton),
                           static_cast<QWidget*>(form->FFwdButton), static_cast<QWidget*>(form->TrackBar)})
            EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        EXPECT_EQ(form->TrackBar->maximum(), 0);
        EXPECT_FALSE(form->MenuAction("Properties1Click")->isEnabled());
        EXPECT_TRUE(form->PlayButton->isEnabled());
        EXPECT_TRUE(form->RecordButton->isEnabled());
    }
}

TEST_F(RecorderForm, FileThatCannotBeMadeIsReportedAndNothingStarts)
{
    Create();
    for (const std::string& path : {(dir / "no such folder" / "x.wav").string(), std::string("/dev/full")}) {
        SCOPED_TRACE(path);
        boxes.clear();
        log.clear();
        answers.push_back(path);
        form->RecordButtonClick();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_THAT(boxes[0], ::testing::StartsWith("Korvanta Quenda: Cannot "));
        EXPECT_EQ(form->State(), rsStopped);
        EXPECT_THAT(log, ::testing::Not(Contains("waveopen")));
        EXPECT_TRUE(form->RecordButton->isEnabled());
    }
}

TEST_F(RecorderForm, SettingsAreWrittenAtDestruction)
{
    requestAnswers = {};
    Create();
    for (QAction* a : form->findChild<QMenu*>("Audioformat1")->actions())
        if (a->text() == "16 bit" || a->text() == "44,100 Hz")
            a->trigger();
    form->MenuAction("Squelchcontrolled1Click")->trigger();
    form->FormDestroy();
    const auto& key = store.keys["\\Software\\Korvanta Communications\\Quenda\\Squelch Controlled Recorder"];
    EXPECT_EQ(key.at("Bits Per Sample"), "16");
    EXPECT_EQ(key.at("Sampling Rate"), "44100");
    EXPECT_EQ(key.at("Squelch Controlled"), "0");
    EXPECT_TRUE(key.count("Left") && key.count("Top"));
}

TEST(WaveProperties, CountsGroupedWithTheLocalesSeparator)
{
    struct Case {
        char separator;
        uint64_t value;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{',', 0, "0"},
                                           {',', 999, "999"},
                                           {',', 1000, "1,000"},
                                           {',', 661500, "661,500"},
                                           {'.', 1234567, "1.234.567"},
                                           {'\0', 1234567, "1234567"},
                                           {',', UINT64_MAX, "18,446,744,073,709,551,615"}}) {
        platform::LocaleInfo info;
        info.ThousandSeparator = c.separator;
        platform::SetLocale(&info);
        EXPECT_EQ(WithThousands(c.value), c.text);
    }
    platform::SetLocale(nullptr);
}

}  // namespace
