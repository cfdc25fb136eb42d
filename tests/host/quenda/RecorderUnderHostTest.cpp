// The Squelch Controlled Sound Recorder started by name under orvhost, its Record and Stop buttons
// pressed by a click script and its save dialog answered through the platform layer, while the
// host's script opens and closes the squelch. The input is a recording in the recorder's own format
// (8-bit 11025 Hz) of seeded random bytes, so every stretch of the output can be found in it: the
// file must hold exactly the open stretches, each equal to the input sample for sample, with its
// boundaries within one buffer of the squelch changes, the last one running to Stop.
#include "TestSupport.h"

#include <gmock/gmock.h>

#include <cstring>
#include <random>
#include <sstream>

namespace {

constexpr uint32_t kRate = 11025;
constexpr long kBuffer = 4096;  // the recorder's buffer: one byte a sample
constexpr int kRecordMs = 500, kStopMs = 12000;  // after the window shows

uint32_t Le32(const std::vector<unsigned char>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<unsigned char>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

void Put32(std::vector<unsigned char>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// The trace times of the lines holding every one of the given texts, in order.
std::vector<double> Times(const std::string& trace, const std::vector<std::string>& texts)
{
    std::vector<double> out;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        bool all = true;
        for (const std::string& t : texts)
            all = all && line.find(t) != std::string::npos;
        if (all && line.rfind("{\"t\":", 0) == 0)
            out.push_back(std::stod(line.substr(5)));
    }
    return out;
}

struct Segment {
    long from, to;  // the stretch of the input, in samples
};

// The output split into the stretches of the input it copies, in order; empty when some part of it
// is found nowhere after the stretch before it.
std::vector<Segment> Stretches(const std::vector<unsigned char>& in, const std::vector<unsigned char>& out)
{
    std::vector<Segment> list;
    size_t k = 0, from = 0;
    while (k < out.size()) {
        const size_t probe = std::min<size_t>(32, out.size() - k);
        auto at = std::search(in.begin() + long(from), in.end(), out.begin() + long(k), out.begin() + long(k + probe));
        if (at == in.end())
            return {};
        size_t pos = size_t(at - in.begin()), n = 0;
        while (k + n < out.size() && pos + n < in.size() && out[k + n] == in[pos + n])
            ++n;
        list.push_back({long(pos), long(pos + n)});
        k += n;
        from = pos + n;
    }
    return list;
}

TEST(RecorderUnderHost, RecordsTheOpenStretchesToTheLastBufferAfterStop)
{
    testsupport::TempDir dir;
    // 20 s of seeded random bytes: any 32 of them in a row are found in one place only.
    std::vector<unsigned char> samples(20 * kRate);
    std::mt19937 random(24);
    for (auto& s : samples)
        s = static_cast<unsigned char>(random() >> 24);
    {
        std::vector<unsigned char> wav = {'R', 'I', 'F', 'F'};
        Put32(wav, uint32_t(36 + samples.size()));
        for (char c : std::string("WAVEfmt "))
            wav.push_back(static_cast<unsigned char>(c));
        Put32(wav, 16);
        Put32(wav, 1 | 1 << 16);  // PCM, mono
        Put32(wav, kRate);
        Put32(wav, kRate);
        Put32(wav, 1 | 8 << 16);  // block align 1, 8 bits
        for (char c : std::string("data"))
            wav.push_back(static_cast<unsigned char>(c));
        Put32(wav, uint32_t(samples.size()));
        wav.insert(wav.end(), samples.begin(), samples.end());
        testsupport::writeBytes(dir / "in.wav", wav);
    }
    // Open (strength above the level) from the start; closed 6-8 s and 10-11.5 s.
    testsupport::writeFile(dir / "squelch.txt", "0 SignalStrength 20000\n0 Squelch 10000\n6 Squelch 30000\n"
                                                "8 Squelch 10000\n10 Squelch 30000\n11.5 Squelch 10000\n");
    testsupport::writeFile(dir / "clicks.txt", std::to_string(kRecordMs) + " click RecordButton\n" +
                                                   std::to_string(kStopMs) + " click StopButton\n");
    const auto recording = dir / "rec.wav", trace = dir / "trace.jsonl", boxes = dir / "boxes.jsonl";
    const std::string err = (dir / "err").string();
    std::string out;
    const std::vector<std::string> argv = {
        "/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + err, testsupport::binPath("orvhost").string(), "--headless",
        "--quenda", testsupport::binPath("quenda").string(), "--start", "Squelch Controlled Sound Recorder",
        "--input", (dir / "in.wav").string(), "--script", (dir / "squelch.txt").string(), "--seconds", "14",
        "--trace", trace.string()};
    // A machine so busy that the applet held every capture buffer loses sound there, as a card would,
    // and the sound input says so: such a run tells nothing of the recorder, and is made again.
    for (int attempt = 0;; ++attempt) {
        for (const auto& f : {recording, trace, boxes})
            std::filesystem::remove(f);
        out.clear();
        ASSERT_EQ(testsupport::runProgram(argv,
                                          {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                           "XDG_CONFIG_HOME=" + (dir / ("config" + std::to_string(attempt))).string(),
                                           "QT_QPA_PLATFORM=offscreen", "MSGBOX_LOG=" + boxes.string(),
                                           "WAVE_IN_PACE=", "UI_CLICK_SCRIPT=" + (dir / "clicks.txt").string(),
                                           "DIALOG_ANSWER=save=" + recording.string()},
                                          &out, 90),
                  0)
            << testsupport::readFile(err);
        if (testsupport::readFile(err).find("Sound input: ") == std::string::npos)
            break;
        ASSERT_LT(attempt, 2) << "sound was lost in every run: " << testsupport::readFile(err);
    }
    // Headless, each state the window shows is written where the run was started.
    const std::string r = "Squelch Controlled Recorder: ";
    EXPECT_EQ(out, r + "Stopped\n" + r + "Recording\n" + r + "Squelched\n" + r + "Recording\n" + r + "Squelched\n" +
                       r + "Recording\n" + r + "Stopped\n");
    const std::string log = testsupport::readFile(trace);
    EXPECT_THAT(log, ::testing::HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    EXPECT_EQ(testsupport::readFile(err).find("UI_CLICK_SCRIPT"), std::string::npos) << testsupport::readFile(err);
    EXPECT_FALSE(std::filesystem::exists(boxes)) << testsupport::readFile(boxes);

    // The header's sizes match the file; the format is the recorder's default.
    const std::vector<unsigned char> bytes = testsupport::readBytes(recording);
    ASSERT_GE(bytes.size(), 44u) << "no recording";
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le16(bytes, 20), 1);
    EXPECT_EQ(Le16(bytes, 22), 1);
    EXPECT_EQ(Le32(bytes, 24), kRate);
    EXPECT_EQ(Le32(bytes, 28), kRate);
    EXPECT_EQ(Le16(bytes, 32), 1);
    EXPECT_EQ(Le16(bytes, 34), 8);
    EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);
    ASSERT_EQ(Le32(bytes, 40), bytes.size() - 44);

    // Where the squelch changed, on the host's clock; Record was pressed kRecordMs after the window
    // showed, which is when the applet had just asked for the squelch level.
    const std::vector<double> asked = Times(log, {"\"quenda->host\"", "\"request\"", "\"item\":\"Squelch\""});
    const std::vector<double> closed = Times(log, {"\"advise\"", "\"item\":\"Squelch\"", "\"data\":\"30000\""});
    const std::vector<double> opened = Times(log, {"\"advise\"", "\"item\":\"Squelch\"", "\"data\":\"10000\""});
    ASSERT_EQ(asked.size(), 1u) << log;
    ASSERT_EQ(closed.size(), 2u) << log;
    ASSERT_EQ(opened.size(), 3u) << log;  // the first one at the start, before the applet listens
    const double record = asked[0] + kRecordMs / 1000.0, stop = record + (kStopMs - kRecordMs) / 1000.0;
    ASSERT_LT(record, closed[0] - 1) << "the applet came up too late for the schedule";
    // The input plays from Record on: the host's time t is input sample (t - record) * rate.
    auto sample = [&](double t) { return long((t - record) * kRate); };
    const std::vector<Segment> expected = {
        {0, sample(closed[0])}, {sample(opened[1]), sample(closed[1])}, {sample(opened[2]), sample(stop)}};

    const std::vector<unsigned char> data(bytes.begin() + 44, bytes.end());
    const std::vector<Segment> got = Stretches(samples, data);
    ASSERT_EQ(got.size(), expected.size()) << "the open stretches, each a piece of the input";
    EXPECT_EQ(got[0].from, 0) << "the first byte of the input is the first recorded";
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE("stretch " + std::to_string(i));
        EXPECT_NEAR(got[i].from, expected[i].from, kBuffer);
        EXPECT_NEAR(got[i].to, expected[i].to, kBuffer);
        if (i > 0) {  // the closed time left out, as the host held it
            EXPECT_NEAR(got[i].from - got[i - 1].to, expected[i].from - expected[i - 1].to, kBuffer);
        }
    }
    // Record and Stop were pressed on one clock, the applet's: the part-filled buffer in the device at
    // Stop is in the file too, so the recording ends closer to Stop than a buffer.
    EXPECT_NEAR(got.back().to, long(double(kStopMs - kRecordMs) / 1000 * kRate), kBuffer / 4);
}

}  // namespace
