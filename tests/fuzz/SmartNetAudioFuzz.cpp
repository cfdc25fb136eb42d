// SmartNet off the air from the sound card: 16-bit stereo capture buffers through the two-level
// transition detector, whose level changes the receiver turns into bits, frames and words for the
// interpreter, in a window that counts its buffers and runs its timer as the decoder window does
// (SmartNetHarness.h). The detector's envelopes stay on their sides of 0, its level alternates and
// every transition lies in the half-cycle just ended.
#include "FuzzTarget.h"
#include "SmartNetHarness.h"

#include "QelFSKDecoder.h"
#include "Smartnet.h"

namespace fuzz {

namespace {

// The window's options (SmartNetHarness.h), then the detector's: bit 0 the data output on (the
// detector works on the signal itself, not its derivative), bit 1 the data on the left channel.
// Then the capture, the signal on the data channel and silence on the other.
Bytes Captured(uint8_t options, uint8_t levels, uint8_t detector, const std::vector<double>& signal)
{
    const bool left = detector & 2;
    std::vector<double> both;
    for (double x : signal) {
        both.push_back(left ? x : 0.0);
        both.push_back(left ? 0.0 : x);
    }
    return Prefixed({options, levels, 0, detector}, Pcm16(both));
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::smartnet;
    // Short captures keep the fuzzer fast: a window that has settled on the channel, then a system
    // triple or two and the calls.
    ChannelScript s;
    s.system = 0x1234;
    s.controlChannel = 752;
    s.tripleEvery = 1;
    s.seconds = 0.35;
    s.events = {{0.25, {grant(0x2001, 0x120)}}, {0.3, {grant(0x2002, 0x121, false)}}};
    const uint32_t rate = TSmartNetReceiver::kSampleRate;
    const siggen::Bits bits = controlChannelBits(s);
    const uint8_t settled = 20 << 3;
    return {{"derivative", Captured(settled | 0x02, 0xFF, 0, render(bits, rate, 0.5))},
            {"inverted-left", Captured(settled | 0x02, 0xFF, 2, render(bits, rate, 0.5, true))},
            {"data-out", Captured(settled | 0x03, 0xFF, 1, render(bits, rate, 0.3))}};
}

void Run(const uint8_t* data, size_t size)
{
    SmartNetWindow window(data, size);
    if (size == 0)
        return;
    const uint8_t options = data[0];
    ++data;
    --size;
    TQelFSKDecoder fsk;
    fsk.SetDecaySpeed(1);
    fsk.SetDerivative(!(options & 1));
    int32_t state = fsk.State();
    uint32_t last = 0;
    fsk.OnTransition = [&](TQelFSKDecoder* sender, uint32_t position, int32_t value) {
        Check(sender == &fsk, "a transition of another detector");
        Check(value == 1 - state && value == fsk.State(), "a level that does not alternate");
        Check(fsk.Upper() >= 0 && fsk.Lower() <= 0, "an envelope on the wrong side of 0");
        Check(position >= last && position <= fsk.SampleCounter(), "a transition outside its half-cycle");
        state = value;
        last = position;
        window.receiver.FSKDecTransition(position, value);
    };
    const std::vector<int16_t> pcm = Samples16(data, size);
    // The window's buffers of 32768 bytes, the last one shorter; the data channel's first sample, then
    // every other one.
    const size_t first = options & 2 ? 0 : 1;
    for (size_t at = 0; at < pcm.size(); at += 2 * SmartNetWindow::kBufferFrames) {
        const size_t samples = std::min<size_t>(2 * SmartNetWindow::kBufferFrames, pcm.size() - at);
        window.Advance(samples / 2);
        if (samples <= first)
            continue;
        const uint32_t count = uint32_t(samples - first), frames = (count + 1) / 2;
        const uint32_t before = fsk.SampleCounter();
        fsk.ProcessBuffer(pcm.data() + at + first, frames * 2, 2);
        Check(fsk.SampleCounter() == before + frames, "samples the detector did not count");
        Check(fsk.Upper() >= 0 && fsk.Lower() <= 0 && (fsk.State() == 0 || fsk.State() == 1),
              "a detector state out of its range");
    }
    window.Finish();
}

}  // namespace fuzz
