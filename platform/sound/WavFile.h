#pragma once
// Reading the header of a WAV file: where its samples are and in what format. Every chunk size is
// checked against the file size before it is used; a file cut short keeps the whole frames it holds.
#include "Wave.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

struct WavInfo {
    WaveFormat format;
    uint64_t dataOffset = 0;  // file offset of the first sample byte
    uint32_t dataSize = 0;    // bytes of samples, a whole number of frames
    bool pcm = false;         // plain 8 or 16-bit PCM the devices take as it is
    bool cutShort = false;    // the data chunk claims more than the file holds
};

// Reads the RIFF header, the "fmt " chunk and the position of the "data" chunk (other chunks
// before "data" are skipped). False with *error set for anything malformed; a data chunk cut short
// (or ending in part of a frame) gives the whole frames there are, with cutShort set.
bool readWavInfo(const std::filesystem::path& file, WavInfo* info, std::string* error);

}  // namespace platform
