// The CTCSS Decoder started by name under orvhost, with its recording and scan control on from its
// settings and the save dialog answered through the platform layer. The recording is a file whose
// target tone (100 Hz) goes on and off on 8192-sample boundaries under noise at 20 dB SNR: exactly the
// tone-on buffers must be recorded, and the host, stopped by its script, asked once to scan on.
#include "TestSupport.h"
#include "WaveFileHeader.h"
#include "Signal.h"
#include "platform/settings/Registry.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

using ::testing::HasSubstr;

namespace {

constexpr uint32_t kRate = 11025;
constexpr size_t kBlock = 8192;

std::vector<int16_t> Buffers(const std::vector<bool>& toneOn)
{
    siggen::Random random(20);
    std::vector<int16_t> out;
    const double amplitude = 0.3, noiseRms = amplitude / std::sqrt(2.0) / 10;  // 20 dB below the tone
    for (size_t b = 0; b < toneOn.size(); ++b) {
        siggen::Samples noise;
        siggen::appendNoise(noise, noiseRms, kBlock, random);
        for (size_t i = 0; i < kBlock; ++i) {
            const double t = double(b * kBlock + i) / kRate;
            const double x = (toneOn[b] ? amplitude * std::sin(2 * M_PI * 100.0 * t) : 0.0) + noise[i];
            out.push_back(int16_t(std::lround(std::clamp(x, -1.0, 32767.0 / 32768) * 32768)));
        }
    }
    return out;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

TEST(CTCSSUnderHost, RecordsTheToneOnBuffersAndAsksOnceToScanOn)
{
    testsupport::TempDir dir;
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    {
        platform::Registry r;
        ASSERT_TRUE(r.OpenKey("\\Software\\Korvanta Communications\\Quenda\\CTCSS", true));
        r.WriteInteger("TargetTone", 14);  // 100.0 Hz
        r.WriteBool("Log", true);
        r.WriteBool("Scan", true);
        r.CloseKey();
    }
    const std::vector<bool> toneOn = {true, false, true, true, false, true};
    const std::vector<int16_t> samples = Buffers(toneOn);
    const std::string wav = (dir / "ctcss.wav").string();
    {
        TWaveFileHeader h = TWaveFileHeader::Pcm(1, kRate, 16);
        h.SetDataSize(uint32_t(samples.size() * 2));
        std::ofstream f(wav, std::ios::binary);
        const auto head = h.Bytes();
        f.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
        for (int16_t s : samples) {
            const uint16_t u = uint16_t(s);
            const char b[2] = {char(u & 0xFF), char(u >> 8)};
            f.write(b, 2);
        }
    }
    const std::string recording = (dir / "rec.wav").string();
    const std::filesystem::path script = dir / "scan.txt";
    std::ofstream(script) << "0 ScanState 0\n";
    const std::filesystem::path trace = dir / "trace.jsonl";
    std::string out;
    const std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--quenda",
                                           testsupport::binPath("quenda").string(), "--start", "CTCSS Decoder",
                                           "--seconds", "8", "--script", script.string(), "--trace", trace.string()};
    ASSERT_EQ(testsupport::runProgram(argv,
                                      {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                       "XDG_CONFIG_HOME=" + (dir / "config").string(), "QT_QPA_PLATFORM=offscreen",
                                       "MSGBOX_LOG=" + (dir / "boxes.jsonl").string(), "WAVE_IN_FILE=" + wav,
                                       "WAVE_IN_PACE=4", "DIALOG_ANSWER=save=" + recording},
                                      &out, 90),
              0);
    // Headless, each change of the tone heard is written where the run was started; after the
    // recording's end its input is silence.
    EXPECT_THAT(out, HasSubstr("CTCSS Decoder: 100.0Hz\nCTCSS Decoder: No tone\nCTCSS Decoder: 100.0Hz\n"
                               "CTCSS Decoder: No tone\nCTCSS Decoder: 100.0Hz\nCTCSS Decoder: No tone\n"));
    const std::string log = testsupport::readFile(trace);
    EXPECT_THAT(log, HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    // One "1" to ScanState: after the first buffer without the tone; the host then scans, and the
    // applet hears so before the next such buffer.
    EXPECT_EQ(Count(log, "\"dde\":\"poke\",\"item\":\"ScanState\""), 1u) << log;

    std::ifstream f(recording, std::ios::binary);
    ASSERT_TRUE(f) << "no recording";
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), {});
    ASSERT_GE(bytes.size(), 44u);
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(bytes.data());
    EXPECT_TRUE(h.IsMonoPcm16());
    EXPECT_EQ(h.SamplesPerSec, kRate);
    std::vector<int16_t> expected;
    for (size_t b = 0; b < toneOn.size(); ++b)
        if (toneOn[b])
            expected.insert(expected.end(), samples.begin() + long(b * kBlock), samples.begin() + long((b + 1) * kBlock));
    ASSERT_EQ(h.DataSize, expected.size() * 2);
    ASSERT_EQ(bytes.size(), 44 + expected.size() * 2);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(int16_t(uint16_t(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8)), expected[i]) << i;
}

}  // namespace
