#pragma once
// A WAV file as the scope loads it: only the 44-byte header layout of the files it writes (RIFF/WAVE,
// a 16-byte PCM format chunk of one 16-bit channel, then the data chunk), at a rate that gives the
// timebase a screen of at least one sample.
#include "WaveFileHeader.h"

#include <cstdint>
#include <istream>
#include <vector>

enum TScopeWaveResult {
    swLoaded,       // the whole data chunk read
    swShortHeader,  // fewer than 44 bytes: nothing taken
    swWrongFormat,  // another layout or an unusable rate: nothing taken
    swShortData     // the file ends before its data size: what it holds is taken
};

struct TScopeWave {
    TScopeWaveResult Result = swShortHeader;
    TWaveFileHeader Header;
    std::vector<int16_t> Samples;
    // Whether the window takes the file's rate and samples.
    bool Taken() const { return Result == swLoaded || Result == swShortData; }
};

// Reads the file from its start for the timebase entry `timebaseIndex`; never more samples than the
// stream holds, whatever the header claims.
TScopeWave ReadScopeWave(std::istream& in, int timebaseIndex);
