// The CTCSS Decoder started by orvhost on a simulated band hears the band, not the recording the
// environment names: tuned to a station with a 100 Hz tone it reports the tone, retuned to a station
// without one it reports none, back on the first the tone again, and none once that station goes off
// the air.
#include "Ctcss.h"
#include "TestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace testsupport;

void WriteCtcss(const std::filesystem::path& path, double toneHz, bool tone, double seconds, uint64_t seed)
{
    siggen::ctcss::Script script;
    script.toneHz = toneHz;
    script.pattern = {{tone, seconds}};
    siggen::Random random(seed);
    siggen::Audio audio;
    audio.rate = 11025;
    audio.samples = siggen::ctcss::render(script, audio.rate, random);
    siggen::writeWav(path, audio);
}

// The applet's lines on standard output, each change once.
std::vector<std::string> Reports(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("CTCSS Decoder: ", 0) == 0)
            lines.push_back(line.substr(15));
    return lines;
}

TEST(BandUnderHost, TheAppletHearsTheStationTheReceiverIsTunedTo)
{
    TempDir dir;
    WriteCtcss(dir / "tone.wav", 100.0, true, 28, 1);  // 22 s heard at four times real time
    WriteCtcss(dir / "plain.wav", 100.0, false, 28, 2);
    WriteCtcss(dir / "elsewhere.wav", 136.5, true, 5, 3);  // what WAVE_IN_FILE names: not to be heard
    writeFile(dir / "band.txt", "450012500 tone.wav\n451000000 plain.wav\n");
    writeFile(dir / "script.txt", "1.5 Frequency 451000000\n3 Frequency 450012500\n4.5 station-off 450012500\n");
    const std::filesystem::path trace = dir / "trace.jsonl";
    std::string out;
    const std::vector<std::string> argv = {binPath("orvhost").string(), "--headless", "--band", (dir / "band.txt").string(),
                                           "--frequency", "450012500", "--script", (dir / "script.txt").string(),
                                           "--quenda", binPath("quenda").string(), "--start", "CTCSS Decoder",
                                           "--seconds", "5.5", "--trace", trace.string()};
    ASSERT_EQ(runProgram(argv,
                         {"XDG_RUNTIME_DIR=" + dir.path().string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
                          "QT_QPA_PLATFORM=offscreen", "MSGBOX_LOG=" + (dir / "boxes.jsonl").string(),
                          "WAVE_IN_FILE=" + (dir / "elsewhere.wav").string(), "WAVE_IN_PACE=4"},
                         &out, 90),
              0)
        << out;
    EXPECT_THAT(Reports(out), ::testing::ElementsAre("100.0Hz", "No tone", "100.0Hz", "No tone")) << out;
    EXPECT_THAT(readFile(trace), ::testing::HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    EXPECT_FALSE(std::filesystem::exists(dir / "boxes.jsonl")) << readFile(dir / "boxes.jsonl");
}

}  // namespace
