// The 44-byte header of the WAV files the suite writes and its scope loads: any 44 bytes decode as
// they stand and encode back to themselves; a header the scope takes has the layout it expects.
#include "FuzzTarget.h"

#include "Wav.h"
#include "WaveFileHeader.h"

#include <cstring>

namespace fuzz {

std::vector<Seed> Seeds()
{
    std::vector<Seed> seeds;
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, 11025, 16);
    h.SetDataSize(22050);
    const auto b = h.Bytes();
    seeds.push_back({"mono16", Bytes(b.begin(), b.end())});
    TWaveFileHeader s = TWaveFileHeader::Pcm(2, 44100, 8);
    s.SetDataSize(0xFFFFFFFF);
    const auto sb = s.Bytes();
    seeds.push_back({"stereo8-full", Bytes(sb.begin(), sb.end())});
    siggen::Audio audio;
    audio.samples.assign(8, 0.25);
    seeds.push_back({"siggen", siggen::encodeWav(audio, 16)});
    return seeds;
}

void Run(const uint8_t* data, size_t size)
{
    if (size < TWaveFileHeader::Size)
        return;
    const TWaveFileHeader h = TWaveFileHeader::FromBytes(data);
    const auto back = h.Bytes();
    Check(std::memcmp(back.data(), data, TWaveFileHeader::Size) == 0, "the header encodes back differently");
    if (h.IsMonoPcm16())
        Check(h.Channels == 1 && h.BitsPerSample == 16 && h.FormatTag == 1 && h.FmtSize == 16 &&
                  std::memcmp(data + 36, "data", 4) == 0,
              "a header taken that is not mono 16-bit PCM");
    // A header made for the format read, with the data size read, is a PCM header of that format.
    TWaveFileHeader made = TWaveFileHeader::Pcm(h.Channels, h.SamplesPerSec, h.BitsPerSample);
    made.SetDataSize(h.DataSize);
    Check(made.DataSize == h.DataSize && made.RiffSize >= made.DataSize, "the data size is not kept");
}

}  // namespace fuzz
