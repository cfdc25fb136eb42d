#include "WavFile.h"

#include <fstream>

namespace platform {

namespace {

uint32_t le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool fail(std::string* error, const std::filesystem::path& file, const std::string& why)
{
    if (error)
        *error = "WAV file \"" + file.string() + "\": " + why;
    return false;
}

}  // namespace

bool readWavInfo(const std::filesystem::path& file, WavInfo* info, std::string* error)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return fail(error, file, "cannot be opened");
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0)
        return fail(error, file, "cannot be read");
    const uint64_t fileSize = static_cast<uint64_t>(end);
    in.seekg(0);

    unsigned char riff[12];
    if (fileSize < sizeof riff || !in.read(reinterpret_cast<char*>(riff), sizeof riff))
        return fail(error, file, "too short for a RIFF header");
    if (std::string(reinterpret_cast<char*>(riff), 4) != "RIFF" ||
        std::string(reinterpret_cast<char*>(riff + 8), 4) != "WAVE")
        return fail(error, file, "not a RIFF/WAVE file");
    uint64_t riffEnd = uint64_t(le32(riff + 4)) + 8;
    bool cutShort = false;
    if (riffEnd > fileSize) {  // a recording cut short: what it holds still counts
        riffEnd = fileSize;
        cutShort = true;
    }

    bool haveFormat = false;
    WaveFormat format;
    uint64_t pos = sizeof riff;
    for (;;) {
        unsigned char chunk[8];
        if (pos + sizeof chunk > riffEnd)
            return fail(error, file, haveFormat ? "no data chunk" : "no fmt chunk");
        in.seekg(static_cast<std::streamoff>(pos));
        if (!in.read(reinterpret_cast<char*>(chunk), sizeof chunk))
            return fail(error, file, "cannot be read");
        const std::string id(reinterpret_cast<char*>(chunk), 4);
        const uint64_t size = le32(chunk + 4);
        const uint64_t body = pos + sizeof chunk;
        if (id == "fmt ") {
            if (size < 16)
                return fail(error, file, "fmt chunk too short");
            if (body + size > riffEnd)
                return fail(error, file, "truncated fmt chunk");
            unsigned char f[16];
            if (!in.read(reinterpret_cast<char*>(f), sizeof f))
                return fail(error, file, "cannot be read");
            format.formatTag = le16(f);
            format.channels = le16(f + 2);
            format.samplesPerSec = le32(f + 4);
            format.avgBytesPerSec = le32(f + 8);
            format.blockAlign = le16(f + 12);
            format.bitsPerSample = le16(f + 14);
            if (format.channels == 0 || format.blockAlign == 0 || format.samplesPerSec == 0)
                return fail(error, file, "inconsistent format (no channels, frame size or rate)");
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return fail(error, file, "data chunk before the fmt chunk");
            uint64_t have = size;
            if (body + size > riffEnd) {
                have = riffEnd - body;
                cutShort = true;
            }
            if (have % format.blockAlign != 0)
                cutShort = true;
            info->format = format;
            info->dataOffset = body;
            info->dataSize = static_cast<uint32_t>(have - have % format.blockAlign);
            info->pcm = format.formatTag == kWaveFormatPcm && isSupportedPcm(format);
            info->cutShort = cutShort;
            return true;
        } else if (body + size > riffEnd) {
            return fail(error, file, "truncated \"" + id + "\" chunk");
        }
        pos = body + size + (size & 1);  // chunks are padded to an even length
    }
}

}  // namespace platform
