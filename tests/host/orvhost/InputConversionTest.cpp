// A listener's own recording, of whatever kind, decoded by Marlet under orvhost: each kind gives the
// same calls (the auto-tune retunes to their channels) as the 11025 Hz 16-bit stereo original.
#include "GrantsRecording.h"
#include "OrvhostRun.h"
#include "TestSupport.h"

#include <sndfile.h>
#include <soxr.h>

#include <gmock/gmock.h>


namespace {

using namespace testsupport;

// The original's samples, interleaved stereo, -1..1.
std::vector<float> ReadAll(const std::filesystem::path& path, SF_INFO* info)
{
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, info);
    EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
    std::vector<float> data(size_t(info->frames) * size_t(info->channels));
    sf_readf_float(sf, data.data(), info->frames);
    sf_close(sf);
    return data;
}

// Writes the original's control channel as a recording of another kind: its rate, its channels (a
// mono one holds the right channel, where the control channel is) and its sample format.
void WriteAs(const std::filesystem::path& path, const std::vector<float>& stereo, int rate, int channels, int format,
             double keepSeconds = 0)
{
    std::vector<float> picked;
    for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
        if (channels == 1)
            picked.push_back(stereo[i + 1]);
        else
            picked.insert(picked.end(), {stereo[i], stereo[i + 1]});
    }
    const size_t inFrames = picked.size() / size_t(channels);
    std::vector<float> out(size_t(double(inFrames) * rate / 11025 + 64) * size_t(channels));
    size_t done = 0;
    soxr_error_t e = soxr_oneshot(11025, rate, unsigned(channels), picked.data(), inFrames, nullptr, out.data(),
                                  out.size() / size_t(channels), &done, nullptr, nullptr, nullptr);
    ASSERT_EQ(e, nullptr);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    sf_writef_float(sf, out.data(), sf_count_t(done));
    sf_close(sf);
    if (keepSeconds > 0) {  // cut the file short without mending its header
        auto bytes = readBytes(path);
        bytes.resize(size_t(44 + keepSeconds * rate * channels * 2));
        writeBytes(path, bytes);
    }
}

struct Kind {
    const char* name;
    const char* file;
    int rate, channels, format;
    double keepSeconds;
};

TEST(OrvhostInput, EveryKindOfRecordingGivesMarletTheSameCallsAsTheOriginal)
{
    TempDir dir;
    const auto config = dir / "config";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::TurnOnAutoTune(config));
    const auto original = dir / "original.wav";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::WriteGrants(original));
    SF_INFO info{};
    const std::vector<float> stereo = ReadAll(original, &info);
    ASSERT_EQ(info.samplerate, 11025);
    ASSERT_EQ(info.channels, 2);

    auto decode = [&](const std::filesystem::path& recording) {
        const auto trace = dir / "trace.jsonl";
        std::filesystem::remove(dir / "MPT1327.MEM");
        const int rc = runProgram({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + (dir / "err").string(),
                                   binPath("orvhost").string(), "--headless", "--plugin",
                                   libPath("libmarlet.so").string(), "--input", recording.string(), "--trace",
                                   trace.string()},
                                  {"WAVE_IN_FILE=", "WAVE_IN_PACE=fast", "XDG_RUNTIME_DIR=" + dir.path().string(),
                                   "XDG_CONFIG_HOME=" + config.string(), "ORV_PLUGIN_PATH=" + dir.path().string(),
                                   "MSGBOX_LOG=" + (dir / "boxes").string(), "QT_QPA_PLATFORM=offscreen"},
                                  nullptr, 120);
        EXPECT_EQ(rc, 0) << readFile(dir / "err");
        return pluginTunes(readFile(trace)).tunes;
    };
    const std::vector<int64_t> calls = decode(original);
    ASSERT_EQ(calls, orvhosttest::kGrantTunes);

    const Kind kinds[] = {
        {"8-bit mono 8 kHz", "u8.wav", 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 0},
        {"16-bit mono 44.1 kHz", "s16.wav", 44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
        {"24-bit stereo 48 kHz", "s24.wav", 48000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0},
        {"float stereo 22.05 kHz", "f32.wav", 22050, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0},
        {"FLAC mono 16 kHz", "c.flac", 16000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0},
        {"16-bit stereo 11025 Hz cut short at 19 s", "cut.wav", 11025, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 19.0},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const auto path = dir / k.file;
        WriteAs(path, stereo, k.rate, k.channels, k.format, k.keepSeconds);
        EXPECT_EQ(decode(path), calls);
        const std::string err = readFile(dir / "err");
        EXPECT_EQ(err.find("cut short") != std::string::npos, k.keepSeconds > 0) << err;
    }
}

}  // namespace
