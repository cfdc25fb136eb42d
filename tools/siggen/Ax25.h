#pragma once
// AX.25 packet radio: frames (address path, control, protocol identifier, information), NET/ROM
// routing broadcasts and network headers, the frame check sequence, HDLC bit stuffing and flags,
// NRZI line coding, and AFSK at 1200 bit/s (1200/2200 Hz) or 300 bit/s (200 Hz shift), with noise
// at a signal-to-noise ratio that may fall from frame to frame and an optional receiver de-emphasis.
#include "Fsk.h"
#include "Signal.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace siggen::ax25 {

using Bytes = std::vector<uint8_t>;

// CRC-16 of HDLC (initial 0xFFFF, reflected polynomial 0x8408), complemented: the value sent,
// low byte first.
uint16_t fcs(const Bytes& bytes);
Bytes withFcs(Bytes frame);

// A station: up to six characters (letters, digits), SSID 0..15, and the C bit (destination and
// source) or H bit (digipeater, set once it has repeated the frame).
struct Station {
    std::string call;
    unsigned ssid = 0;
    bool bit7 = false;
};
// "CALL" or "CALL-SSID" -> station; throws std::invalid_argument on a bad call or SSID.
Station parseStation(const std::string& text);

// Seven bytes on air: the six characters shifted left (space-padded), then the SSID byte with
// bits 5 and 6 set, the extension bit given by `last`.
Bytes encodeAddress(const Station& s, bool last);

enum class Kind { UI, I, S, U };

struct Frame {
    Station destination, source;
    std::vector<Station> via;  // at most 8 digipeaters
    // Version 2: command (destination C = 1, source C = 0) or response (the reverse).
    // Version 1: both C bits equal (0).
    int version = 2;
    bool command = true;
    uint8_t control = 0x03;    // the whole control byte, poll/final bit included
    bool hasPid = true;        // UI and I frames carry one
    uint8_t pid = 0xF0;
    Bytes info;
};

// Control bytes: I with N(S), N(R); S (RR 0x01, RNR 0x05, REJ 0x09) with N(R); U (UI 0x03, DM 0x0F,
// SABM 0x2F, DISC 0x43, UA 0x63, FRMR 0x87) with the poll/final bit.
uint8_t iControl(unsigned ns, unsigned nr, bool pf = false);
uint8_t sControl(uint8_t kind, unsigned nr, bool pf = false);
uint8_t uControl(uint8_t kind, bool pf = false);

// The frame's bytes without the frame check sequence.
Bytes encode(const Frame& f);

Frame uiFrame(const std::string& from, const std::string& to, const std::string& text,
              const std::vector<std::string>& via = {});

// NET/ROM routing broadcast ("NODES" UI frame, PID 0xCF): signature 0xFF, the sender's alias,
// then 21 bytes per entry.
struct NodeEntry {
    std::string call, alias, neighbour;
    unsigned quality = 0;
};
Bytes nodesInfo(const std::string& alias, const std::vector<NodeEntry>& entries);
Frame nodesFrame(const std::string& from, const std::string& alias, const std::vector<NodeEntry>& entries);

// NET/ROM network and transport header of an I frame's information field.
struct NetRomHeader {
    std::string origin, destination;
    unsigned ttl = 7;
    uint8_t b[4] = {0, 0, 0, 0};
    uint8_t opcode = 5;
};
Bytes netRomInfo(const NetRomHeader& h, const Bytes& rest = {});

// HDLC bits of one frame (with its FCS): bytes least significant bit first, a 0 stuffed after
// every five 1s. Flags are 0x7E without stuffing.
Bits stuffedBits(const Bytes& frameWithFcs);
void appendFlags(Bits& bits, int count);
// NRZI: a 0 changes the line level, a 1 keeps it. `level` carries on from call to call.
Bits nrzi(const Bits& bits, uint8_t& level);

struct AfskOptions {
    uint32_t rate = 44100;
    uint32_t baud = 1200;
    double mark = 1200.0, space = 2200.0;  // line level 1 and 0
    double amplitude = 0.5;
    int leadFlags = 0;          // 0: a quarter of a second of flags (at least 4)
    int tailFlags = 2;
    double gapSeconds = 0.25;   // silence before each transmission and after the last one
    double deemphasisUs = 0.0;  // receiver de-emphasis time constant; 0 = none
};

// Defaults for a bit rate: 1200 -> 1200/2200 Hz, 300 -> 1270/1070 Hz; others throw.
AfskOptions afskFor(uint32_t baud);

// Each frame (with its FCS) as its own transmission: silence, flags, frame, flags. `spans`
// receives [first, last) sample of each transmission when given.
struct Span {
    size_t first = 0, last = 0;
};
Samples modulate(const std::vector<Bytes>& framesWithFcs, const AfskOptions& o, std::vector<Span>* spans = nullptr);

// First-order low-pass of the given time constant: the de-emphasis of an FM receiver's audio.
void deemphasise(Samples& s, uint32_t rate, double microseconds);

// Noise added transmission by transmission: transmission k (and the silence before it) gets
// the ratio snrFirst + k * (snrLast - snrFirst) / (count - 1), measured against the mean power of
// the keyed samples. Band noise is limited to 300..3300 Hz.
struct NoiseOptions {
    double snrFirst = 20.0, snrLast = 20.0;
    bool band = false;
    uint64_t seed = 1;
};
void addNoise(Samples& s, const std::vector<Span>& spans, const NoiseOptions& n, uint32_t rate);

// The ax25 command of siggen: returns the exit status as runCommandLine does.
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace siggen::ax25
