#include "ScopeWaveFile.h"

#include "ScopeCalc.h"

#include <algorithm>

TScopeWave ReadScopeWave(std::istream& in, int timebaseIndex)
{
    TScopeWave w;
    uint8_t bytes[TWaveFileHeader::Size];
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    if (in.gcount() != std::streamsize(sizeof bytes))
        return w;
    w.Header = TWaveFileHeader::FromBytes(bytes);
    if (!w.Header.IsMonoPcm16() || !LoadableRate(timebaseIndex, w.Header.SamplesPerSec)) {
        w.Result = swWrongFormat;
        return w;
    }
    in.seekg(0, std::ios::end);
    const int64_t size = int64_t(in.tellg());
    in.seekg(TWaveFileHeader::Size, std::ios::beg);
    // Only what the file holds is read, never what its header claims beyond that.
    const int64_t held = std::max<int64_t>(size - int64_t(TWaveFileHeader::Size), 0);
    const int64_t want = std::min<int64_t>(int64_t(w.Header.DataSize), held) / 2;
    std::vector<uint8_t> raw(size_t(want) * 2);
    in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(raw.size()));
    const int64_t got = int64_t(in.gcount()) / 2;
    w.Samples.resize(size_t(got));
    for (int64_t i = 0; i < got; ++i)
        w.Samples[size_t(i)] = int16_t(uint16_t(raw[size_t(2 * i)] | raw[size_t(2 * i + 1)] << 8));
    w.Result = int64_t(w.Header.DataSize) / 2 > got ? swShortData : swLoaded;
    return w;
}
