// A WAV file the scope opens: whatever the file holds, the load takes only the one layout it knows,
// never more samples than the file carries, and exactly the little-endian samples after the header.
#include "FuzzTarget.h"

#include "ScopeCalc.h"
#include "ScopeWaveFile.h"

#include <cstring>
#include <sstream>

namespace fuzz {

namespace {

// An input: the timebase index byte, then the file.
Bytes File(uint32_t rate, const std::vector<int16_t>& samples, uint32_t dataSize, uint8_t timebase = 3)
{
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, rate, 16);
    h.SetDataSize(dataSize);
    const auto header = h.Bytes();
    Bytes b{timebase};
    b.insert(b.end(), header.begin(), header.end());
    for (int16_t s : samples) {
        b.push_back(uint8_t(uint16_t(s)));
        b.push_back(uint8_t(uint16_t(s) >> 8));
    }
    return b;
}

}  // namespace

std::vector<Seed> Seeds()
{
    const std::vector<int16_t> ramp = {0, 1000, -1000, 32767, -32768, 5};
    Bytes stereo = File(44100, ramp, 12);
    stereo[1 + 22] = 2;
    return {{"mono16-44100", File(44100, ramp, 12)},
            {"mono16-8000", File(8000, ramp, 12)},
            {"lying-size", File(11025, ramp, 0xFFFFFFF0u)},
            {"odd-tail", [&] { Bytes b = File(22050, ramp, 13); b.push_back(0x7F); return b; }()},
            {"stereo", stereo},
            {"rate-1", File(1, ramp, 12)},
            {"rate-1-slow", File(1, ramp, 12, 9)},
            {"header-only", File(44100, {}, 0)}};
}

void Run(const uint8_t* data, size_t size)
{
    // The first byte picks the timebase the file is opened at; the rest is the file.
    if (size < 1)
        return;
    const int index = data[0] % kTimebaseCount;
    ++data;
    --size;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const TScopeWave w = ReadScopeWave(in, index);
    if (size < TWaveFileHeader::Size) {
        Check(w.Result == swShortHeader && w.Samples.empty(), "a file shorter than its header was taken");
        return;
    }
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(data);
    const bool known = h.IsMonoPcm16() && LoadableRate(index, h.SamplesPerSec);
    Check(w.Taken() == known, "the load took another layout or refused its own");
    if (!known) {
        Check(w.Samples.empty(), "a refused file left samples");
        return;
    }
    const size_t held = (size - TWaveFileHeader::Size) / 2;
    const size_t claimed = h.DataSize / 2;
    Check(w.Samples.size() == std::min(held, claimed), "not the samples the file holds");
    Check((w.Result == swShortData) == (claimed > held), "a short file not reported, or a whole one reported short");
    Check(ScaledScreenSamples(index, w.Header.SamplesPerSec) >= 1, "a rate with no screen taken");
    for (size_t i = 0; i < w.Samples.size(); ++i) {
        const uint8_t* p = data + TWaveFileHeader::Size + 2 * i;
        if (w.Samples[i] != int16_t(uint16_t(p[0] | p[1] << 8)))
            Fail("a sample read differently");
    }
}

}  // namespace fuzz
