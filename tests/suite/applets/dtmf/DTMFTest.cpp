// The DTMF decoder: both detection methods on every key, at the frequency and level tolerances of the
// keypad's standard; the debouncer; and the window's output to the pane and the log.
#include "DTMF.h"
#include "DTMFDecoder.h"
#include "Dtmf.h"
#include "NewRichEdit.h"
#include "SuiteFakes.h"
#include "TestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gmock/gmock.h>

#include <cmath>
#include <memory>

using ::testing::ElementsAre;

namespace {

const char* const kKeys = "123A456B789C*0#D";

std::vector<int16_t> pcmOf(const siggen::Samples& x)
{
    std::vector<int16_t> pcm(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        pcm[i] = static_cast<int16_t>(std::lround(std::clamp(x[i], -1.0, 1.0) * 32767));
    return pcm;
}

// What the decoder prints for the samples, fed in capture buffers of 2048: symbols and '|' for a
// line break.
std::string decode(TDTMFDecoder& d, const std::vector<int16_t>& pcm)
{
    std::string out;
    d.OnSymbol = [&](char c) { out += c; };
    d.OnLineBreak = [&] { out += '|'; };
    for (size_t i = 0; i + kDTMFBufferSamples <= pcm.size(); i += kDTMFBufferSamples)
        d.ProcessBuffer(pcm.data() + i, kDTMFBufferSamples);
    return out;
}

std::string decodeKey(bool method1, char key, double lowOffset, double highOffset, double twist)
{
    siggen::dtmf::Script s;
    s.digits = std::string(1, key);
    s.toneSeconds = 0.2;
    s.tailSeconds = 1.5;
    s.lowOffset = lowOffset;
    s.highOffset = highOffset;
    s.twistDb = twist;
    auto d = std::make_unique<TDTMFDecoder>();
    d->Method1 = method1;
    return decode(*d, pcmOf(siggen::dtmf::render(s, kDTMFRate)));
}

// Every key through both methods. A row gives what each key prints ('.' for nothing); a key that
// prints ends its line once. Method 1 looks for the spectrum's peak in one bin per tone, so a tone
// 1.5 % off lands outside its bin for 852, 941 Hz low (7 8 9 C at -1.5 %), 1477 Hz at +1.5 %
// (3 6 9 #) and 1633 Hz at -1.5 % (A B C D); and it takes a power ratio of 3 at most (4.8 dB), so a
// twist of 6 dB drops every key. Method 2 measures each tone at its own frequency.
TEST(DTMFDecoder, EveryKeyByBothMethodsAtTheTolerancesOfTheStandard)
{
    struct Row {
        const char* name;
        double low, high, twist;
        const char* method1;
        const char* method2;
    };
    for (const Row& r : std::vector<Row>{
             {"exact", 0, 0, 0, "123A456B789C*0#D", "123A456B789C*0#D"},
             {"+1.5 % both", 0.015, 0.015, 0, "12.A45.B78.C*0.D", "123A456B789C*0#D"},
             {"-1.5 % both", -0.015, -0.015, 0, "123.456.....*0#.", "123A456B789C*0#D"},
             {"low +1.5 %, high -1.5 %", 0.015, -0.015, 0, "123.456.789.*0#.", "123A456B789C*0#D"},
             {"low -1.5 %, high +1.5 %", -0.015, 0.015, 0, "12.A45.B....*0.D", "123A456B789C*0#D"},
             {"4 dB high", 0, 0, 4, "123A456B789C*0#D", "123A456B789C*0#D"},
             {"4 dB low", 0, 0, -4, "123A456B789C*0#D", "123A456B789C*0#D"},
             {"6 dB high", 0, 0, 6, "................", "123A456B789C*0#D"},
             {"6 dB low", 0, 0, -6, "................", "123A456B789C*0#D"},
         }) {
        for (int method = 1; method <= 2; ++method) {
            std::string got;
            for (int k = 0; k < 16; ++k) {
                const std::string out = decodeKey(method == 1, kKeys[k], r.low, r.high, r.twist);
                if (out.empty())
                    got += '.';
                else if (out == std::string(1, kKeys[k]) + "|")
                    got += kKeys[k];
                else
                    got += "[" + out + "]";
            }
            EXPECT_EQ(got, method == 1 ? r.method1 : r.method2) << r.name << ", method " << method;
        }
    }
}

// A tone barely above its nominal frequency stays its own key: the mend of measuring each tone at
// the bin below its frequency, where 697 Hz lay almost midway to 770 Hz.
TEST(DTMFDecoder, Method2ReadsSlightlyHighTonesAsTheirOwnKeys)
{
    for (double offset : {0.0018, 0.005, 0.01, 0.02})
        for (char key : {'1', '2', '3', 'A'})
            EXPECT_EQ(decodeKey(false, key, offset, 0, 0), std::string(1, key) + "|") << key << " " << offset;
}

TEST(DTMFDecoder, Method2RejectsStrongTwistAndAStrongSecondHarmonic)
{
    // Its levels are 20 log10 of power: 15 between them is 7.5 dB of amplitude.
    EXPECT_EQ(decodeKey(false, '5', 0, 0, 7.0), "5|");
    EXPECT_EQ(decodeKey(false, '5', 0, 0, 8.0), "");
    EXPECT_EQ(decodeKey(false, '5', 0, 0, -8.0), "");

    // Key 1 with the high tone's second harmonic (2418 Hz) added: close to the tone it is refused,
    // far below it the key stands.
    for (const auto& [harmonic, expected] : std::vector<std::pair<double, std::string>>{{0.2, ""}, {0.01, "1|"}}) {
        siggen::dtmf::Script s;
        s.digits = "1";
        s.toneSeconds = 0.2;
        s.tailSeconds = 1.5;
        siggen::Samples x = siggen::dtmf::render(s, kDTMFRate);
        const size_t lead = siggen::samplesFor(s.leadSeconds, kDTMFRate);
        const size_t n = siggen::samplesFor(s.toneSeconds, kDTMFRate);
        for (size_t i = 0; i < n; ++i)
            x[lead + i] += harmonic * std::sin(2 * M_PI * 2418 * double(i) / kDTMFRate);
        auto d = std::make_unique<TDTMFDecoder>();
        d->Method1 = false;
        EXPECT_EQ(decode(*d, pcmOf(x)), expected) << harmonic;
    }
}

// What each method needs, as the README's table gives it: 64 digits (the keys four times, pauses as
// long as the digits) at a length and a peak level per tone. Method 1 wants six 128-sample hops of
// tone and no level; Method 2 six of its 150-sample frames, eleven a buffer, and a level above its
// floor of 170, near -24 dBFS.
TEST(DTMFDecoder, DigitLengthAndLevelEachMethodNeeds)
{
    struct Row {
        int method;
        int ms;
        double dbfs;
        int decoded;
    };
    const std::string keys = std::string(kKeys) + kKeys + kKeys + kKeys;
    for (const Row& r : std::vector<Row>{{1, 60, -10, 40},
                                         {1, 75, -10, 64},
                                         {1, 80, -25, 64},
                                         {1, 150, -60, 64},
                                         {2, 80, -10, 31},
                                         {2, 100, -10, 35},
                                         {2, 110, -10, 63},
                                         {2, 120, -10, 64},
                                         {2, 150, -24, 64},
                                         {2, 150, -25, 0}}) {
        siggen::dtmf::Script s;
        s.digits = keys;
        s.toneSeconds = s.pauseSeconds = r.ms / 1000.0;
        s.amplitude = 2 * std::pow(10.0, r.dbfs / 20);  // the peak of both tones together
        auto d = std::make_unique<TDTMFDecoder>();
        d->Method1 = r.method == 1;
        std::string got = decode(*d, pcmOf(siggen::dtmf::render(s, kDTMFRate)));
        got.erase(std::remove(got.begin(), got.end(), '|'), got.end());
        // Digits decoded: the longest run of the sent digits, in order, found in what was printed.
        std::vector<std::vector<int>> l(keys.size() + 1, std::vector<int>(got.size() + 1, 0));
        for (size_t i = 1; i <= keys.size(); ++i)
            for (size_t j = 1; j <= got.size(); ++j)
                l[i][j] = keys[i - 1] == got[j - 1] ? l[i - 1][j - 1] + 1 : std::max(l[i - 1][j], l[i][j - 1]);
        EXPECT_EQ(l[keys.size()][got.size()], r.decoded) << "method " << r.method << ", " << r.ms << " ms, " << r.dbfs
                                                         << " dBFS: " << got;
        EXPECT_EQ(int(got.size()), r.decoded) << "nothing printed that was not sent";
    }
}

TEST(DTMFDecoder, DigitalSilenceAndNoiseGiveNothing)
{
    for (bool method1 : {true, false}) {
        auto d = std::make_unique<TDTMFDecoder>();
        d->Method1 = method1;
        EXPECT_EQ(decode(*d, std::vector<int16_t>(kDTMFBufferSamples * 20, 0)), "");
        siggen::Random random(3);
        siggen::Samples noise;
        siggen::appendNoise(noise, 0.2, kDTMFBufferSamples * 20, random);
        EXPECT_EQ(decode(*d, pcmOf(noise)), "") << method1;
        // A full-scale square wave: clipped, loud, and no key.
        std::vector<int16_t> square(kDTMFBufferSamples * 4);
        for (size_t i = 0; i < square.size(); ++i)
            square[i] = (i / 7) % 2 ? 32767 : -32768;
        EXPECT_EQ(decode(*d, square), "");
    }
}

TEST(DTMFDecoder, FramesPerBuffer)
{
    for (const auto& [method1, frames] : std::vector<std::pair<bool, int>>{{true, 15}, {false, 11}}) {
        auto d = std::make_unique<TDTMFDecoder>();
        d->Method1 = method1;
        std::vector<int16_t> silence(kDTMFBufferSamples, 0);
        d->ProcessBuffer(silence.data(), silence.size());
        EXPECT_EQ(d->FrameCounter(), frames) << method1;
        d->ProcessBuffer(silence.data(), 100);  // too short for a frame
        EXPECT_EQ(d->FrameCounter(), frames);
    }
}

// The debouncer fed symbol by symbol.
struct Debouncer : ::testing::Test {
    std::unique_ptr<TDTMFDecoder> d = std::make_unique<TDTMFDecoder>();
    std::string out;
    void SetUp() override
    {
        d->OnSymbol = [this](char c) { out += c; };
        d->OnLineBreak = [this] { out += '|'; };
    }
    void Frames(char symbol, int count)
    {
        for (int i = 0; i < count; ++i)
            d->Debounce(symbol);
    }
};

TEST_F(Debouncer, SixEqualFramesPrintASymbolFiveDoNot)
{
    Frames('7', 5);
    Frames(' ', 3);
    EXPECT_EQ(out, "");
    Frames('7', 6);
    EXPECT_EQ(out, "7");
    Frames('7', 20);
    EXPECT_EQ(out, "7") << "printed once";
}

TEST_F(Debouncer, AGapOfAnyLengthBetweenTwoPressesPrintsTheKeyTwice)
{
    Frames('1', 6);
    Frames(' ', 1);
    Frames('1', 6);
    EXPECT_EQ(out, "11");
    Frames('2', 1);  // a symbol too short to print still separates two presses
    Frames('1', 6);
    EXPECT_EQ(out, "111");
}

TEST_F(Debouncer, ALineEndsOnceAfterAStillBurst)
{
    for (const auto& [method1, frames] : std::vector<std::pair<bool, int>>{{true, 70}, {false, 35}}) {
        d = std::make_unique<TDTMFDecoder>();
        SetUp();
        out.clear();
        d->Method1 = method1;
        Frames('1', 6);
        Frames(' ', 2);
        Frames('2', 6);
        Frames(' ', frames - 1);
        EXPECT_EQ(out, "12");
        Frames(' ', 1);
        EXPECT_EQ(out, "12|");
        Frames(' ', 1000);
        EXPECT_EQ(out, "12|") << "once per burst";
    }
}

TEST_F(Debouncer, AHeldKeyPrintsOnce)
{
    Frames('#', 861);  // ten seconds of method 1 frames
    Frames(' ', 200);
    // The character once; its line ends once, as soon as it has been still for 70 frames.
    EXPECT_EQ(out, "#|");
}

TEST_F(Debouncer, SilenceAfterNewNeverMakesAnEmptyLine)
{
    Frames('5', 6);
    Frames(' ', 10);
    d->ResetLine();
    Frames(' ', 500);
    EXPECT_EQ(out, "5");
    Frames('6', 6);
    Frames(' ', 70);
    EXPECT_EQ(out, "56|");
}

TEST_F(Debouncer, SwitchingMethodsKeepsTheDebouncerState)
{
    Frames('9', 4);
    d->Method1 = false;
    Frames('9', 2);
    EXPECT_EQ(out, "9");
    Frames(' ', 35);
    EXPECT_EQ(out, "9|") << "the shorter line of method 2";
}

// The window on fake services.
class DTMFWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
        TAppletServices& s = AppletServices();
        s.ProcessMessages = [] {};
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    std::unique_ptr<TDTMFForm> Make(std::map<std::string, std::string> values = {})
    {
        if (!values.empty())
            store.keys[std::string(kSuiteKey) + "DTMF"] = std::move(values);
        auto f = std::make_unique<TDTMFForm>(2);
        f->Log().DateTimeText = [] { return std::string("10/12/2026 14:05:09"); };
        f->FormCreate();
        return f;
    }
    void Feed(TDTMFForm& /*form*/, const std::string& digits, double tone = 0.15)
    {
        siggen::dtmf::Script s;
        s.digits = digits;
        s.toneSeconds = tone;
        s.pauseSeconds = 0.1;
        s.tailSeconds = 1.5;
        const std::vector<int16_t> pcm = pcmOf(siggen::dtmf::render(s, kDTMFRate));
        for (size_t i = 0; i + kDTMFBufferSamples <= pcm.size(); i += kDTMFBufferSamples)
            wave->OnData(static_cast<int>(i / kDTMFBufferSamples % 2), pcm.data() + i, kDTMFBufferSamples);
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    testsupport::TempDir dir;
};

TEST_F(DTMFWindow, CapturesAt11025HzAndRegistersUnderItsName)
{
    auto f = Make();
    EXPECT_FALSE(f->Failed());
    EXPECT_THAT(log, ::testing::Contains("start 2x4096"));
    EXPECT_EQ(f->windowTitle(), "DTMF Decoder");
    EXPECT_EQ(std::string(kDTMFName), "DTMF Decoder");
    f->FormDestroy();
}

TEST_F(DTMFWindow, DigitsReachThePaneAndTheLogWithADateAtEachLineBreak)
{
    const std::string logFile = (dir / "DTMF.LOG").string();
    auto f = Make({{"Log", "1"}, {"LogFileName", logFile}});
    ASSERT_TRUE(f->Logging());
    Feed(*f, "159#");
    Feed(*f, "0");
    EXPECT_EQ(f->RE1()->Text().toStdString(), "159#\n0\n");
    f->FormDestroy();
    EXPECT_EQ(testsupport::readFile(logFile),
              "\r\nLogging started 10/12/2026 14:05:09.\r\n\r\n"
              "159#\r\n10/12/2026 14:05:09 0\r\n10/12/2026 14:05:09 "
              "\r\n\r\nLogging stopped 10/12/2026 14:05:09.\r\n");
}

TEST_F(DTMFWindow, MethodsAreARadioPairStoredAsMethod1)
{
    auto f = Make({{"Method1", "0"}});
    EXPECT_FALSE(f->Decoder().Method1);
    EXPECT_FALSE(f->Method1Item()->isChecked());
    EXPECT_TRUE(f->Method2Item()->isChecked());
    f->Method1Item()->trigger();
    EXPECT_TRUE(f->Decoder().Method1);
    EXPECT_FALSE(f->Method2Item()->isChecked());
    Feed(*f, "42");
    EXPECT_EQ(f->RE1()->Text().toStdString(), "42\n");
    f->FormDestroy();
    EXPECT_EQ(store.keys[std::string(kSuiteKey) + "DTMF"].at("Method1"), "1");

    // A key without the value keeps the stored form's method 1.
    auto g = Make({{"Paused", "0"}});
    EXPECT_TRUE(g->Decoder().Method1);
    g->FormDestroy();
}

TEST_F(DTMFWindow, NewClearsThePaneAndOwesNoLineBreak)
{
    auto f = Make();
    f->Method2Item()->trigger();
    Feed(*f, "7", 0.15);
    f->New1Click();
    EXPECT_EQ(f->RE1()->Text().toStdString(), "");
    std::vector<int16_t> silence(kDTMFBufferSamples, 0);
    for (int i = 0; i < 20; ++i)
        wave->OnData(0, silence.data(), silence.size());
    EXPECT_EQ(f->RE1()->Text().toStdString(), "");
    f->FormDestroy();
}

TEST_F(DTMFWindow, PausedWindowDecodesNothing)
{
    auto f = Make({{"Paused", "1"}});
    Feed(*f, "123");
    EXPECT_EQ(f->RE1()->Text().toStdString(), "");
    f->MenuAction("PauseClick")->trigger();
    Feed(*f, "123");
    EXPECT_EQ(f->RE1()->Text().toStdString(), "123\n");
    f->FormDestroy();
}

}  // namespace
