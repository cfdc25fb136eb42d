#pragma once
// SmartNet outbound control channel: 27-bit outbound words (16-bit address, group flag, 10-bit
// command) with 10 check bits, a rate-1/2 convolutional code, a 4 x 19 interleave and the sync
// byte 0xAC, sent at 3600 bit/s as two-level FSK as a receiver's discriminator gives it.
#include "Fsk.h"
#include "Signal.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace siggen::smartnet {

constexpr uint32_t kBitRate = 3600;
constexpr uint8_t kSync = 0xAC;
constexpr uint16_t kAddressMask = 0x33C7;
constexpr uint16_t kCommandMask = 0x32A;

struct Word {
    uint16_t address = 0;
    uint8_t group = 0;
    uint16_t command = 0;  // 10 bits
};

// The 38 data bits as sent: masked and complemented address, group and command, the complemented
// check bits, and a closing 0.
std::array<uint8_t, 38> dataBits(const Word& w);
// The 10 check bits of the first 27 data bits.
uint16_t checkBits(const std::array<uint8_t, 38>& data);
// The 76 frame bits: convolutional code, then four rows of 19 sent in turn.
Bits frameBits(const Word& w);
// Sync byte and frame: 84 bits.
void appendFrame(Bits& bits, const Word& w);

// Words of the control channel.
Word systemId(uint16_t system);                      // 0x308, the first word of the system triple
Word controlChannelWord(uint16_t channel);           // 0x30B with 0x2800 | channel
Word grant(uint16_t talkgroup, uint16_t channel, bool group = true);
Word idle();                                         // 0x2F8 with a neutral address: acted on by no one
// The three words that identify the system and give its control channel.
std::vector<Word> systemTriple(uint16_t system, uint16_t controlChannel);

struct Event {
    double time = 0.0;  // seconds from the start; sent in the first free slot at or after it
    std::vector<Word> words;
};

struct ChannelScript {
    uint16_t system = 0x1234;
    int controlChannel = 752;   // -1: no system triple at all
    double tripleUntil = 1e9;   // the system triple is sent until this time (then idle words)
    int tripleEvery = 4;        // one triple every this many idle slots
    double seconds = 2.0;       // at least this long; longer if events remain
    std::vector<Event> events;
};

// Continuous control channel: one word after another, the next due event first, otherwise the
// system triple every few slots, otherwise idle words.
Bits controlChannelBits(const ChannelScript& script);
// Two-level NRZ audio: 1 high, 0 low, edges smoothed over a third of a bit; inverted swaps them.
Samples render(const Bits& bits, uint32_t rate, double amplitude, bool inverted = false);

// The "smartnet" command of siggen: its own options after the common ones.
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace siggen::smartnet
