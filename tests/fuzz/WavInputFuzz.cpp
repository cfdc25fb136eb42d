// The WAV-file input device: the header reader, then the conversion of any recording to the opened
// format (rate, channels, 16-bit samples), as a program's input takes a file the user names.
#include "FuzzTarget.h"

#include "Recording.h"
#include "Signal.h"
#include "Wav.h"
#include "WavFile.h"

#include <cmath>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

namespace {

// A tone of the given length as a WAV file of our generator.
Bytes Tone(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames)
{
    siggen::Audio audio;
    audio.rate = rate;
    audio.channels = channels;
    for (size_t i = 0; i < frames * channels; ++i)
        audio.samples.push_back(0.6 * std::sin(0.3 * static_cast<double>(i)));
    return siggen::encodeWav(audio, bits);
}

}  // namespace

std::vector<Seed> Seeds()
{
    Bytes cut = Tone(11025, 1, 16, 300);
    cut.resize(cut.size() - 101);  // cut short inside a frame
    return {{"mono16-11025", Tone(11025, 1, 16, 300)},
            {"stereo16-11025", Tone(11025, 2, 16, 200)},
            {"mono8-8000", Tone(8000, 1, 8, 400)},
            {"stereo8-44100", Tone(44100, 2, 8, 300)},
            {"mono16-22050", Tone(22050, 1, 16, 500)},
            {"cut-short", cut},
            {"rate-1", Tone(1, 1, 16, 300)}};
}

void Run(const uint8_t* data, size_t size)
{
    // The device reads a path: the input becomes a file in memory.
    const int fd = ::memfd_create("recording", MFD_CLOEXEC);
    Check(fd >= 0, "memfd_create");
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Check(n > 0, "write to the memory file");
        done += static_cast<size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);

    platform::WavInfo info;
    std::string error;
    if (platform::readWavInfo(path, &info, &error)) {
        Check(info.format.blockAlign != 0 && info.format.channels != 0 && info.format.samplesPerSec != 0,
              "a format accepted without frame size, channels or rate");
        Check(info.dataSize % info.format.blockAlign == 0, "data size not a whole number of frames");
        Check(info.dataOffset + info.dataSize <= size, "data beyond the end of the file");
    } else {
        Check(!error.empty(), "a refused header without a reason");
    }

    // Mono and stereo opens at the suite's rate, and the plug-ins' stereo at another.
    const uint16_t channels = size > 0 && (data[size - 1] & 1) ? 2 : 1;
    const uint32_t rate = size > 1 && (data[size - 2] & 1) ? 22050 : 11025;
    bool cutShort = false;
    auto recording = platform::sound::Recording::open(path, rate, channels, platform::sound::ChannelChoice::Right,
                                                      &error, &cutShort);
    if (recording) {
        std::vector<float> frames(1024 * channels);
        std::vector<uint8_t> pcm(frames.size() * 2);
        for (int block = 0; block < 8; ++block) {
            const size_t got = recording->read(frames.data(), 1024);
            Check(got <= 1024, "more frames than asked for");
            platform::sound::floatToPcm(frames.data(), got * channels, 16, pcm.data());
            platform::sound::floatToPcm(frames.data(), got * channels, 8, pcm.data());
            if (got < 1024)
                break;
        }
    } else {
        Check(!error.empty(), "a refused recording without a reason");
    }
    ::close(fd);
}

}  // namespace fuzz
