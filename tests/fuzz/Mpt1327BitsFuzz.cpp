// MPT1327 frames off the air at the bit level: the input's bits through the framer into the codeword
// interpreter, which meets far more codewords this way than through the demodulator.
#include "FuzzTarget.h"
#include "Mpt1327Harness.h"

#include "Mpt1327.h"

namespace fuzz {

namespace {

// The input: a byte choosing the input (top bit set: traffic), then the bits, first bit in the top bit.
Bytes Packed(uint8_t input, const siggen::Bits& bits)
{
    Bytes out = PackBits(bits);
    out.insert(out.begin(), input);
    return out;
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::mpt1327;
    ChannelScript s;
    s.system = 0x0ABC;
    s.controlChannel = 17;
    s.numberEvery = 2;
    s.seconds = 0.5;
    s.events.push_back({0.05, {goToChannel(1, 100, 200, 33)}});
    s.events.push_back({0.1, {goToChannel(2, 8191, 5, 700)}});
    s.events.push_back({0.15, {message(1, 100, 1, 0, 0, 0x2000), dataCodeword(0x123456789AB), dataCodeword(7)}});
    s.events.push_back({0.2, {clearDown(33, 17)}});
    s.events.push_back({0.25, {message(3, 44, 0, 2, 1, 0x10)}});
    ChannelScript other = s;
    other.system = 0x7FFF;
    other.events = {{0.05, {channelNumber(5, 1, 200)}}};
    ChannelScript traffic = other;
    traffic.sync = kSynt;
    return {{"control", Packed(0, controlChannelBits(s))},
            {"other-system", Packed(0, controlChannelBits(other))},
            {"traffic", Packed(0x80, controlChannelBits(traffic))}};
}

void Run(const uint8_t* data, size_t size)
{
    Mpt1327Window window;
    TMPT1327Receiver receiver(window.decoder);
    if (size == 0)
        return;
    const bool traffic = data[0] & 0x80;
    ForEachBit(data + 1, size - 1, [&](uint32_t bit) {
        if (traffic)
            receiver.FeedBitsTraffic(1, bit);
        else
            receiver.FeedBitsCtrl(1, bit);
    });
}

}  // namespace fuzz
