// Under a decimal-comma locale, every number that a program or a file reads back keeps its point:
// the pace of the sound input, the times of a host script, the sound input's marker file and
// messages, the traces, siggen's options, and the SmartNet window's frequency keeps the window's
// own separator.
#include "Args.h"
#include "Ctcss.h"
#include "HostScript.h"
#include "OrvhostRun.h"
#include "SmartNetDecoder.h"
#include "TestSupport.h"
#include "TraceWriter.h"
#include "WaveTestKit.h"

#include "platform/kvapi32/CallTrace.h"
#include "platform/sound/PlayedMark.h"
#include "platform/sound/Sources.h"

#include <gmock/gmock.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>

namespace {

using namespace testsupport;
using ::testing::HasSubstr;

TEST(DecimalComma, TheLocaleWritesAComma)
{
    // What the C library's own conversions do here, and what each case below is kept from.
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 2.5);
    EXPECT_STREQ(text, "2,5");
}

TEST(DecimalComma, TheSoundInputReadsItsPaceWithAPoint)
{
    const struct {
        const char* pace;
        bool fast;
        double factor;
    } cases[] = {
        {"2.5", false, 2.5}, {"0.5", false, 0.5}, {"8", false, 8}, {"fast", true, 1},
        {"2,5", false, 1},   {"0", false, 1},     {"-2", false, 1}, {"", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pace);
        ScopedEnv pace("WAVE_IN_PACE", c.pace);
        const platform::sound::Pacing p = platform::sound::pacingFromEnv();
        EXPECT_EQ(p.fast, c.fast);
        EXPECT_DOUBLE_EQ(p.factor, c.factor);
    }
}

TEST(DecimalComma, OrvhostPlaysARecordingAtItsPaceAndTracesTimesWithAPoint)
{
    TempDir dir;
    const std::string wav = (dir / "cc.wav").string();
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--seconds", "12", "--out", wav}), 0);
    const std::string trace = (dir / "trace").string();
    std::string out;
    const auto start = std::chrono::steady_clock::now();
    const int status = runProgram({binPath("orvhost").string(), "--headless", "--plugin",
                                   libPath("libmarlet.so").string(), "--input", wav, "--pace", "2.5", "--trace", trace},
                                  orvhostEnv(dir.path(), dir / "config"), &out, 120);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0)
        addSanitizerReports(dir.path());
    ASSERT_EQ(status, 0) << out;
    // 12 s of recording at 2.5 times real time take 4.8 s; at real time they would take 12.
    EXPECT_GT(seconds, 3.5);
    EXPECT_LT(seconds, 9.0) << "played at real time, not at 2.5 times";

    // Every line of the trace, the host's and the receiver library's, is JSON with its time in seconds.
    const std::regex time(R"(\{"t":[0-9]+\.[0-9]{3},.*\})");
    std::istringstream lines(readFile(trace));
    int count = 0, library = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, time)) << line;
        library += line.find("\"call\":") != std::string::npos;
    }
    EXPECT_GT(count, 10);
    EXPECT_GT(library, 0) << "the receiver library's own lines are in the trace";
}

TEST(DecimalComma, ScriptTimesAreReadWithAPoint)
{
    const struct {
        const char* line;
        bool taken;
        int atMs;
    } cases[] = {
        {"0.5 SignalStrength 20000", true, 500}, {"2.25 Squelch 100", true, 2250}, {"+1.5 ScanState 1", true, 1500},
        {"1e1 Mute 1", true, 10000},             {"3 disconnect", true, 3000},     {"0,5 SignalStrength 20000", false, 0},
        {"1.5.0 Mute 1", false, 0},              {"0.5s Mute 1", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::string error;
        const auto script = HostScript::parse(std::string(c.line) + "\n", &error);
        ASSERT_EQ(script.has_value(), c.taken) << error;
        if (!c.taken) {
            EXPECT_EQ(error, std::string("line 1: ") + c.line);
            continue;
        }
        ASSERT_EQ(script->steps.size(), 1u);
        EXPECT_EQ(script->steps[0].atMs, c.atMs);
    }
}

TEST(DecimalComma, ThePlayedMarkKeepsItsSecondsWithAPoint)
{
    TempDir dir;
    const auto file = dir / "played";
    {
        ScopedEnv mark("WAVE_IN_PLAYED_FILE", file.string());
        platform::sound::PlayedMark played;
        played.played(24680, 2000);  // 12.34 s
    }
    EXPECT_EQ(readFile(file), "         12.340\n");
    EXPECT_DOUBLE_EQ(platform::sound::readPlayedMark(file.string()), 12.34);

    // Marks as the file holds them, written by this program or another.
    const struct {
        const char* text;
        double seconds;
    } marks[] = {
        {"          0.000\n", 0},        {"      3600.500\n", -1} /* short of the width */,
        {"       3600.500\n", 3600.5},   {"         12,340\n", -1},
        {"    1234567.125\n", 1234567.125}, {"               \n", -1},
    };
    for (const auto& m : marks) {
        writeFile(file, m.text);
        EXPECT_DOUBLE_EQ(platform::sound::readPlayedMark(file.string()), m.seconds) << '"' << m.text << '"';
    }
}

TEST(DecimalComma, TraceLinesHaveTheirTimeWithAPoint)
{
    EXPECT_EQ(platform::kvapi::CallTraceLine(1.25, "plugin->kvapi32", "SetFrequency", 2, {450137500}, 1),
              R"({"t":1.250,"dir":"plugin->kvapi32","call":"SetFrequency","receiver":2,"args":[450137500],"result":1})");
    EXPECT_EQ(TraceWriter::line(0.5, {TraceWriter::number("param", 7), TraceWriter::text("dir", "host")}),
              R"({"t":0.500,"param":7,"dir":"host"})");
    EXPECT_EQ(TraceWriter::line(3723.0625, {}), R"({"t":3723.062})");
}

TEST(DecimalComma, SiggenReadsItsNumbersWithAPoint)
{
    EXPECT_DOUBLE_EQ(siggen::parseNumber("0.5", "--snr"), 0.5);
    EXPECT_DOUBLE_EQ(siggen::parseNumber("-12.25", "--snr"), -12.25);
    EXPECT_DOUBLE_EQ(siggen::numberInRange("tone", "0.15", 0, 1), 0.15);
    EXPECT_THROW(siggen::parseNumber("0,5", "--snr"), siggen::UsageError);
    const auto pattern = siggen::ctcss::parsePattern("on:1.5,off:0.25");
    ASSERT_EQ(pattern.size(), 2u);
    EXPECT_EQ(pattern[0], std::make_pair(true, 1.5));
    EXPECT_EQ(pattern[1], std::make_pair(false, 0.25));
    EXPECT_THROW(siggen::ctcss::parsePattern("on:1,5"), std::invalid_argument);
}

TEST(DecimalComma, ARecordingCutShortTellsItsSecondsWithAPoint)
{
    TempDir dir;
    const platform::WaveFormat f = platform::WaveFormat::pcm(11025, 16, 1);
    auto bytes = wavetest::wavBytes(f, wavetest::ramp16(3 * 11025));
    bytes.resize(44 + 33075);  // 1.5 s of the 3 its header promises
    const auto path = dir / "short.wav";
    writeBytes(path, bytes);
    ScopedEnv file("WAVE_IN_FILE", path.string());
    ::testing::internal::CaptureStderr();
    platform::WaveInHandle handle = 0;
    const uint32_t rc = platform::waveInOpen(&handle, platform::kWaveMapper, f, nullptr);
    const std::string told = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(rc, platform::kWaveNoError) << told;
    platform::waveInClose(handle);
    EXPECT_THAT(told, HasSubstr("is cut short; playing the 1.5 s it holds.")) << told;
}

// The SmartNet window as its decoder sees it: the texts it shows.
struct ShownTexts : TSmartNetDecoderClient {
    std::map<TSmartNetLabel, std::string> texts;
    void TuneHost(int32_t, bool) override {}
    bool SecondaryInUse() override { return false; }
    uint32_t SecondaryFrequency() override { return 1000000; }
    void SecondaryFollow(uint32_t) override {}
    void SecondaryPark() override {}
    uint16_t SecondarySignalStrength() override { return 0; }
    bool AutoTuneChecked() override { return false; }
    TSmartNetLocalTime LocalTime() override { return {2026, 12, 10, 14, 5, 9}; }
    TSmartNetDateNames DateNames() override { return {}; }
    void SelectSystem(uint16_t) override {}
    void SaveSystem() override {}
    void WriteLogEntry(const TSmartNetLocalTime&, uint16_t, const TSmartNetOnAirEntry&) override {}
    void SetText(TSmartNetLabel label, const std::string& text) override { texts[label] = text; }
    void EnableSystemControls(bool) override {}
    void RetToCtrlChanged(bool) override {}
    void SetGridRows(int) override {}
    void RepaintGrid() override {}
};

TEST(DecimalComma, TheSmartNetControlChannelFrequencyHasTheWindowsSeparator)
{
    for (const char separator : {'.', ','}) {
        SCOPED_TRACE(separator);
        TSmartNetSystemRecord record;
        record.SystemIdentity = 0x0ABC;
        ShownTexts window;
        TSmartNetDecoder decoder{window, record};
        decoder.BuffersSinceTune = 100;
        decoder.TunedFrequency = 851012500;
        decoder.DecimalSeparator = separator;
        decoder.SetControlChannel(5);
        EXPECT_EQ(window.texts[TSmartNetLabel::CtrlChanFreq], std::string("851") + separator + "0125 MHz");
    }
}

}  // namespace
