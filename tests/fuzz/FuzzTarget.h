#pragma once
// One fuzz target: Run takes one input, as libFuzzer hands it over; Seeds gives the inputs our own
// generators and writers make, which the build writes into the target's seed corpus.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
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

// The fields of a comma-separated log line (without its CR LF).
inline std::vector<std::string> Fields(const std::string& line, char separator)
{
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == separator)
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    return fields;
}

// The colours of a call grid's rows: yellow or white selected, lime or green not, for a call that
// is listened to or not.
inline bool GridColour(uint32_t colour, bool selected)
{
    return selected ? (colour == 0x00FFFF || colour == 0xFFFFFF) : (colour == 0x00FF00 || colour == 0x008000);
}

// A decoder window's local time, frames at rate into the run: the clock starts ten seconds before
// midnight, so that calls are met on both sides of it.
template <typename Time>
Time NearMidnight(uint64_t frames, uint32_t rate)
{
    const uint64_t s = (86390 + frames / rate) % 86400;
    return {2026, 12, 31, uint8_t(s / 3600), uint8_t(s / 60 % 60), uint8_t(s % 60)};
}

// The user's one action on a decoder window's call grid, from a byte of the input: bits 0 to 5 the
// timer tick or buffer it comes at, bits 6 and 7 what it is: nothing, a double click on the first
// call, the grid's "Clear", a double click on the last call.
struct GridAction {
    enum Kind { None, FirstCall, Clear, LastCall };
    uint64_t at = 0;
    Kind kind = None;

    GridAction() = default;
    explicit GridAction(uint8_t byte) : at(byte & 0x3F), kind(Kind(byte >> 6)) {}
    static uint8_t Byte(Kind kind, uint8_t at) { return uint8_t(kind << 6 | (at & 0x3F)); }

    // At tick or buffer n.
    template <typename Decoder, typename Calls>
    void Take(uint64_t n, Decoder& decoder, const Calls& calls) const
    {
        if (n != at)
            return;
        if (kind == FirstCall)
            decoder.DoubleClick(1);
        else if (kind == LastCall)
            decoder.DoubleClick(int(calls.size()));
        else if (kind == Clear)
            decoder.ClearCalls();
    }
};

// An input of option bytes followed by the rest.
inline Bytes Prefixed(std::initializer_list<uint8_t> options, const Bytes& rest)
{
    Bytes out(options);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
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
