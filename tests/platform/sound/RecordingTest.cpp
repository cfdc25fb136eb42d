// Recordings of every common kind as the input device delivers them: converted to the opened
// format, a file cut short played as far as it goes, the channel of a stereo file chosen.
#include "WaveTestKit.h"

#include "Recording.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "WaveScript.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace platform;
using namespace wavetest;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Writes a tone of freq Hz (amplitude 0.5) on the left channel and 2 freq on the right.
void WriteTone(const std::filesystem::path& path, int format, int rate, int channels, double seconds, double freq)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    const size_t frames = size_t(seconds * rate);
    std::vector<double> data(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[i * size_t(channels) + size_t(c)] = 0.5 * std::sin(2 * kPi * freq * (c + 1) * double(i) / rate);
    ASSERT_EQ(sf_writef_double(sf, data.data(), sf_count_t(frames)), sf_count_t(frames));
    sf_close(sf);
}

// Amplitude of the tone at freq in the 16-bit samples of one channel, and what is left besides it,
// both relative to full scale.
struct Fit {
    double amplitude, residual;
};
Fit FitTone(const std::vector<uint8_t>& bytes, int channels, int channel, size_t from, size_t count, double freq,
            double rate)
{
    double a = 0, b = 0;
    std::vector<double> x(count);
    for (size_t i = 0; i < count; ++i) {
        x[i] = int16_t(sampleAt(bytes, (from + i) * size_t(channels) + size_t(channel))) / 32768.0;
        a += x[i] * std::sin(2 * kPi * freq * double(i) / rate);
        b += x[i] * std::cos(2 * kPi * freq * double(i) / rate);
    }
    a *= 2.0 / double(count);
    b *= 2.0 / double(count);
    double rest = 0;
    for (size_t i = 0; i < count; ++i) {
        const double e = x[i] - a * std::sin(2 * kPi * freq * double(i) / rate) - b * std::cos(2 * kPi * freq * double(i) / rate);
        rest += e * e;
    }
    return {std::hypot(a, b), std::sqrt(rest / double(count))};
}

class RecordingInput : public ::testing::Test {
protected:
    void SetUp() override { setWaveScript(nullptr); }
    TempDir dir;
    ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    ScopedEnv noEof{"WAVE_IN_EOF_FILE", ""};
    ScopedEnv left{"WAVE_IN_CHANNEL", ""};
};

struct Kind {
    const char* name;
    int format, rate, channels;
};

TEST_F(RecordingInput, EveryCommonKindArrivesAsTheOpenedFormatWithItsToneIntact)
{
    const Kind kinds[] = {
        {"8-bit mono 8 kHz", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1},
        {"16-bit mono 44.1 kHz", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1},
        {"24-bit stereo 48 kHz", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 2},
        {"32-bit stereo 11.025 kHz", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 11025, 2},
        {"float mono 22.05 kHz", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1},
        {"FLAC 16-bit stereo 16 kHz", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 16000, 2},
    };
    const double seconds = 1.0, tone = 700;
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const auto path = dir / (std::string("in") + (k.format & SF_FORMAT_FLAC ? ".flac" : ".wav"));
        WriteTone(path, k.format, k.rate, k.channels, seconds, tone);
        ScopedEnv file("WAVE_IN_FILE", path.string());
        ScopedEnv eof("WAVE_IN_EOF_FILE", (dir / "ended").string());
        std::filesystem::remove(dir / "ended");
        Capture cap(4, 2205 * 4);
        ASSERT_EQ(cap.open(WaveFormat::pcm(11025, 16, 2)), kWaveNoError) << waveInErrorText(kWaveError);
        cap.queueAll();
        ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
        ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(dir / "ended") && cap.bytes.size() >= 11025 * 4; }));
        // The middle half second: the tone at its level, on the left; a stereo file's right channel
        // on the right, a mono file's tone on both.
        const Fit l = FitTone(cap.bytes, 2, 0, 2756, 5512, tone, 11025);
        EXPECT_NEAR(l.amplitude, 0.5, 0.01);
        EXPECT_LT(l.residual, 0.01);
        const Fit r = FitTone(cap.bytes, 2, 1, 2756, 5512, k.channels == 2 ? 2 * tone : tone, 11025);
        EXPECT_NEAR(r.amplitude, 0.5, 0.01);
        EXPECT_LT(r.residual, 0.01);
        // The length is the recording's, within a buffer's silence after it.
        size_t last = 0;
        for (size_t i = 0; i < cap.bytes.size() / 4; ++i)
            if (sampleAt(cap.bytes, 2 * i) != 0)
                last = i;
        EXPECT_NEAR(double(last), seconds * 11025, 30);
    }
}

TEST_F(RecordingInput, AMonoOpenTakesTheChosenChannelOfAStereoFile)
{
    const auto path = dir / "stereo.wav";
    WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, 0.5, 500);
    ScopedEnv file("WAVE_IN_FILE", path.string());
    for (const char* choice : {"left", "right"}) {
        ScopedEnv channel("WAVE_IN_CHANNEL", choice);
        Capture cap(1, 11025);
        ASSERT_EQ(cap.open(WaveFormat::pcm(11025, 16, 1)), kWaveNoError);
        cap.queueAll();
        ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
        ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= 11025; }));
        const double want = std::string(choice) == "left" ? 500 : 1000;
        EXPECT_NEAR(FitTone(cap.bytes, 1, 0, 1000, 4000, want, 11025).amplitude, 0.5, 0.01) << choice;
    }
}

// Standard error of the process while it lives, read back by text().
class StderrCapture {
public:
    explicit StderrCapture(std::filesystem::path file) : file_(std::move(file))
    {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrCapture() { restore(); }
    std::string text()
    {
        restore();
        return testsupport::readFile(file_);
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::filesystem::path file_;
    int saved_ = -1;
};

struct CutShort {
    const char* what;
    WaveFormat opened;  // the exact format, or one that is converted
    size_t keep;        // bytes of the 100-frame file kept
    size_t frames;      // frames it still holds
};

TEST_F(RecordingInput, AFileCutShortPlaysWhatItHoldsWithOneWarning)
{
    const CutShort cases[] = {
        {"cut inside the data, exact format", WaveFormat::pcm(11025, 16, 1), 44 + 150, 75},
        {"cut inside a frame, exact format", WaveFormat::pcm(11025, 16, 1), 44 + 151, 75},
        {"cut inside the data, converted", WaveFormat::pcm(11025, 16, 2), 44 + 150, 75},
    };
    for (const CutShort& c : cases) {
        SCOPED_TRACE(c.what);
        auto bytes = wavBytes(WaveFormat::pcm(11025, 16, 1), ramp16(100));
        bytes.resize(c.keep);
        const auto path = dir / "short.wav";
        testsupport::writeBytes(path, bytes);
        ScopedEnv file("WAVE_IN_FILE", path.string());
        StderrCapture err(dir / "stderr");
        Capture cap(1, 400 * c.opened.channels);
        ASSERT_EQ(cap.open(c.opened), kWaveNoError) << waveInErrorText(kWaveError);
        cap.queueAll();
        ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
        ASSERT_TRUE(pumpUntil([&] { return !cap.bytes.empty(); }));
        const std::string said = err.text();
        for (size_t i = 0; i < 200; ++i) {
            const size_t frame = i / c.opened.channels;
            ASSERT_EQ(sampleAt(cap.bytes, i), frame < c.frames ? frame : 0) << "sample " << i;
        }
        EXPECT_NE(said.find("cut short"), std::string::npos) << said;
        EXPECT_EQ(said.find("cut short"), said.rfind("cut short")) << said;
    }
}

TEST_F(RecordingInput, WhatIsNoRecordingFailsTheOpenWithAClearText)
{
    struct Bad {
        const char* what;
        std::string content;
        const char* expect;
    };
    const Bad cases[] = {
        {"empty", "", "is empty"},
        {"text", "this is not a recording at all, only some words\n", "is not a recording that can be read"},
    };
    for (const Bad& b : cases) {
        const auto path = dir / "bad.dat";
        testsupport::writeFile(path, b.content);
        ScopedEnv file("WAVE_IN_FILE", path.string());
        WaveInHandle h = 3;
        EXPECT_EQ(waveInOpen(&h, 0, WaveFormat::pcm(11025, 16, 2), nullptr), kWaveError) << b.what;
        EXPECT_EQ(h, 0u);
        EXPECT_NE(waveInErrorText(kWaveError).find(b.expect), std::string::npos) << b.what << ": "
                                                                                 << waveInErrorText(kWaveError);
    }
}

// A header naming a rate of a few hertz makes every file frame tens of thousands of converted ones:
// the conversion takes the file a little at a time, so reading stays within a few megabytes.
TEST_F(RecordingInput, AVeryLowRateConvertsWithinBoundedMemory)
{
    const auto path = dir / "slow.wav";
    WriteTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 1, 4096, 0.1);
    std::string error;
    auto recording = sound::Recording::open(path, 44100, 2, sound::ChannelChoice::Left, &error);
    ASSERT_TRUE(recording) << error;
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    std::vector<float> frames(4096 * 2);
    size_t got = 0;
    for (int i = 0; i < 4; ++i)
        got += recording->read(frames.data(), 4096);
    EXPECT_EQ(got, 4u * 4096);
    for (float x : frames)
        ASSERT_TRUE(std::isfinite(x) && std::fabs(x) <= 1.5f);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kB more at the peak";
}

TEST(FloatToPcm, RoundsAndClipsToEightAndSixteenBits)
{
    const float in[] = {0.0f, 1.0f, -1.0f, 2.0f, -2.0f, 0.5f, -0.5f, 1.0f / 32768, NAN};
    uint8_t sixteen[2 * std::size(in)];
    platform::sound::floatToPcm(in, std::size(in), 16, sixteen);
    const int16_t want16[] = {0, 32767, -32768, 32767, -32768, 16384, -16384, 1, 0};
    for (size_t i = 0; i < std::size(in); ++i)
        EXPECT_EQ(int16_t(sixteen[2 * i] | (sixteen[2 * i + 1] << 8)), want16[i]) << i;
    uint8_t eight[std::size(in)];
    platform::sound::floatToPcm(in, std::size(in), 8, eight);
    const uint8_t want8[] = {128, 255, 0, 255, 0, 192, 64, 128, 128};
    for (size_t i = 0; i < std::size(in); ++i)
        EXPECT_EQ(eight[i], want8[i]) << i;
}

}  // namespace
