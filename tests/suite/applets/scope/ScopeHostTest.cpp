// The scope on the machine's services under the offscreen platform: a host on the conversation
// service, and as sound input a WAV file of a 1 kHz tone at the rate the timebase or the span asks for.
// The trace must start where the tone rises through the trigger level, the spectrum peak must lie in
// the tone's column.
#include "EventPump.h"
#include "MachinePorts.h"
#include "RegApplet.h"
#include "ScopeForm.h"
#include "Signal.h"
#include "TestSupport.h"
#include "platform/dde/FakeDdeServer.h"
#include "platform/ui/MessageBox.h"
#include "platform/sound/WaveScript.h"

#include <QApplication>
#include <QPointer>
#include <QRadioButton>

#include <gmock/gmock.h>

namespace {

const std::string kTopic = "Korvanta #2";

TScopeForm* FindForm()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<TScopeForm*>(w))
            return f;
    return nullptr;
}

class ScopeOnHost : public ::testing::Test {
protected:
    void WriteTone(uint32_t rate)
    {
        siggen::Segment tone;
        tone.kind = siggen::Segment::Kind::Tone;
        tone.freq = 1000;
        tone.amplitude = 0.5;
        tone.seconds = 10.0;
        siggen::Random random(1);
        siggen::writeWav(wav, siggen::mono(siggen::sequence({tone}, rate, random), rate));
    }
    void SetUp() override
    {
        platform::setWaveScript(nullptr);
        InstallMachineServices((dir / "QUENDA.HLP").string());
        ASSERT_TRUE(host.Register());
    }
    void TearDown() override { AppletServices() = TAppletServices(); }
    TScopeForm* Start()
    {
        if (!RunApplet(0, 2))
            return nullptr;
        return FindForm();
    }
    void Close(TScopeForm* form)
    {
        QPointer<TScopeForm> alive(form);
        form->close();
        ASSERT_TRUE(testsupport::pumpUntil([&] { return alive.isNull(); }));
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    std::filesystem::path wav = dir / "tone.wav";
    testsupport::ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    testsupport::ScopedEnv file{"WAVE_IN_FILE", wav.string()};
    // Twenty times real time: the tone lasts half a second, long enough for the checks under load.
    testsupport::ScopedEnv pace{"WAVE_IN_PACE", "20"};
    platform::dde::FakeDdeServer host{"Korvanta", {kTopic}};
    platform::MessageBoxRecorder boxes{{platform::IDNO}};  // a box would end the start, never wait
};

TEST_F(ScopeOnHost, IsTheFirstAppletAndTraceStartsAtTheRisingCrossing)
{
    EXPECT_EQ(AppletName(0), kScopeAppletName);
    WriteTone(44100);  // "1 ms/div" captures at 44100 Hz
    TScopeForm* form = Start();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Format().SamplesPerSec, 44100u);
    form->PositiveEdge->click();
    const int32_t level = 0;  // the level control's middle (128) is sample value 0
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->Trace().SamplesDrawn() > 441; }));
    const int h = form->Trace().TraceHeight();
    const auto& heights = form->Trace().Heights();
    // Rising from just above the middle line: the first sample is at or above the level and the
    // step to it is at most one sample of the tone (16384 x 2 pi / 44.1 = 2334).
    EXPECT_LE(heights[0], int64_t(32767 - level) * h / 65536);
    EXPECT_GE(heights[0], int64_t(32767 - 2334) * h / 65536);
    EXPECT_LT(heights[3], heights[0]);
    Close(form);
}

TEST_F(ScopeOnHost, SpectrumPeakInTheToneColumn)
{
    WriteTone(11025);  // the default span, 0 to 5000 Hz, captures at 11025 Hz
    // The window opens in analyser mode, as its settings say, so its input opens at the span's rate.
    auto settings = AppletServices().MakeSettings();
    ASSERT_TRUE(settings->OpenKey(std::string(kSuiteKey) + "Audio Scope and Analyser", true));
    settings->WriteBool("Analyser Display", true);
    settings->WriteInteger("Trigger", 1);  // single shot: the first spectrum stays, not the silence after the file
    settings->CloseKey();
    TScopeForm* form = Start();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->AnalyserMode());
    EXPECT_EQ(form->Format().SamplesPerSec, 11025u);
    EXPECT_EQ(form->BufferLength(), 1024);
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->Hold(); }));
    ASSERT_EQ(form->SpectrumPoints().size(), 465u);
    const auto& points = form->SpectrumPoints();
    const auto peak = std::min_element(points.begin(), points.end()) - points.begin();
    EXPECT_EQ(peak, 93);  // 1000 x 1024 / 11025 = 92.9
    Close(form);
}

}  // namespace
