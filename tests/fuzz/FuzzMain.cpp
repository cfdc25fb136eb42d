// The entry points libFuzzer calls. With KORVANTA_FUZZ_SEEDS set the program writes the target's
// seed inputs into that folder, one file each, and exits: the build makes each seed corpus this way.
#include "FuzzTarget.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fuzz {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

Bytes Pcm16(const std::vector<double>& samples)
{
    Bytes out;
    out.reserve(samples.size() * 2);
    for (double x : samples) {
        const double v = std::nearbyint(std::fmax(-1.0, std::fmin(1.0, x)) * 32767.0);
        const auto s = static_cast<uint16_t>(static_cast<int16_t>(v));
        out.push_back(static_cast<uint8_t>(s));
        out.push_back(static_cast<uint8_t>(s >> 8));
    }
    return out;
}

Bytes StereoPcm16(const std::vector<double>& left)
{
    std::vector<double> both;
    both.reserve(left.size() * 2);
    for (double x : left) {
        both.push_back(x);
        both.push_back(0.0);
    }
    return Pcm16(both);
}

std::vector<int16_t> Samples16(const uint8_t* data, size_t size)
{
    std::vector<int16_t> out(size / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8)));
    return out;
}

Bytes PackBits(const std::vector<uint8_t>& bits)
{
    Bytes out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            out[i / 8] = static_cast<uint8_t>(out[i / 8] | (0x80 >> (i % 8)));
    return out;
}

}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* dir = std::getenv("KORVANTA_FUZZ_SEEDS");
    if (!dir || !*dir)
        return 0;
    std::filesystem::create_directories(dir);
    for (const fuzz::Seed& seed : fuzz::Seeds()) {
        std::ofstream out(std::filesystem::path(dir) / seed.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write seed %s into %s\n", seed.name.c_str(), dir);
            std::exit(1);
        }
    }
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Run(data, size);
    return 0;
}
