// The DTMF decoder on any capture: both detection methods, in the suite's buffers of 2048 samples.
#include "FuzzTarget.h"

#include "DTMFDecoder.h"
#include "Dtmf.h"

namespace fuzz {

std::vector<Seed> Seeds()
{
    siggen::dtmf::Script s;
    // Short captures keep the fuzzer fast: two digits and the silence that ends the line.
    s.digits = "5#";
    s.toneSeconds = 0.05;
    s.pauseSeconds = 0.04;
    s.leadSeconds = 0.01;
    s.tailSeconds = 0.12;
    siggen::dtmf::Script twisted = s;
    twisted.digits = "0A";
    twisted.twistDb = 4;
    twisted.lowOffset = 0.015;
    return {{"digits", Pcm16(siggen::dtmf::render(s, kDTMFRate))},
            {"twisted", Pcm16(siggen::dtmf::render(twisted, kDTMFRate))}};
}

void Run(const uint8_t* data, size_t size)
{
    const std::vector<int16_t> pcm = Samples16(data, size);
    for (bool method1 : {true, false}) {
        TDTMFDecoder decoder;
        decoder.Method1 = method1;
        std::string line;
        decoder.OnSymbol = [&line](char c) {
            Check(c != ' ' && c != 0, "an empty symbol handed on");
            line += c;
        };
        decoder.OnLineBreak = [&line] { line.clear(); };
        for (size_t at = 0; at < pcm.size(); at += kDTMFBufferSamples)
            decoder.ProcessBuffer(pcm.data() + at, std::min<size_t>(kDTMFBufferSamples, pcm.size() - at));
    }
}

}  // namespace fuzz
