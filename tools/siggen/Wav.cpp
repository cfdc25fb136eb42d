#include "Wav.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

namespace siggen {

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

void putTag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

uint16_t get16(const std::vector<uint8_t>& in, size_t at)
{
    return static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
}

uint32_t get32(const std::vector<uint8_t>& in, size_t at)
{
    return static_cast<uint32_t>(in[at]) | (static_cast<uint32_t>(in[at + 1]) << 8) |
           (static_cast<uint32_t>(in[at + 2]) << 16) | (static_cast<uint32_t>(in[at + 3]) << 24);
}

bool tagIs(const std::vector<uint8_t>& in, size_t at, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        if (in[at + i] != static_cast<uint8_t>(tag[i]))
            return false;
    return true;
}

constexpr size_t kHeaderSize = 44;

}  // namespace

int16_t toPcm16(double x)
{
    if (std::isnan(x))
        return 0;
    const double v = std::nearbyint(x * 32767.0);
    if (v < -32768.0)
        return -32768;
    if (v > 32767.0)
        return 32767;
    return static_cast<int16_t>(v);
}

uint8_t toPcm8(double x)
{
    if (std::isnan(x))
        return 128;
    const double v = std::nearbyint(x * 127.0);
    if (v < -128.0)
        return 0;
    if (v > 127.0)
        return 255;
    return static_cast<uint8_t>(static_cast<int>(v) + 128);
}

std::vector<uint8_t> encodeWav(const Audio& audio, uint16_t bits)
{
    if (bits != 8 && bits != 16)
        throw WavError("sample size must be 8 or 16 bits, not " + std::to_string(bits));
    if (audio.channels == 0)
        throw WavError("a WAV file needs at least one channel");
    if (audio.rate == 0)
        throw WavError("the sampling rate must be above 0");
    const uint16_t bytesPerSample = bits / 8;
    if (static_cast<uint64_t>(audio.rate) * audio.channels * bytesPerSample > 0xFFFFFFFFull)
        throw WavError("the byte rate does not fit the header");
    const uint64_t dataSize = static_cast<uint64_t>(audio.frames()) * audio.channels * bytesPerSample;
    if (dataSize > 0xFFFFFFFFull - 36)
        throw WavError("too many samples for one WAV file");

    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + dataSize);
    putTag(out, "RIFF");
    put32(out, static_cast<uint32_t>(36 + dataSize));
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, audio.channels);
    put32(out, audio.rate);
    put32(out, audio.rate * audio.channels * bytesPerSample);
    put16(out, static_cast<uint16_t>(audio.channels * bytesPerSample));
    put16(out, bits);
    putTag(out, "data");
    put32(out, static_cast<uint32_t>(dataSize));
    const size_t count = audio.frames() * audio.channels;  // a trailing partial frame is dropped
    for (size_t i = 0; i < count; ++i) {
        if (bits == 16)
            put16(out, static_cast<uint16_t>(toPcm16(audio.samples[i])));
        else
            out.push_back(toPcm8(audio.samples[i]));
    }
    return out;
}

void writeWav(const std::filesystem::path& file, const Audio& audio, uint16_t bits)
{
    const std::vector<uint8_t> bytes = encodeWav(audio, bits);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        throw WavError("cannot create " + file.string());
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw WavError("cannot write " + file.string());
}

WavData decodeWav(const std::vector<uint8_t>& in)
{
    if (in.size() < kHeaderSize)
        throw WavError("file is shorter than a WAV header");
    if (!tagIs(in, 0, "RIFF") || !tagIs(in, 8, "WAVE"))
        throw WavError("not a RIFF/WAVE file");
    if (!tagIs(in, 12, "fmt ") || get32(in, 16) != 16)
        throw WavError("no 16-byte format chunk after the RIFF header");
    if (get16(in, 20) != 1)
        throw WavError("not PCM");
    if (!tagIs(in, 36, "data"))
        throw WavError("no data chunk after the format chunk");

    WavData wav;
    wav.channels = get16(in, 22);
    wav.rate = get32(in, 24);
    wav.bits = get16(in, 34);
    if (wav.channels == 0)
        throw WavError("channel count is 0");
    if (wav.rate == 0)
        throw WavError("sampling rate is 0");
    if (wav.bits != 8 && wav.bits != 16)
        throw WavError("sample size is " + std::to_string(wav.bits) + " bits; only 8 and 16 are read");
    const uint32_t bytesPerSample = wav.bits / 8u;
    const uint32_t blockAlign = wav.channels * bytesPerSample;
    if (get16(in, 32) != blockAlign || get32(in, 28) != static_cast<uint64_t>(wav.rate) * blockAlign)
        throw WavError("block align or byte rate disagrees with the format");
    const uint32_t dataSize = get32(in, 40);
    if (dataSize > in.size() - kHeaderSize)
        throw WavError("data chunk is longer than the file");
    if (get32(in, 4) != 36 + static_cast<uint64_t>(dataSize))
        throw WavError("RIFF size disagrees with the data size");
    if (dataSize % blockAlign != 0)
        throw WavError("data size is not a whole number of frames");

    const size_t count = dataSize / bytesPerSample;
    wav.samples.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (wav.bits == 16)
            wav.samples.push_back(static_cast<int16_t>(get16(in, kHeaderSize + 2 * i)));
        else
            wav.samples.push_back(static_cast<int16_t>((in[kHeaderSize + i] - 128) * 256));
    }
    return wav;
}

WavData readWav(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw WavError("cannot open " + file.string());
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        return decodeWav(bytes);
    } catch (const WavError& e) {
        throw WavError(file.string() + ": " + e.what());
    }
}

}  // namespace siggen
