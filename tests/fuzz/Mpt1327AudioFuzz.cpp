// The MPT1327 audio path off the air: 16-bit stereo capture buffers through the demodulator, bit
// recovery and framing into the codeword interpreter, on the control and the traffic input.
#include "FuzzTarget.h"
#include "Mpt1327Harness.h"

#include "Mpt1327.h"
#include "QelAFSKDemod.h"

namespace fuzz {

std::vector<Seed> Seeds()
{
    using namespace siggen::mpt1327;
    ChannelScript control;
    control.system = 0x0ABC;
    control.controlChannel = 17;
    control.numberEvery = 2;
    // Short captures keep the fuzzer fast: preamble, sync and a few codewords.
    control.seconds = 0.1;
    control.events.push_back({0.0, {goToChannel(1, 100, 200, 33)}});
    control.events.push_back({0.05, {clearDown(33, 17)}});
    ChannelScript traffic = control;
    traffic.sync = kSynt;
    traffic.events = {{0.0, {message(1, 100, 0, 0, 0, 0x1234)}}};
    return {{"control", StereoPcm16(render(control, 11025, 0.5))},
            {"traffic", StereoPcm16(render(traffic, 11025, 0.5))}};
}

void Run(const uint8_t* data, size_t size)
{
    Mpt1327Window window;
    TMPT1327Receiver receiver(window.decoder);
    TQelAFSKDemod control, traffic;
    MPT1327DemodSetting(control);
    MPT1327DemodSetting(traffic);
    const std::vector<int16_t> pcm = Samples16(data, size);
    // The window's buffers of 8192 bytes, the last one shorter; left to the control input, right to
    // the traffic input.
    for (size_t at = 0; at < pcm.size(); at += 4096) {
        const size_t n = std::min<size_t>(4096, pcm.size() - at) & ~size_t{1};
        receiver.ProcessBuffer(TMPT1327Receiver::kControl, control, pcm.data() + at, static_cast<uint32_t>(n * 2), 0);
        receiver.ProcessBuffer(TMPT1327Receiver::kTraffic, traffic, pcm.data() + at, static_cast<uint32_t>(n * 2), 1);
        window.decoder.BufferArrived();
    }
}

}  // namespace fuzz
