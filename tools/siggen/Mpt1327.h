#pragma once
// MPT1327 control-channel signals: 64-bit codewords (48 information bits, 15 check bits, even
// parity), the messages a decoder follows, and a scripted control channel sent as 1200 bit/s FFSK.
//
// Bit numbering follows the air interface: codeword bit 1 is sent first and is the most significant
// bit of the 64-bit value (bit 63); information bit n of the 48-bit value is bit 48 - n.
#include "Fsk.h"
#include "Signal.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace siggen::mpt1327 {

constexpr uint16_t kSync = 0xC4D7;      // control channel
constexpr uint16_t kSynt = 0x3B28;      // traffic channel, the complement of SYNC
constexpr uint16_t kPreamble = 0xAAAA;  // 1010...
constexpr uint32_t kGenerator = 0xE815; // x^15 + x^14 + x^13 + x^11 + x^4 + x^2 + 1
constexpr uint32_t kBitRate = 1200;
constexpr double kFreqOne = 1200.0;
constexpr double kFreqZero = 1800.0;
constexpr uint16_t kAllCall = 8191;     // ident that addresses every radio

// Remainder of info(x) * x^15 divided by the generator: the check bits before the last is inverted.
uint16_t remainder15(uint64_t info);
// The 15 check bits as sent: the remainder with its last bit inverted.
uint16_t checkBits(uint64_t info);
// info (48 bits) -> info, check bits, and a parity bit that makes the 64 bits even.
uint64_t makeCodeword(uint64_t info);
uint64_t infoOf(uint64_t codeword);
// Whether the check bits and the parity agree with the information bits.
bool isValid(uint64_t codeword);
std::array<uint16_t, 4> wordsOf(uint64_t codeword);  // bits 1-16, 17-32, 33-48, 49-64

// Places `value` in information bits first..first+width-1 (first sent first); throws
// std::out_of_range naming `what` if the value does not fit.
uint64_t setField(uint64_t info, int firstBit, int width, uint64_t value, const char* what);
uint64_t getField(uint64_t info, int firstBit, int width);

// Address codeword with message flag 0: go to channel `channel` (prefix, ident 1 called, ident 2 caller).
uint64_t goToChannel(unsigned prefix, unsigned ident1, unsigned ident2, unsigned channel, unsigned d = 0,
                     unsigned n = 0);
// Address codeword with message flag 1: CAT (3 bits), TYPE (2), FUNC (3) and 18 parameter bits.
uint64_t message(unsigned prefix, unsigned ident1, unsigned cat, unsigned type, unsigned func, uint32_t params);
// Invitation to random access (CAT 0, TYPE 0, FUNC 0); the default parameters keep bit runs short.
constexpr uint32_t kAlohaParams = 0x0A5A5;
uint64_t aloha(unsigned prefix = 0, unsigned ident = kAllCall, uint32_t params = kAlohaParams);
// The number of the channel it is sent on (CAT 0, TYPE 3, FUNC 1, channel in bits 31-40).
uint64_t channelNumber(unsigned channel, unsigned prefix = 0, unsigned ident = kAllCall, unsigned spare = 0xA5);
// Clear-down (CAT 0, TYPE 3, FUNC 2): leave traffic channel `channel` and return to control channel `cont`.
uint64_t clearDown(unsigned channel, unsigned cont, uint32_t params = 0);
// Data codeword: address flag 0 and 47 data bits.
uint64_t dataCodeword(uint64_t data47);

// System codeword: data codeword with the system identity in bits 2-16, the preamble in bits
// 33-48, and bits 17-32 chosen so that the check bits and parity read as `sync`.
uint16_t systemSecondWord(unsigned system, uint16_t sync = kSync);
uint64_t systemCodeword(unsigned system, uint16_t sync = kSync);

void appendCodeword(Bits& bits, uint64_t codeword);
// Longest run of equal bits, the decoders' bit recovery counts runs.
int longestRun(const Bits& bits);

// Something the control channel sends at a time: one codeword, or several back to back (a header
// and its data codewords).
struct Event {
    double time = 0.0;  // seconds from the start
    std::vector<uint64_t> codewords;
};

struct ChannelScript {
    unsigned system = 0x1234;     // 15-bit system identity
    uint16_t sync = kSync;        // kSynt for a traffic channel
    int controlChannel = -1;      // announced in channel-number messages when 0 or more
    int numberEvery = 4;          // one channel-number message every this many idle slots
    uint64_t idle = aloha();      // address codeword of an idle slot
    bool bursts = false;          // each event on its own after preamble and sync, silence between
    int preambleBits = 16;
    double seconds = 2.0;         // at least this long; longer if events remain to be sent
    std::vector<Event> events;
};

// Continuous control channel: preamble, sync, then slots of a system codeword and an address
// codeword (the next due event, else a channel-number message or the idle codeword).
Bits controlChannelBits(const ChannelScript& script);
// The whole signal as FFSK at `rate`; bursts mode leaves silence between transmissions.
Samples render(const ChannelScript& script, uint32_t rate, double amplitude);

}  // namespace siggen::mpt1327
