// The scope window through the frame's fakes: capture settings, the trace and the spectrum of a
// tone, cursors, the grabber and its WAV files, and the settings it keeps.
#include "FreqEdit.h"
#include "MyScrollBar.h"
#include "PaintPanel.h"
#include "ScopeForm.h"
#include "SuiteFakes.h"
#include "WaveFileHeader.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include <gmock/gmock.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::vector<int16_t> Tone(double hz, int rate, size_t n, double amplitude = 16000, double phase = 0)
{
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / rate + phase)));
    return s;
}

std::filesystem::path TempPath(const std::string& name)
{
    return std::filesystem::temp_directory_path() / ("scope-" + std::to_string(::getpid()) + "-" + name);
}

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> WavBytes(const TWaveFileHeader& h, const std::vector<int16_t>& samples)
{
    const auto header = h.Bytes();
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (int16_t s : samples) {
        bytes.push_back(uint8_t(uint16_t(s)));
        bytes.push_back(uint8_t(uint16_t(s) >> 8));
    }
    return bytes;
}

class ScopeForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave, &dde);
        AppletServices().ProcessMessages = [] { QCoreApplication::processEvents(); };
        Create();
    }
    void Create()
    {
        form = std::make_unique<TScopeForm>(1);
        form->FormCreate();
        form->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        Destroy();
        AppletServices() = TAppletServices();
        for (const auto& p : files)
            std::filesystem::remove(p);
    }
    void Destroy()
    {
        if (form) {
            form->FormDestroy();
            form.reset();
        }
    }
    void Deliver(const std::vector<int16_t>& buffer) { wave->OnData(0, buffer.data(), buffer.size()); }
    void SelectTimebase(int i)
    {
        form->ScopeTimeBase->setCurrentIndex(i);
        form->ScopeTimeBaseChange();
    }
    std::filesystem::path File(const std::string& name)
    {
        files.push_back(TempPath(name));
        return files.back();
    }
    // Enables the grabber, grabs `buffers` buffers of a tone and stops.
    void GrabTone(int buffers)
    {
        form->StoreEnable->setChecked(true);
        form->StoreClick();
        form->StoreStartClick();
        for (int b = 0; b < buffers; ++b)
            Deliver(Tone(1000, 44100, 2048, 16000, b * 2048 * 2 * M_PI * 1000 / 44100));
        form->StoreStartClick();
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeDde* dde = nullptr;
    TFakeWaveIn* wave = nullptr;
    std::unique_ptr<TScopeForm> form;
    std::vector<std::filesystem::path> files;
};

TEST_F(ScopeForm, StartsAtOneMillisecondPerDivision)
{
    EXPECT_FALSE(form->Failed());
    EXPECT_EQ(form->windowTitle().toStdString(), "Audio Scope and Spectrum Analyser");
    EXPECT_EQ(form->Format().SamplesPerSec, 44100u);
    EXPECT_EQ(form->BufferLength(), 512);
    EXPECT_EQ(form->SamplesPerScreen(), 441);
    EXPECT_EQ(form->ScreenTime(), 10);
    EXPECT_THAT(log, ::testing::Contains("start 3x1024"));
    EXPECT_EQ(form->Traits().HelpContext, 102);
    EXPECT_EQ(form->Traits().KeyName, "Audio Scope and Analyser");
    EXPECT_FALSE(form->StoreStart->isEnabled());
    EXPECT_FALSE(form->ShotReset->isEnabled());
    EXPECT_FALSE(form->TriggerLevel->isEnabled());
}

TEST_F(ScopeForm, EachTimebaseRestartsTheCaptureWithItsRateAndBuffers)
{
    for (int i = 0; i < kTimebaseCount; ++i) {
        log.clear();
        SelectTimebase(i);
        const TTimebaseEntry& t = kScopeTimeBase[i];
        EXPECT_EQ(form->Format().SamplesPerSec, uint32_t(t.Rate)) << t.Name;
        EXPECT_EQ(form->BufferLength(), t.BufferLength) << t.Name;
        EXPECT_THAT(log, ::testing::Contains("start 3x" + std::to_string(2 * t.BufferLength))) << t.Name;
    }
    // "100 ms/div": every buffer completes a screen.
    int screens = 0;
    for (int b = 0; b < 3; ++b) {
        Deliver(Tone(50, 11025, 11200));
        screens += form->Trace().SamplesDrawn() == 11200;
    }
    EXPECT_EQ(screens, 3);
}

TEST_F(ScopeForm, AToneCrossesThePositiveTriggerAtTheLeftEdge)
{
    form->PositiveEdge->setChecked(true);
    form->TriggerClick();
    EXPECT_TRUE(form->TriggerLevel->isEnabled());
    EXPECT_TRUE(form->TriggerLevelMarker->isVisible());
    // A 1 kHz tone starting just after a rising zero crossing, at the timebase's rate: the trace starts
    // at the first sample at or above the level (0), so it starts on the middle line and rises.
    const std::vector<int16_t> s = Tone(1000, 44100, 512, 16000, M_PI);  // starts falling through 0
    Deliver(s);
    const int h = form->Trace().TraceHeight();
    const auto& heights = form->Trace().Heights();
    ASSERT_TRUE(form->Trace().PolylineForm());
    // At or just above the middle line: within one sample's step (16000 x 2 pi / 44.1 = 2280, 11 rows).
    EXPECT_LE(heights[0], int64_t(32767) * h / 65536);
    EXPECT_GE(heights[0], int64_t(32767 - 2280) * h / 65536);
    EXPECT_LT(heights[5], heights[0]);  // rising: higher on the screen
    // The drawn part began at the rising crossing: about half a period (22 samples) into the buffer.
    EXPECT_EQ(form->Trace().SamplesDrawn(), 512 - 23);
    // A level above every sample draws nothing.
    form->TriggerLevel->setValue(255);
    form->Trace();
    const int32_t before = form->Trace().SamplesDrawn();
    Deliver(Tone(1000, 44100, 512, 1000));
    EXPECT_TRUE(form->Trace().SamplesDrawn() == 0 || form->Trace().SamplesDrawn() == before);
}

TEST_F(ScopeForm, SingleShotFreezesOnACompleteScreen)
{
    form->SingleShot->setChecked(true);
    form->SingleShotClick();
    EXPECT_TRUE(form->ShotReset->isEnabled());
    EXPECT_FALSE(form->StoreEnable->isEnabled());
    Deliver(Tone(1000, 44100, 512));
    EXPECT_TRUE(form->Hold());
    const int32_t drawn = form->Trace().SamplesDrawn();
    Deliver(Tone(1000, 44100, 512));
    EXPECT_EQ(form->Trace().SamplesDrawn(), drawn);
    form->ShotResetClick();
    EXPECT_FALSE(form->Hold());
}

TEST_F(ScopeForm, ASpectrumPeakLiesInTheToneColumn)
{
    form->AnalyserButton->setChecked(true);
    form->AnalyserButtonClick();
    EXPECT_TRUE(form->AnalyserMode());
    EXPECT_EQ(form->Format().SamplesPerSec, 11025u);
    EXPECT_EQ(form->BufferLength(), 1024);
    EXPECT_EQ(form->Span().FirstBin, 0);
    EXPECT_EQ(form->Span().LastBin, 464);
    EXPECT_GT(form->Margin(), 0);
    Deliver(Tone(1000, 11025, 1024));
    const auto& points = form->SpectrumPoints();
    ASSERT_EQ(points.size(), 465u);
    const auto peak = std::min_element(points.begin(), points.end()) - points.begin();
    EXPECT_EQ(peak, 93);  // 1000 Hz x 1024 / 11025 = 92.9
    EXPECT_LT(points[93], points[80] - 50);
    // The peak's column on the display.
    const int x0 = form->Margin() + 1, W = form->Display->width() - x0 - 1;
    const QImage img = form->RenderDisplay();
    const int x = x0 + (W - 1) * 93 / 464;
    int top = img.height();
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(x, y) == QColor(255, 255, 255) || img.pixelColor(x + 1, y) == QColor(255, 255, 255)) {
            top = y;
            break;
        }
    EXPECT_NEAR(top, points[93], 3);
    EXPECT_FALSE(form->ClipState());
    std::vector<int16_t> full = Tone(1000, 11025, 1024);
    full[10] = 32767;
    Deliver(full);
    EXPECT_TRUE(form->ClipState());
    EXPECT_EQ(form->Clipping->palette().color(QPalette::Window), QColor(255, 0, 0));
    EXPECT_FALSE(form->GrabberGroup->isVisible());
    EXPECT_TRUE(form->SweepRange->isVisible());
}

// Each frame puts back only what the last one drew: the result must equal a frame drawn afresh.
TEST_F(ScopeForm, FramesDrawnOnTheLastOneLeaveNothingBehind)
{
    struct Case {
        const char* what;
        int timebase;  // -1: analyser
        bool bar;
        double hz1, hz2;
        int rate, n;
    };
    const Case cases[] = {
        {"polyline", 3, false, 1000, 1700, 44100, 512},
        {"columns", 6, false, 250, 90, 11025, 1200},
        {"spectrum bars then line", -1, true, 1000, 2500, 11025, 1024},
    };
    for (const Case& c : cases) {
        if (c.timebase >= 0) {
            SelectTimebase(c.timebase);
        } else {
            form->AnalyserButton->setChecked(true);
            form->AnalyserButtonClick();
        }
        form->Grid->setChecked(true);
        form->Bar->setChecked(c.bar);
        Deliver(Tone(c.hz1, c.rate, size_t(c.n), 20000));
        form->RenderDisplay();
        form->Bar->setChecked(false);
        form->Grid->setChecked(true);
        Deliver(Tone(c.hz2, c.rate, size_t(c.n), 9000));
        const QImage incremental = form->RenderDisplay().copy();
        form->Grid->setChecked(false);
        form->RenderDisplay();
        form->Grid->setChecked(true);
        const QImage fresh = form->RenderDisplay().copy();
        EXPECT_TRUE(incremental == fresh) << c.what;
    }
}

TEST_F(ScopeForm, AFrozenSpectrumOutlivesAResize)
{
    form->AnalyserButton->setChecked(true);
    form->AnalyserButtonClick();
    form->SingleShot->setChecked(true);
    form->SingleShotClick();
    Deliver(Tone(1000, 11025, 1024));
    ASSERT_TRUE(form->Hold());
    form->resize(form->width() + 40, form->height() + 30);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->SpectrumPoints().size(), 465u);
}

TEST_F(ScopeForm, TheAnalyserDropsEdgeTriggersAndAGrab)
{
    form->NegativeEdge->setChecked(true);
    form->TriggerClick();
    GrabTone(3);
    EXPECT_GT(form->GrabbedSamples(), 0);
    form->AnalyserButton->setChecked(true);
    form->AnalyserButtonClick();
    EXPECT_TRUE(form->FreeRunning->isChecked());
    EXPECT_FALSE(form->NegativeEdge->isEnabled());
    EXPECT_FALSE(form->StoreEnable->isChecked());
    EXPECT_EQ(form->GrabbedSamples(), 0);
    form->ScopeButton->setChecked(true);
    form->ScopeButtonClick();
    EXPECT_TRUE(form->NegativeEdge->isEnabled());
    EXPECT_EQ(form->Margin(), 0);
}

TEST_F(ScopeForm, GrabbingScalesTheScreenAndGrowsAsItFills)
{
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    EXPECT_TRUE(form->StoreStart->isEnabled());
    log.clear();
    form->StoreStartClick();
    EXPECT_TRUE(form->Grabbing());
    EXPECT_THAT(log, ::testing::Contains("start 3x4096"));
    EXPECT_EQ(form->Format().SamplesPerSec, 44100u);
    EXPECT_LT(form->GrabCapacity(), 1u << 20) << "the grab is not sized to the memory limit up front";
    for (int b = 0; b < 10; ++b)
        Deliver(Tone(1000, 44100, 2048));
    EXPECT_EQ(form->GrabbedSamples(), 20480);
    form->StoreStartClick();
    EXPECT_FALSE(form->Grabbing());
    EXPECT_TRUE(form->Hold());
    EXPECT_TRUE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->SamplesPerScreen(), 441);
    SelectTimebase(6);  // "10 ms/div"
    EXPECT_EQ(form->SamplesPerScreen(), 4408);
    EXPECT_EQ(form->StoreScroll->Max() - form->StoreScroll->LargeChange() + 1, 20480 - 4408 - 2);
    // The last screen is reachable and complete.
    form->StoreScroll->DoScroll(7, 0);
    EXPECT_EQ(form->StoreScroll->Position(), 20480 - 4408 - 2);
    EXPECT_GT(form->Trace().SamplesDrawn(), 4408);
    EXPECT_EQ(form->LeftReadout(), "365 ms");  // 16070 / 4408 x 100 ms
}

TEST_F(ScopeForm, ASlowTimebaseGrabsWithoutStalling)
{
    SelectTimebase(7);  // "20 ms/div": a screen of 8820 grabbed samples, more than one buffer
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    form->StoreStartClick();
    // While grabbing the screen is the table's 2205 samples: the first buffer is shorter than that.
    EXPECT_NO_THROW(Deliver(Tone(1000, 44100, 2048)));
    EXPECT_EQ(form->StoreScroll->Max(), 0);
    EXPECT_NO_THROW(Deliver(Tone(1000, 44100, 2048)));
    EXPECT_EQ(form->GrabbedSamples(), 4096);
    form->StoreStartClick();
    EXPECT_EQ(form->SamplesPerScreen(), 8820);
    EXPECT_EQ(form->StoreScroll->Max(), 0);
    EXPECT_EQ(form->Trace().SamplesDrawn(), 4095);
}

TEST_F(ScopeForm, TheGrabStopsAtTheMemoryLimit)
{
    form->SetMemoryLimit(2 * 10000);  // room for 10000 samples
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    form->StoreStartClick();
    for (int b = 0; b < 10 && form->Grabbing(); ++b)
        Deliver(Tone(1000, 44100, 2048));
    EXPECT_FALSE(form->Grabbing());
    EXPECT_LE(form->GrabbedSamples(), 10000);
    EXPECT_TRUE(form->Hold());
    EXPECT_TRUE(form->SaveButton->isEnabled());
}

TEST_F(ScopeForm, DerivativeRedrawsLeaveTheGrabAlone)
{
    GrabTone(4);
    const std::vector<int16_t> grab = form->Grab();
    form->Derivative->setChecked(true);
    form->DerivativeClick();
    const auto first = form->Trace().ShownBitmap();
    form->DerivativeClick();
    form->VertScaleSpin->setValue(2);
    form->VertScaleSpin->setValue(1);
    EXPECT_EQ(form->Grab(), grab);
    EXPECT_EQ(form->Trace().ShownBitmap(), first);
}

TEST_F(ScopeForm, ATriggerClickDiscardsAHeldGrab)
{
    GrabTone(2);
    EXPECT_GT(form->GrabbedSamples(), 0);
    form->PositiveEdge->setChecked(true);
    form->TriggerClick();
    EXPECT_EQ(form->GrabbedSamples(), 0);
    EXPECT_FALSE(form->SaveButton->isEnabled());
    EXPECT_EQ(form->StoreScroll->Max(), 0);
}

// Discarding held data by a trigger click brings back the time base: its samples per screen, and
// the capture at its rate and buffer length (the file's or the grab's are gone with the data).
TEST_F(ScopeForm, DiscardingHeldDataRestoresTheTimebase)
{
    struct Case {
        const char* what;
        int timebase;
        bool file;  // a loaded 8000 Hz file, else a grab at 44100 Hz
        TTriggerMode then;
    };
    const Case cases[] = {
        {"a file at 1 ms/div, then free running", 3, true, tmFreeRunning},
        {"a file at 1 ms/div, then a positive edge", 3, true, tmPositiveEdge},
        {"a grab at 10 ms/div, then a negative edge", 6, false, tmNegativeEdge},
        {"a file at 20 ms/div, then a positive edge", 7, true, tmPositiveEdge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QRadioButton* mode = c.then == tmFreeRunning  ? form->FreeRunning
                             : c.then == tmPositiveEdge ? form->PositiveEdge
                                                        : form->NegativeEdge;
        form->FreeRunning->setChecked(true);
        form->TriggerClick();
        SelectTimebase(c.timebase);
        form->StoreEnable->setChecked(true);
        form->StoreClick();
        if (c.file) {
            const auto path = File("8k.wav");
            TWaveFileHeader h = TWaveFileHeader::Pcm(1, 8000, 16);
            const auto samples = Tone(1000, 8000, 4000);
            h.SetDataSize(uint32_t(samples.size() * 2));
            WriteFile(path, WavBytes(h, samples));
            ASSERT_TRUE(form->LoadWaveFile(path.string()));
            ASSERT_EQ(form->Format().SamplesPerSec, 8000u);
        } else {
            GrabTone(2);
            ASSERT_EQ(form->Format().SamplesPerSec, 44100u);
            ASSERT_EQ(form->BufferLength(), 2048);
        }
        const TTimebaseEntry& t = kScopeTimeBase[c.timebase];
        ASSERT_NE(form->SamplesPerScreen(), t.Samples);
        log.clear();
        mode->setChecked(true);
        form->TriggerClick();
        EXPECT_EQ(form->GrabbedSamples(), 0);
        EXPECT_EQ(form->SamplesPerScreen(), t.Samples);
        EXPECT_EQ(form->Format().SamplesPerSec, uint32_t(t.Rate));
        EXPECT_EQ(form->BufferLength(), t.BufferLength);
        EXPECT_EQ(form->ScreenTime(), ScreenTimeMs(t.Samples, t.Rate));
        EXPECT_THAT(log, ::testing::Contains("start 3x" + std::to_string(2 * t.BufferLength)));
        EXPECT_FALSE(form->Hold());
        // Live buffers are drawn again, at the time base's length.
        Deliver(Tone(100, t.Rate, size_t(t.BufferLength)));
        EXPECT_GT(form->Trace().SamplesDrawn(), 0);
        form->StoreEnable->setChecked(false);
        form->StoreClick();
    }
}

// A low sine edge-triggered at 1 ms/div, buffer after buffer as the card delivers them: every
// screen is one stretch after one trigger, so the drawn line's neighbouring columns differ by no
// more than the sine's slope allows (a screen stitched from separately triggered pieces jumps).
TEST_F(ScopeForm, ALowSineDrawsAnUnbrokenLineAtOneMillisecondPerDivision)
{
    form->PositiveEdge->setChecked(true);
    form->TriggerClick();
    ASSERT_EQ(form->SamplesPerScreen(), 441);
    ASSERT_TRUE(form->Trace().PolylineForm());
    const int W = form->Display->width() - 2, H = form->Display->height() - 2;
    const double amplitude = 16000, f = 100;
    // Rows the line may move from one column to the next: the sine's steepest step per sample
    // times the samples per column, and a row for the rounding at each end.
    const double perColumn = amplitude * 2 * M_PI * f / 44100 * H / 65536.0 * 440.0 / W;
    const int allowed = int(std::ceil(perColumn)) + 2;
    const QRgb trace = QColor(255, 255, 255).rgb();
    int screens = 0;
    for (int b = 0; b < 40; ++b) {
        Deliver(Tone(f, 44100, 512, amplitude, 2 * M_PI * f * b * 512 / 44100));
        if (form->Trace().SamplesDrawn() <= 441)
            continue;
        ++screens;
        const QImage img = form->RenderDisplay();
        std::vector<double> middle;
        for (int x = 1; x < 1 + W; ++x) {
            int top = -1, bottom = -1;
            for (int y = 1; y < 1 + H; ++y)
                if (img.pixel(x, y) == trace) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                }
            ASSERT_GE(top, 0) << "column " << x << " of screen " << screens;
            middle.push_back((top + bottom) / 2.0);
        }
        for (size_t x = 1; x < middle.size(); ++x)
            ASSERT_LE(std::abs(middle[x] - middle[x - 1]), allowed) << "columns " << x << " and " << x + 1 << " of screen "
                                                                    << screens;
    }
    EXPECT_GT(screens, 10);
}

TEST_F(ScopeForm, AGrabSavedAndLoadedBackIsTheSame)
{
    GrabTone(5);
    const std::vector<int16_t> grab = form->Grab();
    const auto path = File("grab.wav");
    ASSERT_TRUE(form->SaveWaveFile(path.string()));
    EXPECT_EQ(std::filesystem::file_size(path), 44u + 2u * grab.size());
    std::ifstream f(path, std::ios::binary);
    uint8_t head[44];
    f.read(reinterpret_cast<char*>(head), 44);
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(head);
    EXPECT_TRUE(h.IsMonoPcm16());
    EXPECT_EQ(h.SamplesPerSec, 44100u);
    EXPECT_EQ(h.AvgBytesPerSec, 88200u);
    EXPECT_EQ(h.DataSize, 2u * grab.size());
    EXPECT_EQ(h.RiffSize, 2u * grab.size() + 36);

    form->StoreEnable->setChecked(false);
    form->StoreClick();
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    EXPECT_EQ(form->GrabbedSamples(), 0);
    ASSERT_TRUE(form->LoadWaveFile(path.string()));
    EXPECT_EQ(form->Grab(), grab);
    EXPECT_EQ(form->GrabbedSamples(), int32_t(grab.size()));
    EXPECT_TRUE(form->Hold());
}

TEST_F(ScopeForm, LoadedFilesAtTheirOwnRate)
{
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    const auto path = File("8k.wav");
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, 8000, 16);
    const auto samples = Tone(1000, 8000, 4000);
    h.SetDataSize(uint32_t(samples.size() * 2));
    h.BlockAlign = 7;  // a lying block alignment is not taken over
    WriteFile(path, WavBytes(h, samples));
    ASSERT_TRUE(form->LoadWaveFile(path.string()));
    EXPECT_EQ(form->SamplesPerScreen(), 80);  // 441 x 8000 div 44100
    EXPECT_EQ(form->Format().SamplesPerSec, 8000u);
    const auto saved = File("8k-again.wav");
    ASSERT_TRUE(form->SaveWaveFile(saved.string()));
    std::ifstream f(saved, std::ios::binary);
    uint8_t head[44];
    f.read(reinterpret_cast<char*>(head), 44);
    EXPECT_EQ(TWaveFileHeader::FromBytes(head).BlockAlign, 2);
    EXPECT_EQ(TWaveFileHeader::FromBytes(head).AvgBytesPerSec, 16000u);

    // A file shorter than one screen loads and shows what it holds.
    const auto tiny = File("tiny.wav");
    TWaveFileHeader t = TWaveFileHeader::Pcm(1, 44100, 16);
    const auto few = Tone(1000, 44100, 100);
    t.SetDataSize(200);
    WriteFile(tiny, WavBytes(t, few));
    ASSERT_TRUE(form->LoadWaveFile(tiny.string()));
    EXPECT_EQ(form->GrabbedSamples(), 100);
    EXPECT_EQ(form->StoreScroll->Max(), 0);
}

TEST_F(ScopeForm, OtherFormatsAreRefused)
{
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    GrabTone(1);
    const std::vector<int16_t> before = form->Grab();
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
        const char* message;
    };
    const Case cases[] = {
        {"two channels", [](std::vector<uint8_t>& b) { b[22] = 2; }, "Cannot open this wave file format"},
        {"8 bits", [](std::vector<uint8_t>& b) { b[34] = 8; }, "Cannot open this wave file format"},
        {"format chunk of 18 bytes", [](std::vector<uint8_t>& b) { b[16] = 18; }, "Cannot open this wave file format"},
        {"a chunk before the data", [](std::vector<uint8_t>& b) { std::memcpy(&b[36], "LIST", 4); },
         "Cannot open this wave file format"},
        {"rate 0", [](std::vector<uint8_t>& b) { b[24] = b[25] = b[26] = b[27] = 0; },
         "Cannot open this wave file format"},
        {"shorter than its header", [](std::vector<uint8_t>& b) { b.resize(30); }, "Stream read error"},
    };
    for (const Case& c : cases) {
        TWaveFileHeader h = TWaveFileHeader::Pcm(1, 44100, 16);
        h.SetDataSize(200);
        std::vector<uint8_t> bytes = WavBytes(h, Tone(500, 44100, 100));
        c.change(bytes);
        const auto path = File("bad.wav");
        WriteFile(path, bytes);
        platform::MessageBoxRecorder boxes;
        EXPECT_FALSE(form->LoadWaveFile(path.string())) << c.what;
        ASSERT_EQ(boxes.boxes().size(), 1u) << c.what;
        EXPECT_EQ(boxes.boxes()[0].text, c.message) << c.what;
        EXPECT_EQ(form->Grab(), before) << c.what << ": nothing changes";
    }
}

TEST_F(ScopeForm, ALyingDataSizeReadsOnlyWhatTheFileHolds)
{
    form->StoreEnable->setChecked(true);
    form->StoreClick();
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, 44100, 16);
    h.SetDataSize(0xFFFFFFF0u);
    const auto path = File("liar.wav");
    WriteFile(path, WavBytes(h, Tone(1000, 44100, 3000)));
    platform::MessageBoxRecorder boxes;
    EXPECT_FALSE(form->LoadWaveFile(path.string()));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Stream read error");
    EXPECT_EQ(form->GrabbedSamples(), 3000);
    EXPECT_EQ(form->Grab().size(), 3000u);
    EXPECT_LT(form->GrabCapacity(), 10000u);
}

TEST_F(ScopeForm, CursorsAndTheirReadout)
{
    form->NumMarkers->setValue(2);
    EXPECT_EQ(form->ScopeCursorCount(), 2);
    const int cw = form->Display->width();
    // 2 ms and 5 ms of a 10 ms screen.
    form->MoveCursor(0, 1 + (cw - 3) / 5);
    form->MoveCursor(1, 1 + (cw - 3) / 2);
    EXPECT_NEAR(form->ScopeCursor(0), 2.0, 0.05);
    EXPECT_NEAR(form->ScopeCursor(1), 5.0, 0.05);
    if ((cw - 3) % 10 == 0) {
        EXPECT_EQ(form->CursorReadout(), "1 = 2 ms,  2 = 5 ms,  2-1 = 3 ms");
    }
    // Dragged beyond the display the cursor stays on it.
    form->MoveCursor(1, 100000);
    EXPECT_EQ(form->CursorPanel(false, 1)->x(), cw - 2);
    form->MoveCursor(1, -50);
    EXPECT_EQ(form->CursorPanel(false, 1)->x(), 1);
    form->NumMarkers->setValue(1);
    EXPECT_EQ(form->ScopeCursorCount(), 1);
    EXPECT_EQ(form->CursorPanel(false, 1), nullptr);
    EXPECT_THAT(form->CursorReadout(), ::testing::StartsWith("1 = "));
    EXPECT_EQ(form->LeftReadout(), "0 ms");
    EXPECT_EQ(form->RightReadout(), "10 ms");
}

TEST_F(ScopeForm, TheTriggerMarkerFollowsTheLevelAndStaysInRange)
{
    form->PositiveEdge->setChecked(true);
    form->TriggerClick();
    const int ch = form->Display->height();
    form->TriggerLevel->setValue(200);
    EXPECT_EQ(form->TriggerLevelMarker->y(), TriggerMarkerTop(ch, 200));
    form->SetLevelFromMarkerTop(-500);
    EXPECT_EQ(form->TriggerLevel->value(), 255);
    form->SetLevelFromMarkerTop(5000);
    EXPECT_EQ(form->TriggerLevel->value(), 0);
}

TEST_F(ScopeForm, SettingsAreKeptAndReadBack)
{
    form->NumMarkers->setValue(2);
    form->MoveCursor(0, 50);
    form->MoveCursor(1, 120);
    form->Grid->setChecked(true);
    SelectTimebase(5);  // the cursors keep their places; their values follow the screen
    const double c0 = form->ScopeCursor(0), c1 = form->ScopeCursor(1);
    EXPECT_GT(c0, 3.0);
    form->VertScaleSpin->setValue(4);
    form->FreqEdit1->SetFrequency(3000);
    form->CursorColour = platform::clLime;
    Destroy();
    const auto& key = store.keys["\\Software\\Korvanta Communications\\Quenda\\Audio Scope and Analyser"];
    EXPECT_EQ(key.at("Timebase"), "5");
    EXPECT_EQ(key.at("Grid"), "1");
    EXPECT_EQ(key.at("Num Scope Cursors"), "2");
    EXPECT_EQ(key.at("Scope Cursor 1").size(), 8u);
    EXPECT_EQ(key.at("Frequency 1"), "3000");
    Create();
    EXPECT_EQ(form->ScopeTimeBase->currentIndex(), 5);
    EXPECT_EQ(form->SamplesPerScreen(), 1102);
    EXPECT_TRUE(form->Grid->isChecked());
    EXPECT_EQ(form->VertScaleSpin->value(), 4);
    EXPECT_EQ(form->ScopeCursorCount(), 2);
    EXPECT_NEAR(form->ScopeCursor(0), c0, 1e-9);
    EXPECT_NEAR(form->ScopeCursor(1), c1, 1e-9);
    EXPECT_EQ(form->CursorColour, platform::clLime);
    EXPECT_EQ(form->FreqEdit1->Frequency(), 3000);
}

TEST_F(ScopeForm, ColoursApplyToDisplayCursorsAndMarker)
{
    form->NumMarkers->setValue(1);
    form->BackgroundColour = platform::clNavy;
    form->CursorColour = platform::clYellow;
    form->PropsApply(nullptr);
    EXPECT_EQ(form->Display->palette().color(QPalette::Window), QColor(0, 0, 128));
    EXPECT_EQ(form->CursorPanel(false, 0)->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(form->TriggerLevelMarker->palette().color(QPalette::Window), QColor(255, 255, 0));
    EXPECT_EQ(form->RenderDisplay().pixelColor(5, 5), QColor(0, 0, 128));
}

}  // namespace
