#pragma once
// One fuzz target: Run takes one input, as libFuzzer hands it over; Seeds gives the inputs our own
// generators and writers make, which the build writes into the target's seed corpus.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

using Bytes = std::vector<uint8_t>;

struct Seed {
    std::string name;
    Bytes bytes;
};

std::vector<Seed> Seeds();
void Run(const uint8_t* data, size_t size);

// Ends the run as a finding when a property does not hold, so that libFuzzer keeps the input.
[[noreturn]] void Fail(const char* what);
inline void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// Text as a window or a log shows it: no control characters (a NUL included), so nothing is cut
// short or split where it is shown.
inline bool WholeText(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

// One line of a log: whole text ended by CR LF, so a line cut short by its buffer is caught.
inline bool WholeLine(const std::string& line)
{
    return line.size() > 2 && line.compare(line.size() - 2, 2, "\r\n") == 0 &&
           WholeText(line.substr(0, line.size() - 2));
}

// Interleaved samples at full scale 1.0 as 16-bit little-endian PCM.
Bytes Pcm16(const std::vector<double>& samples);

// A stereo 16-bit capture with the signal on the left and silence on the right.
Bytes StereoPcm16(const std::vector<double>& left);

// The input as 16-bit samples (a trailing odd byte is dropped).
std::vector<int16_t> Samples16(const uint8_t* data, size_t size);

// Bits (one a byte, 0 or 1) as an input of bits: first bit in the top bit of the first byte.
Bytes PackBits(const std::vector<uint8_t>& bits);

// Calls f with each bit of an input of bits, in order.
template <typename F>
void ForEachBit(const uint8_t* data, size_t size, F f)
{
    for (size_t i = 0; i < size; ++i)
        for (int b = 7; b >= 0; --b)
            f(static_cast<uint8_t>((data[i] >> b) & 1));
}

}  // namespace fuzz
