// siggen's WAV reader, which the tests use to read back what they wrote: what it accepts it writes
// back byte for byte.
#include "FuzzTarget.h"

#include "Wav.h"

namespace fuzz {

std::vector<Seed> Seeds()
{
    std::vector<Seed> seeds;
    for (uint16_t bits : {8, 16})
        for (uint16_t channels : {1, 2}) {
            siggen::Audio audio;
            audio.rate = bits == 8 ? 8000 : 11025;
            audio.channels = channels;
            for (int i = 0; i < 40 * channels; ++i)
                audio.samples.push_back((i % 17) / 8.5 - 1.0);
            seeds.push_back({"wav" + std::to_string(bits) + "-" + std::to_string(channels), siggen::encodeWav(audio, bits)});
        }
    return seeds;
}

void Run(const uint8_t* data, size_t size)
{
    const Bytes in(data, data + size);
    siggen::WavData wav;
    try {
        wav = siggen::decodeWav(in);
    } catch (const siggen::WavError&) {
        return;
    }
    Check(wav.rate > 0 && wav.channels > 0 && (wav.bits == 8 || wav.bits == 16), "a format it cannot write");
    Check(wav.samples.size() % wav.channels == 0, "a partial frame");

    siggen::Audio audio;
    audio.rate = wav.rate;
    audio.channels = wav.channels;
    for (int16_t s : wav.samples)
        audio.samples.push_back(wav.bits == 16 ? s / 32767.0 : (s / 256) / 127.0);
    Bytes out;
    try {
        out = siggen::encodeWav(audio, wav.bits);
    } catch (const siggen::WavError&) {
        Fail("an accepted file cannot be written back");
    }
    Check(out.size() <= in.size() && std::equal(out.begin(), out.end(), in.begin()),
          "written back differently");
}

}  // namespace fuzz
