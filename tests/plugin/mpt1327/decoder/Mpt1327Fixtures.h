#pragma once
// Shared pieces of the decoder tests: codewords as the framer delivers them, a sink that keeps
// them, and 16-bit stereo capture buffers from test signals.
#include "MPT1327Receiver.h"
#include "Mpt1327.h"
#include "QelAFSKDemod.h"

#include <cmath>
#include <vector>

namespace fixture {

inline std::array<uint16_t, 4> words(uint64_t codeword)
{
    return siggen::mpt1327::wordsOf(codeword);
}

inline uint64_t fromWords(const std::array<uint16_t, 4>& w)
{
    return (uint64_t{w[0]} << 48) | (uint64_t{w[1]} << 32) | (uint64_t{w[2]} << 16) | w[3];
}

inline TMPT1327Codeword valid(uint64_t codeword, int input = 0)
{
    return {input, words(codeword), true};
}

// Keeps every codeword with the check register as it stood when the codeword completed.
struct Sink : TMPT1327CodewordSink {
    TMPT1327Receiver* receiver = nullptr;
    std::vector<TMPT1327Codeword> got;
    std::vector<TCodewordCheckRegister> checks;
    void DecodeCodeword(const TMPT1327Codeword& cw) override
    {
        got.push_back(cw);
        if (receiver)
            checks.push_back(receiver->State(cw.Input).Check);
    }
    size_t validCount() const
    {
        size_t n = 0;
        for (const auto& cw : got)
            n += cw.Valid;
        return n;
    }
};

// Interleaved 16-bit stereo, `signal` on `channel` and `other` on the other one.
inline std::vector<int16_t> stereo16(const siggen::Samples& signal, const siggen::Samples& other, int channel)
{
    std::vector<int16_t> out(signal.size() * 2);
    auto conv = [](double x) {
        return static_cast<int16_t>(std::lround(std::fmax(-1.0, std::fmin(1.0, x)) * 32767.0));
    };
    for (size_t i = 0; i < signal.size(); ++i) {
        out[2 * i + static_cast<size_t>(channel)] = conv(signal[i]);
        out[2 * i + static_cast<size_t>(1 - channel)] = i < other.size() ? conv(other[i]) : 0;
    }
    return out;
}

// Feeds a stereo capture in the window's buffers of 8192 bytes (the last one shorter).
inline void feedBuffers(TMPT1327Receiver& rx, TQelAFSKDemod& demod, const std::vector<int16_t>& pcm, int input,
                        int channel)
{
    const size_t perBuffer = 4096;  // samples of 8192 bytes
    for (size_t at = 0; at < pcm.size(); at += perBuffer) {
        const size_t n = std::min(perBuffer, pcm.size() - at);
        rx.ProcessBuffer(input, demod, pcm.data() + at, static_cast<uint32_t>(n * 2), channel);
    }
}

}  // namespace fixture
