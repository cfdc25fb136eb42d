// The MPT1327 audio path off the air: 16-bit stereo capture buffers through the demodulator, bit
// recovery and framing into the codeword interpreter, control channel on the left, and the traffic
// channel on the right while the secondary receiver follows a call, in a window that counts its
// buffers as the decoder window does (Mpt1327Harness.h).
#include "FuzzTarget.h"
#include "Mpt1327Harness.h"

#include "Mpt1327.h"
#include "QelAFSKDemod.h"

namespace fuzz {

namespace {

// The two option bytes (Mpt1327Harness.h), then the capture: the control channel on the left, the
// traffic channel (silence when none is given) on the right.
Bytes Captured(uint8_t options, const std::vector<double>& left, const std::vector<double>& right = {})
{
    std::vector<double> both;
    for (size_t i = 0; i < left.size(); ++i) {
        both.push_back(left[i]);
        both.push_back(i < right.size() ? right[i] : 0.0);
    }
    return Prefixed({options, 0}, Pcm16(both));
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::mpt1327;
    // Short captures keep the fuzzer fast: a window that has settled on the channel, then preamble,
    // sync and a few codewords.
    ChannelScript control;
    control.system = 0x0ABC;
    control.controlChannel = 17;
    control.numberEvery = 2;
    control.seconds = 0.3;
    control.events.push_back({0.05, {goToChannel(1, 100, 200, 33)}});
    control.events.push_back({0.15, {clearDown(33, 17)}});
    control.events.push_back({0.2, {goToChannel(1, 101, 201, 34)}});
    ChannelScript traffic = control;
    traffic.sync = kSynt;
    traffic.events = {{0.0, {message(1, 100, 0, 0, 0, 0x1234)}}};
    const uint8_t settled = 20 << 3;
    return {{"control", Captured(settled | 0x02, render(control, 11025, 0.5))},
            {"secondary", Captured(settled | 0x03, render(control, 11025, 0.5), render(traffic, 11025, 0.5))},
            {"traffic", Captured(settled, render(traffic, 11025, 0.5))}};
}

void Run(const uint8_t* data, size_t size)
{
    Mpt1327Window window(data, size);
    TMPT1327Receiver receiver(window.decoder);
    TQelAFSKDemod control, traffic;
    MPT1327DemodSetting(control);
    MPT1327DemodSetting(traffic);
    const std::vector<int16_t> pcm = Samples16(data, size);
    // The window's buffers of 8192 bytes, the last one shorter; the traffic input only while the
    // secondary receiver follows a call, as the window has it.
    for (size_t at = 0; at < pcm.size(); at += 4096) {
        const size_t n = std::min<size_t>(4096, pcm.size() - at) & ~size_t{1};
        window.Advance(n / 2);
        receiver.ProcessBuffer(TMPT1327Receiver::kControl, control, pcm.data() + at, static_cast<uint32_t>(n * 2), 0);
        if (window.secondaryInUse && window.decoder.RetToCtrl())
            receiver.ProcessBuffer(TMPT1327Receiver::kTraffic, traffic, pcm.data() + at, static_cast<uint32_t>(n * 2),
                                   1);
    }
    window.Finish();
}

}  // namespace fuzz
