#pragma once
// The 44-byte header at the start of every WAV file the suite writes, and the one layout the scope
// loads: RIFF/WAVE, a 16-byte PCM format chunk, then the data chunk. Fields are little-endian and
// read and written one by one.
#include <array>
#include <cstddef>
#include <cstdint>

struct TWaveFileHeader {
    static constexpr size_t Size = 44;

    std::array<char, 4> Riff{'R', 'I', 'F', 'F'};
    uint32_t RiffSize = 36;  // data size + 36
    std::array<char, 4> Wave{'W', 'A', 'V', 'E'};
    std::array<char, 4> Fmt{'f', 'm', 't', ' '};
    uint32_t FmtSize = 16;
    // Bytes 20 to 35: the wave format record of the sound input.
    uint16_t FormatTag = 1;  // PCM
    uint16_t Channels = 1;
    uint32_t SamplesPerSec = 11025;
    uint32_t AvgBytesPerSec = 22050;
    uint16_t BlockAlign = 2;
    uint16_t BitsPerSample = 16;
    std::array<char, 4> Data{'d', 'a', 't', 'a'};
    uint32_t DataSize = 0;

    // A PCM header with the derived fields filled in and no data yet.
    static TWaveFileHeader Pcm(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);

    // Sets the data size and the RIFF size with it (held at the largest value a 32-bit field takes).
    void SetDataSize(uint32_t bytes);

    std::array<uint8_t, Size> Bytes() const;
    // Decodes the 44 bytes as they stand, without judging them.
    static TWaveFileHeader FromBytes(const uint8_t* bytes);

    // The layout the scope loads: the four chunk names in place, format chunk of 16 bytes, PCM, one
    // channel of 16-bit samples. The sizes and the rate fields are not judged here.
    bool IsMonoPcm16() const;
};
