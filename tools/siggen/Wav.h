#pragma once
// Canonical PCM WAV files: the 44-byte RIFF/WAVE header followed by the samples.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace siggen {

// Interleaved samples at full scale 1.0, before quantisation.
struct Audio {
    uint32_t rate = 11025;
    uint16_t channels = 1;
    std::vector<double> samples;

    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

// A PCM file as read back. 8-bit files are scaled to the 16-bit range ((byte - 128) * 256).
struct WavData {
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    std::vector<int16_t> samples;  // interleaved

    size_t frames() const { return channels ? samples.size() / channels : 0; }
    int16_t at(size_t frame, uint16_t channel) const { return samples[frame * channels + channel]; }
};

struct WavError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Rounds to the nearest step and clips: 1.0 is 32767, anything beyond the range is held at its end.
int16_t toPcm16(double x);
uint8_t toPcm8(double x);

// bits is 16 or 8; anything else, or channels of 0, throws WavError.
std::vector<uint8_t> encodeWav(const Audio& audio, uint16_t bits = 16);
void writeWav(const std::filesystem::path& file, const Audio& audio, uint16_t bits = 16);

// Accepts exactly the canonical layout (PCM, 8 or 16 bits); throws WavError naming what is wrong.
WavData decodeWav(const std::vector<uint8_t>& bytes);
WavData readWav(const std::filesystem::path& file);

}  // namespace siggen
