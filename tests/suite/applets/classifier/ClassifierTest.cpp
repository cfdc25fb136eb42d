// The signal classifier: its three measures and decision on small captures, and its window's
// capture cycle with the host through the frame's fakes.
#include "Classifier.h"
#include "MulDiv.h"
#include "RegApplet.h"
#include "SuiteBox.h"
#include "SuiteFakes.h"
#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

#include <gmock/gmock.h>

#include <cmath>

using ::testing::ElementsAre;

namespace {

using Capture = std::vector<int16_t>;

// Samples whose values after the division by 256 are `values`, then zeros.
Capture FromValues(const std::vector<int>& values)
{
    Capture c(kClassifierSamples, 0);
    for (size_t i = 0; i < values.size(); ++i)
        c[i] = int16_t(values[i] * 256);
    return c;
}

// A deterministic generator, so the noise fixtures are the same on every run.
struct Lcg {
    uint32_t s;
    uint32_t Next()
    {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    }
};

Capture Square()
{
    Capture c(kClassifierSamples);
    for (size_t i = 0; i < c.size(); ++i)
        c[i] = (i / 16) % 2 ? -20000 : 20000;
    return c;
}

Capture WhiteNoise()
{
    Capture c(kClassifierSamples);
    Lcg g{12345};
    for (int16_t& s : c) {
        int32_t u = 0;
        for (int k = 0; k < 4; ++k)
            u += int32_t(g.Next() % 16001) - 8000;
        s = int16_t(u);
    }
    return c;
}

Capture Sine()
{
    Capture c(kClassifierSamples);
    for (size_t i = 0; i < c.size(); ++i)
        c[i] = int16_t(std::lround(20000 * std::sin(2 * M_PI * double(i) / 100.0)));
    return c;
}

// Random bits of 8 samples at two levels: uncorrelated like noise, two-level like data.
Capture RandomBits()
{
    Capture c(kClassifierSamples);
    Lcg g{777};
    int level = 1;
    for (size_t i = 0; i < c.size(); ++i) {
        if (i % 8 == 0)
            level = (g.Next() & 1) ? 1 : -1;
        c[i] = int16_t(level * 20000);
    }
    return c;
}

TClassifierResult Analyse(const Capture& c, int32_t s1 = 50, int32_t s2 = 50, int32_t s3 = 50)
{
    TClassifierAnalysis a;
    a.Load(c.data(), c.size());
    return a.Measure(s1, s2, s3);
}

TEST(ClassifierAnalysis, LoadDividesTruncatingAndTakesOffTheMean)
{
    // -255 .. 255 give 0 and -32768 gives -128; the sum 2 * 127 - 1 - 128 keeps the mean at 0.
    Capture c = FromValues({});
    c[0] = 32767, c[1] = 32767, c[2] = -255, c[3] = 255, c[4] = -256, c[5] = -32768;
    TClassifierAnalysis a;
    a.Load(c.data(), c.size());
    EXPECT_THAT(std::vector<int32_t>(a.Values().begin(), a.Values().begin() + 6), ElementsAre(127, 127, 0, 0, -1, -128));
    // A mean of 100 + 1/2 truncates to 100.
    Capture d(kClassifierSamples, 100 * 256);
    for (size_t i = 0; i < 2048; ++i)
        d[i] = 101 * 256;
    a.Load(d.data(), d.size());
    EXPECT_EQ(a.Values()[0], 1);
    EXPECT_EQ(a.Values()[4095], 0);
}

TEST(ClassifierAnalysis, MeasuresOfTheFixtures)
{
    struct Case {
        const char* name;
        Capture capture;
        int32_t silenceLevel, noiseLevel, dataLevel;
        bool silent, noise, data;
    };
    const std::vector<Case> cases = {
        {"all zero", FromValues({}), 100, 0, 0, true, false, false},
        {"square wave", Square(), -60740, 1, 100, false, false, true},
        {"white noise", WhiteNoise(), -13084, 94, 20, false, true, false},
        {"sine", Sine(), -29849, 2, 100, false, false, true},
        {"random bits", RandomBits(), -60740, 71, 100, false, true, true},
    };
    for (const Case& c : cases) {
        const TClassifierResult r = Analyse(c.capture);
        EXPECT_EQ(r.SilenceLevel, c.silenceLevel) << c.name;
        EXPECT_EQ(r.NoiseLevel, c.noiseLevel) << c.name;
        EXPECT_EQ(r.DataLevel, c.dataLevel) << c.name;
        EXPECT_EQ(r.Silent, c.silent) << c.name;
        EXPECT_EQ(r.Noise, c.noise) << c.name;
        EXPECT_EQ(r.Data, c.data) << c.name;
    }
}

TEST(ClassifierAnalysis, AllZeroIsSilentForEveryMarker)
{
    for (int32_t sq = 0; sq <= 98; ++sq) {
        const TClassifierResult r = Analyse(FromValues({}), sq, sq, sq);
        EXPECT_EQ(r.E, 0);
        EXPECT_TRUE(r.Silent) << sq;
        EXPECT_FALSE(r.Noise || r.Data) << sq;
    }
}

TEST(ClassifierAnalysis, SquareWaveHasNoReturnsAndIsDataForEveryMarker)
{
    for (int32_t sq : {0, 1, 50, 97, 98}) {
        const TClassifierResult r = Analyse(Square(), 50, 50, sq);
        EXPECT_EQ(r.Returns, 0);
        EXPECT_EQ(r.Highs + r.Lows, 255);
        EXPECT_EQ(r.DataLevel, 100);
        EXPECT_TRUE(r.Data) << sq;
    }
}

TEST(ClassifierAnalysis, SilenceAtTheTopMarkerMeansAnEnergyOf819OrLess)
{
    // One value of 1 and n pairs of +1 -1: the sum stays 1, the mean 0 and E = 1 + 2n.
    auto energy = [](int n, int extra) {
        std::vector<int> v(size_t(extra), 1);
        for (int i = 0; i < n; ++i) {
            v.push_back(1);
            v.push_back(-1);
        }
        return FromValues(v);
    };
    struct Case {
        Capture capture;
        int32_t e;
        int32_t squelch;
        bool silent;
    };
    for (const Case& c : std::vector<Case>{{energy(409, 1), 819, 98, true},
                                           {energy(410, 0), 820, 98, false},
                                           {energy(409, 0), 818, 98, true},
                                           {energy(614, 1), 1229, 97, true},   // 3 * 4096 / 10 rounds to 1229
                                           {energy(615, 0), 1230, 97, false},
                                           {energy(410, 0), 820, 0, true}}) {
        const TClassifierResult r = Analyse(c.capture, c.squelch);
        EXPECT_EQ(r.E, c.e);
        EXPECT_EQ(r.Silent, c.silent) << c.e << " at " << c.squelch;
        if (r.Silent) {
            EXPECT_EQ(r.NoiseLevel, 0);
            EXPECT_EQ(r.DataLevel, 0);
        }
    }
}

TEST(ClassifierAnalysis, HandWorkedExcursionsAndAutocorrelation)
{
    // Thirds at +-30: high, back from the middle to high (a return), down to low, back from the
    // middle to low (a return), up to high: H 2, L 2, returns 2. Largest lag product after the
    // first negative one: 8100 of E 40500.
    const Capture c = FromValues({90, 0, 90, 0, -90, 0, -90, 90});
    const TClassifierResult r = Analyse(c);
    EXPECT_EQ(r.E, 40500);
    EXPECT_EQ(r.SilenceLevel, 1);  // 100 - 405000 / 4096 rounded
    EXPECT_EQ(r.Highs, 2);
    EXPECT_EQ(r.Lows, 2);
    EXPECT_EQ(r.Returns, 2);
    EXPECT_EQ(r.DataLevel, 0);
    EXPECT_EQ(r.Peak, 8100);
    EXPECT_EQ(r.NoiseLevel, 80);
    EXPECT_TRUE(r.Noise);
    // data holds while (100 - sq) * 4 / 200, halves rounded up, reaches the 2 returns: up to sq 25.
    for (auto [sq, data] : std::vector<std::pair<int, bool>>{{0, true}, {25, true}, {26, false}, {98, false}})
        EXPECT_EQ(Analyse(c, 50, 50, sq).Data, data) << sq;
    // noise holds while the peak stays under E * (100 - sq) / 100: 8100 < 8505 at 79, not at 80.
    EXPECT_TRUE(Analyse(c, 50, 79).Noise);
    EXPECT_FALSE(Analyse(c, 50, 80).Noise);
}

TEST(ClassifierAnalysis, PeakCountsOnlyFromTheFirstNegativeLag)
{
    // R(1) = 10000 comes before the first negative lag and is left out.
    const TClassifierResult r = Analyse(FromValues({100, 100, -100, -100}));
    ASSERT_FALSE(r.Silent);
    EXPECT_EQ(r.Peak, 0);
    EXPECT_EQ(r.NoiseLevel, 100);
    // A single value correlates with nothing: no lag is negative and the peak stays 0.
    EXPECT_EQ(Analyse(FromValues({100})).Peak, 0);
}

TEST(ClassifierAnalysis, ShortCaptureKeepsTheRestOfThePreviousOne)
{
    TClassifierAnalysis a;
    const Capture sq = Square();
    a.Load(sq.data(), sq.size());
    const Capture zeros(100, 0);
    a.Load(zeros.data(), zeros.size());
    Capture joined = sq;
    std::fill_n(joined.begin(), 100, 0);
    TClassifierAnalysis b;
    b.Load(joined.data(), joined.size());
    EXPECT_EQ(a.Values(), b.Values());
}

TEST(ClassifierDecision, TicksClassesAndTestMode)
{
    auto res = [](bool s, bool n, bool d) {
        TClassifierResult r;
        r.Silent = s, r.Noise = n, r.Data = d;
        return r;
    };
    const TClassifierTicks all{true, true, true, true};
    struct Case {
        TClassifierResult r;
        TClassifierTicks ticks;
        bool test;
        bool resumes;
    };
    for (const Case& c : std::vector<Case>{
             {res(true, false, false), {true, false, false, false}, false, true},
             {res(true, false, false), {false, true, true, true}, false, false},
             {res(false, true, false), {false, true, false, false}, false, true},
             {res(false, false, true), {false, false, true, false}, false, true},
             {res(false, true, true), {false, false, true, false}, false, true},  // noise and data both
             {res(false, true, true), {true, false, false, true}, false, false},
             {res(false, false, false), {false, false, false, true}, false, true},
             {res(false, false, false), {true, true, true, false}, false, false},
             {res(true, false, false), all, true, false},
             {res(false, false, false), all, true, false},
             {res(false, true, true), all, true, false}}) {
        EXPECT_EQ(ClassifierResumes(c.r, c.ticks, c.test), c.resumes)
            << c.r.Silent << c.r.Noise << c.r.Data << " ticks " << c.ticks.Silent << c.ticks.Noise << c.ticks.Data
            << c.ticks.Unrecognized << " test " << c.test;
    }
}

// The window through the frame's fakes.
class ClassifierForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, nullptr, &wave, &dde);
        AppletServices().ProcessMessages = [] { QCoreApplication::processEvents(); };
        form = std::make_unique<TClassifierForm>(3);
        form->FormCreate();
    }
    void TearDown() override
    {
        form->FormDestroy();
        form.reset();
        AppletServices() = TAppletServices();
    }
    uint32_t Advise(const std::string& item, const std::string& value)
    {
        std::vector<uint8_t> data(value.begin(), value.end());
        data.push_back(0);
        return form->DdeCallback({dde::XTYP_ADVDATA, 7, "Korvanta #3", item, data});
    }
    void Deliver(const Capture& c) { wave->OnData(0, c.data(), c.size()); }
    long Count(const std::string& line) const { return std::count(log.begin(), log.end(), line); }
    static bool Lime(const QFrame* f) { return TClassifierForm::IndicatorColor(f) == QColor(0, 255, 0); }

    std::vector<std::string> log;
    TFakeDde* dde = nullptr;
    TFakeWaveIn* wave = nullptr;
    std::unique_ptr<TClassifierForm> form;
};

TEST_F(ClassifierForm, StartsWithTheInputRunningAndNoBufferQueued)
{
    EXPECT_FALSE(form->Failed());
    EXPECT_THAT(log, ElementsAre("waveopen", "start 1x8192 queued 0", "init 2093072", "connect Korvanta|Korvanta #3",
                                 "advstart 7 ScanState 5000"));
    EXPECT_EQ(form->LM1->SLevel(), 50);
    EXPECT_EQ(form->LM3->Squelch(), 50);
    EXPECT_TRUE(form->Test->isEnabled());
    EXPECT_EQ(form->windowTitle(), "Signal Classifier");
    EXPECT_EQ(form->Traits().HelpContext, 108);
    EXPECT_EQ(form->Traits().ModuleText, "Signal Classifier");
    EXPECT_TRUE(form->Traits().KeyName.empty());
}

TEST_F(ClassifierForm, FixedWindowOfTheFormsSizeCentredOnceShown)
{
    EXPECT_EQ(form->findChild<QMenuBar*>(), nullptr);
    EXPECT_EQ(form->Client()->size(), QSize(276, 267));
    EXPECT_EQ(form->minimumSize(), QSize(276, 267));
    EXPECT_EQ(form->maximumSize(), QSize(276, 267));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    form->show();
    QCoreApplication::processEvents();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(form->pos(), QPoint((screen.width() - form->frameGeometry().width()) / 2,
                                  (screen.height() - form->frameGeometry().height()) / 2));
}

TEST_F(ClassifierForm, HelpButtonPopsTheHelpMenuUpBelowItsLeftEdge)
{
    QMenu* menu = form->HelpMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "&Contents");
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "&About...");
    EXPECT_TRUE(items[2]->shortcut().isEmpty());
    EXPECT_TRUE(form->actions().contains(items[0]));  // F1 works in the window

    int helpContext = -1;
    AppletServices().ShowHelpContext = [&](int context) { helpContext = context; };
    items[0]->trigger();
    EXPECT_EQ(helpContext, 108);

    form->show();
    QCoreApplication::processEvents();
    form->HelpButton->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), form->HelpButton->mapToGlobal(QPoint(0, form->HelpButton->height())));
    menu->close();
}

TEST_F(ClassifierForm, EachStopOfTheScannerQueuesOneBuffer)
{
    log.clear();
    EXPECT_EQ(Advise("ScanState", "0"), dde::DDE_FACK);
    EXPECT_THAT(log, ElementsAre("requeue 0"));
    EXPECT_TRUE(form->CapturePending());
    EXPECT_TRUE(Lime(form->GateIndicator));
    EXPECT_FALSE(form->Test->isEnabled());
    // A second report while the capture is pending queues nothing more.
    EXPECT_EQ(Advise("scanstate", "0"), dde::DDE_FACK);
    EXPECT_EQ(Count("requeue 0"), 1);
    // The buffer's return runs the analysis and is not queued again.
    Deliver(Square());
    EXPECT_FALSE(form->CapturePending());
    EXPECT_FALSE(Lime(form->GateIndicator));
    EXPECT_TRUE(form->Test->isEnabled());
    EXPECT_EQ(form->LM3->SLevel(), 100);
    EXPECT_EQ(form->LM2->SLevel(), 1);
    EXPECT_EQ(form->LM1->SLevel(), 0);  // clamped
    EXPECT_EQ(Count("requeue 0"), 1);
    // A buffer nothing asked for changes nothing.
    Deliver(FromValues({}));
    EXPECT_EQ(form->LM3->SLevel(), 100);
}

// Run headless, each measurement is written with the levels the meters show, not the raw figures
// (a square wave's silence level is far below 0, a white noise's data level above 100).
TEST_F(ClassifierForm, HeadlessLinePrintsWhatTheMetersShow)
{
    testsupport::ScopedEnv headless("KORVANTA_HEADLESS", "1");
    for (const Capture& c : {Square(), WhiteNoise(), Sine(), FromValues({})}) {
        Advise("ScanState", "0");
        ::testing::internal::CaptureStdout();
        Deliver(c);
        const std::string out = ::testing::internal::GetCapturedStdout();
        const TClassifierResult& r = form->LastResult();
        const std::string levels = "silence " + std::to_string(form->LM1->SLevel()) + (r.Silent ? " (silent)" : "") +
                                   ", noise " + std::to_string(form->LM2->SLevel()) + (r.Noise ? " (noise)" : "") +
                                   ", data " + std::to_string(form->LM3->SLevel()) + (r.Data ? " (data)" : "");
        EXPECT_EQ(out, "Signal Classifier: " + levels + "\n");
    }
}

TEST_F(ClassifierForm, TickedClassPokesScanStateAsynchronouslyAndUntickedDoesNot)
{
    struct Case {
        Capture capture;
        QCheckBox* box;
        bool pokes;
    };
    for (const Case& c : std::vector<Case>{{Square(), form->CheckBox3, true},
                                           {Square(), form->CheckBox2, false},
                                           {FromValues({}), form->CheckBox1, true},
                                           {WhiteNoise(), form->CheckBox2, true},
                                           {Sine(), form->CheckBox4, false},
                                           {Sine(), nullptr, false}}) {
        for (QCheckBox* b : {form->CheckBox1, form->CheckBox2, form->CheckBox3, form->CheckBox4})
            b->setChecked(b == c.box);
        log.clear();
        dde->pokes.clear();
        Advise("ScanState", "0");
        Deliver(c.capture);
        if (c.pokes) {
            EXPECT_THAT(log, ElementsAre("requeue 0", "poke 7 ScanState 2 -1"));
            ASSERT_EQ(dde->pokes.size(), 1u);
            EXPECT_EQ(dde->pokes[0], (std::vector<uint8_t>{'1', 0}));
        } else {
            EXPECT_THAT(log, ElementsAre("requeue 0"));
        }
        EXPECT_EQ(Lime(form->SkipChannel), c.pokes);
    }
}

TEST_F(ClassifierForm, TestRunsTheAnalysisAndPokesNothing)
{
    for (QCheckBox* b : {form->CheckBox1, form->CheckBox2, form->CheckBox3, form->CheckBox4})
        b->setChecked(true);
    for (const Capture& c : {FromValues({}), Square(), WhiteNoise(), Sine()}) {
        log.clear();
        form->Test->click();
        EXPECT_TRUE(form->TestMode());
        EXPECT_FALSE(form->Test->isEnabled());
        Deliver(c);
        EXPECT_FALSE(form->TestMode());
        EXPECT_THAT(log, ElementsAre("requeue 0"));
        EXPECT_FALSE(Lime(form->SkipChannel));
    }
    EXPECT_EQ(form->LM2->SLevel(), 2);  // the meters follow the last test (the sine)
}

TEST_F(ClassifierForm, ScanningAgainClearsTheSkipIndicator)
{
    form->CheckBox1->setChecked(true);
    Advise("ScanState", "0");
    Deliver(FromValues({}));
    ASSERT_TRUE(Lime(form->SkipChannel));
    log.clear();
    for (const char* v : {"x", "", "0x1"})  // not a decimal integer: ignored
        EXPECT_EQ(Advise("ScanState", v), dde::DDE_FACK);
    EXPECT_EQ(Advise("Squelch", "0"), dde::DDE_FACK);  // not its item
    EXPECT_TRUE(Lime(form->SkipChannel));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(Advise("ScanState", "1"), dde::DDE_FACK);
    EXPECT_FALSE(Lime(form->SkipChannel));
    EXPECT_FALSE(form->CapturePending());
    EXPECT_TRUE(log.empty());
}

TEST_F(ClassifierForm, DestructionStopsTheLinkAndLeavesAPendingCaptureUnanalysed)
{
    form->CheckBox1->setChecked(true);
    Advise("ScanState", "0");
    log.clear();
    wave->deliverOnReset = true;  // the pending buffer comes back during the reset
    form->FormDestroy();
    EXPECT_THAT(log, ElementsAre("advstop 7 ScanState 1000", "disconnect 7", "uninit", "reset", "close"));
    EXPECT_EQ(form->LM1->SLevel(), 50);
}

TEST(ClassifierStart, FailsWithoutTheHostOrTheInputAndAdvisesOnlyWithBoth)
{
    struct Case {
        bool host, sound;
    };
    for (const Case& c : std::vector<Case>{{true, true}, {false, true}, {true, false}}) {
        std::vector<std::string> log;
        TAppletServices& s = AppletServices();
        s.MakeDdeClient = [&]() -> std::unique_ptr<TDdeClientPort> {
            auto d = std::make_unique<TFakeDde>(&log);
            d->connectAnswer = c.host ? 7 : 0;
            return d;
        };
        s.MakeWaveIn = [&]() -> std::unique_ptr<TWaveInPort> {
            return std::make_unique<TFakeWaveIn>(&log, c.sound ? std::vector<int>{} : std::vector<int>(20, 4));
        };
        s.ProcessMessages = [] {};
        suitebox::SetHandler([](QWidget*, const std::string&, const std::string&, unsigned) { return 0; });
        const bool started = CreateClassifierApplet(3);
        suitebox::SetHandler(nullptr);
        EXPECT_EQ(started, c.host && c.sound);
        EXPECT_EQ(std::count(log.begin(), log.end(), "advstart 7 ScanState 5000"), c.host && c.sound ? 1 : 0);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<TClassifierForm*>(w))
                f->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        AppletServices() = TAppletServices();
    }
}

TEST(ClassifierRegistration, RegisteredUnderItsNameAndLinkedIntoQuenda)
{
    bool found = false;
    for (int i = 0; i < AppletCount(); ++i)
        found = found || AppletName(i) == "Signal Classifier";
    EXPECT_TRUE(found);
    // The program carries the unit (its window class), so its registration runs at start-up.
    const std::string program = testsupport::readFile(testsupport::binPath("quenda"));
    EXPECT_NE(program.find("TClassifierForm"), std::string::npos);
}

}  // namespace
