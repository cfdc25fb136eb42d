// MPT1327 frames off the air at the bit level: the input's bits through the framer into the codeword
// interpreter, which meets far more codewords this way than through the demodulator, in a window
// that counts its buffers as the decoder window does (Mpt1327Harness.h), so that systems are taken
// and calls fill the grid, the log and the heard radios.
#include "FuzzTarget.h"
#include "Mpt1327Harness.h"

#include "Mpt1327.h"

namespace fuzz {

namespace {

// The two option bytes (Mpt1327Harness.h), then the bits, first bit in the top bit.
Bytes Packed(uint8_t options, const siggen::Bits& bits, uint8_t user = 0)
{
    return Prefixed({options, user}, PackBits(bits));
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::mpt1327;
    // A window just tuned: the system is taken after 16 buffers (3 s), then the calls come.
    ChannelScript s;
    s.system = 0x0ABC;
    s.controlChannel = 17;
    s.numberEvery = 2;
    s.seconds = 4.0;
    s.events.push_back({3.2, {goToChannel(1, 100, 200, 33)}});
    s.events.push_back({3.3, {goToChannel(2, 8191, 5, 700)}});
    s.events.push_back({3.4, {message(1, 100, 1, 0, 0, 0x2000), dataCodeword(0x123456789AB), dataCodeword(7)}});
    s.events.push_back({3.5, {goToChannel(1, 100, 300, 34)}});
    s.events.push_back({3.6, {clearDown(33, 17)}});
    s.events.push_back({3.7, {message(3, 44, 0, 2, 1, 0x10)}});
    s.events.push_back({3.8, {goToChannel(2, 8191, 5, 700)}});
    // Other radios granted a channel in use: their call takes the channel's row.
    s.events.push_back({3.9, {goToChannel(3, 10, 20, 700)}});
    // A settled window that follows a call on its secondary receiver, and one that tunes the host.
    ChannelScript busy = s;
    busy.seconds = 1.0;
    for (Event& e : busy.events)
        e.time -= 3.1;
    ChannelScript other = busy;
    other.system = 0x7FFF;
    other.events = {{0.05, {channelNumber(5, 1, 200)}}, {0.1, {goToChannel(3, 10, 20, 40)}}};
    ChannelScript traffic = other;
    traffic.sync = kSynt;
    const uint8_t settled = 20 << 3;
    return {{"tuned", Packed(0x02, controlChannelBits(s))},
            {"secondary", Packed(settled | 0x03, controlChannelBits(busy))},
            {"host-follows", Packed(settled | 0x02, controlChannelBits(busy))},
            {"followed", Packed(settled, controlChannelBits(busy), GridAction::Byte(GridAction::FirstCall, 3))},
            {"cleared", Packed(settled | 0x01, controlChannelBits(busy), GridAction::Byte(GridAction::Clear, 4))},
            {"other-system", Packed(settled, controlChannelBits(other))},
            {"traffic", Packed(settled | 0x04, controlChannelBits(traffic))}};
}

void Run(const uint8_t* data, size_t size)
{
    Mpt1327Window window(data, size);
    TMPT1327Receiver receiver(window.decoder);
    uint32_t sixteenths = 0;  // a bit lasts 9.1875 frames
    ForEachBit(data, size, [&](uint32_t bit) {
        if (window.trafficInput)
            receiver.FeedBitsTraffic(1, bit);
        else
            receiver.FeedBitsCtrl(1, bit);
        sixteenths += 147;
        window.Advance(sixteenths / 16);
        sixteenths %= 16;
    });
    window.Finish();
}

}  // namespace fuzz
