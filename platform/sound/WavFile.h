#pragma once
// Reading the header of a PCM WAV file: where its samples are and in what format. Every chunk
// size is checked against the file size before it is used.
#include "Wave.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

struct WavInfo {
    WaveFormat format;
    uint64_t dataOffset = 0;  // file offset of the first sample byte
    uint32_t dataSize = 0;    // bytes of samples, a whole number of frames
};

// Reads the RIFF header, the "fmt " chunk and the position of the "data" chunk (other chunks
// before "data" are skipped). False with *error set for anything malformed or truncated.
bool readWavInfo(const std::filesystem::path& file, WavInfo* info, std::string* error);

}  // namespace platform
