#include "WaveFileHeader.h"

#include <algorithm>

namespace {

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint16_t Get16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutId(uint8_t* p, const std::array<char, 4>& id)
{
    std::copy(id.begin(), id.end(), p);
}

std::array<char, 4> GetId(const uint8_t* p)
{
    return {char(p[0]), char(p[1]), char(p[2]), char(p[3])};
}

}  // namespace

TWaveFileHeader TWaveFileHeader::Pcm(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample)
{
    TWaveFileHeader h;
    h.Channels = channels;
    h.SamplesPerSec = samplesPerSec;
    h.BitsPerSample = bitsPerSample;
    h.BlockAlign = uint16_t(uint32_t(channels) * bitsPerSample / 8);
    h.AvgBytesPerSec = samplesPerSec * h.BlockAlign;
    h.SetDataSize(0);
    return h;
}

void TWaveFileHeader::SetDataSize(uint32_t bytes)
{
    DataSize = bytes;
    RiffSize = bytes > UINT32_MAX - 36 ? UINT32_MAX : bytes + 36;
}

std::array<uint8_t, TWaveFileHeader::Size> TWaveFileHeader::Bytes() const
{
    std::array<uint8_t, Size> b{};
    PutId(&b[0], Riff);
    Put32(&b[4], RiffSize);
    PutId(&b[8], Wave);
    PutId(&b[12], Fmt);
    Put32(&b[16], FmtSize);
    Put16(&b[20], FormatTag);
    Put16(&b[22], Channels);
    Put32(&b[24], SamplesPerSec);
    Put32(&b[28], AvgBytesPerSec);
    Put16(&b[32], BlockAlign);
    Put16(&b[34], BitsPerSample);
    PutId(&b[36], Data);
    Put32(&b[40], DataSize);
    return b;
}

TWaveFileHeader TWaveFileHeader::FromBytes(const uint8_t* b)
{
    TWaveFileHeader h;
    h.Riff = GetId(&b[0]);
    h.RiffSize = Get32(&b[4]);
    h.Wave = GetId(&b[8]);
    h.Fmt = GetId(&b[12]);
    h.FmtSize = Get32(&b[16]);
    h.FormatTag = Get16(&b[20]);
    h.Channels = Get16(&b[22]);
    h.SamplesPerSec = Get32(&b[24]);
    h.AvgBytesPerSec = Get32(&b[28]);
    h.BlockAlign = Get16(&b[32]);
    h.BitsPerSample = Get16(&b[34]);
    h.Data = GetId(&b[36]);
    h.DataSize = Get32(&b[40]);
    return h;
}

bool TWaveFileHeader::IsMonoPcm16() const
{
    const TWaveFileHeader canonical;
    return Riff == canonical.Riff && Wave == canonical.Wave && Fmt == canonical.Fmt && FmtSize == 16 &&
           FormatTag == 1 && Channels == 1 && BitsPerSample == 16 && Data == canonical.Data;
}
