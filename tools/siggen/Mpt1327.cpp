#include "Mpt1327.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>

namespace siggen::mpt1327 {

namespace {

constexpr uint64_t kInfoMask = (uint64_t{1} << 48) - 1;

// r(x) / x modulo the generator (x is invertible because the generator has a constant term)
uint32_t divideByX(uint32_t r)
{
    if (r & 1u)
        r ^= kGenerator;
    return r >> 1;
}

std::vector<Event> sortedEvents(const ChannelScript& script)
{
    std::vector<Event> events = script.events;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.time < b.time; });
    return events;
}

void appendSync(Bits& bits, const ChannelScript& script)
{
    for (int i = 0; i < script.preambleBits; ++i)
        bits.push_back(static_cast<uint8_t>((i + 1) & 1));  // 1 first
    appendBits(bits, script.sync, 16);
}

}  // namespace

uint16_t remainder15(uint64_t info)
{
    uint32_t r = 0;
    for (int i = 47; i >= 0; --i) {
        const uint32_t feedback = ((r >> 14) ^ static_cast<uint32_t>(info >> i)) & 1u;
        r = (r << 1) & 0x7FFFu;
        if (feedback)
            r ^= kGenerator & 0x7FFFu;
    }
    return static_cast<uint16_t>(r);
}

uint16_t checkBits(uint64_t info)
{
    return static_cast<uint16_t>(remainder15(info) ^ 1u);
}

uint64_t makeCodeword(uint64_t info)
{
    info &= kInfoMask;
    const uint64_t upper = (info << 15) | checkBits(info);  // bits 1-63
    return (upper << 1) | static_cast<uint64_t>(std::popcount(upper) & 1);
}

uint64_t infoOf(uint64_t codeword)
{
    return codeword >> 16;
}

bool isValid(uint64_t codeword)
{
    return makeCodeword(infoOf(codeword)) == codeword;
}

std::array<uint16_t, 4> wordsOf(uint64_t codeword)
{
    return {static_cast<uint16_t>(codeword >> 48), static_cast<uint16_t>(codeword >> 32),
            static_cast<uint16_t>(codeword >> 16), static_cast<uint16_t>(codeword)};
}

uint64_t setField(uint64_t info, int firstBit, int width, uint64_t value, const char* what)
{
    if (firstBit < 1 || width < 1 || firstBit + width - 1 > 48)
        throw std::out_of_range(std::string("field ") + what + " lies outside the 48 information bits");
    const uint64_t limit = uint64_t{1} << width;
    if (value >= limit)
        throw std::out_of_range(std::string(what) + " " + std::to_string(value) + " does not fit in " +
                                std::to_string(width) + " bits (0 to " + std::to_string(limit - 1) + ")");
    const int shift = 48 - (firstBit + width - 1);
    return (info & ~((limit - 1) << shift)) | (value << shift);
}

uint64_t getField(uint64_t info, int firstBit, int width)
{
    const int shift = 48 - (firstBit + width - 1);
    return (info >> shift) & ((uint64_t{1} << width) - 1);
}

uint64_t goToChannel(unsigned prefix, unsigned ident1, unsigned ident2, unsigned channel, unsigned d, unsigned n)
{
    uint64_t info = setField(0, 1, 1, 1, "address flag");
    info = setField(info, 2, 7, prefix, "prefix");
    info = setField(info, 9, 13, ident1, "ident 1");
    info = setField(info, 23, 1, d, "D");
    info = setField(info, 24, 10, channel, "channel");
    info = setField(info, 34, 13, ident2, "ident 2");
    info = setField(info, 47, 2, n, "N");
    return makeCodeword(info);
}

uint64_t message(unsigned prefix, unsigned ident1, unsigned cat, unsigned type, unsigned func, uint32_t params)
{
    uint64_t info = setField(0, 1, 1, 1, "address flag");
    info = setField(info, 2, 7, prefix, "prefix");
    info = setField(info, 9, 13, ident1, "ident 1");
    info = setField(info, 22, 1, 1, "message flag");
    info = setField(info, 23, 3, cat, "CAT");
    info = setField(info, 26, 2, type, "TYPE");
    info = setField(info, 28, 3, func, "FUNC");
    info = setField(info, 31, 18, params, "parameters");
    return makeCodeword(info);
}

uint64_t aloha(unsigned prefix, unsigned ident, uint32_t params)
{
    return message(prefix, ident, 0, 0, 0, params);
}

uint64_t channelNumber(unsigned channel, unsigned prefix, unsigned ident, unsigned spare)
{
    uint64_t info = infoOf(message(prefix, ident, 0, 3, 1, 0));
    info = setField(info, 31, 10, channel, "channel");
    info = setField(info, 41, 8, spare, "spare bits");
    return makeCodeword(info);
}

uint64_t clearDown(unsigned channel, unsigned cont, uint32_t params)
{
    uint64_t info = infoOf(message(0, 0, 0, 3, 2, params));
    info = setField(info, 2, 10, channel, "channel");
    info = setField(info, 12, 10, cont, "control channel");
    return makeCodeword(info);
}

uint64_t dataCodeword(uint64_t data47)
{
    return makeCodeword(setField(0, 2, 47, data47, "data"));
}

uint16_t systemSecondWord(unsigned system, uint16_t sync)
{
    uint64_t base = setField(0, 2, 15, system, "system identity");
    base = setField(base, 33, 16, kPreamble, "preamble");
    // The check is linear in the second word w: it adds w(x) * x^31 mod g(x). Solve for the
    // remainder that sync's first 15 bits stand for (last one inverted back), then of the two
    // solutions (they differ by g itself, which has odd weight) take the one with sync's parity.
    const uint32_t wanted = (static_cast<uint32_t>(sync) >> 1) ^ 1u;
    uint32_t w = wanted ^ remainder15(base);
    for (int i = 0; i < 31; ++i)
        w = divideByX(w);
    for (uint32_t candidate : {w, w ^ kGenerator}) {
        if (static_cast<uint16_t>(makeCodeword(base | (uint64_t{candidate} << 16))) == sync)
            return static_cast<uint16_t>(candidate);
    }
    throw std::logic_error("no second word gives the sync word as check bits");
}

uint64_t systemCodeword(unsigned system, uint16_t sync)
{
    const uint16_t w2 = systemSecondWord(system, sync);
    uint64_t info = setField(0, 2, 15, system, "system identity");
    info = setField(info, 17, 16, w2, "second word");
    info = setField(info, 33, 16, kPreamble, "preamble");
    return makeCodeword(info);
}

void appendCodeword(Bits& bits, uint64_t codeword)
{
    appendBits(bits, codeword, 64);
}

int longestRun(const Bits& bits)
{
    int best = 0, run = 0;
    for (size_t i = 0; i < bits.size(); ++i) {
        run = (i > 0 && bits[i] == bits[i - 1]) ? run + 1 : 1;
        best = std::max(best, run);
    }
    return best;
}

Bits controlChannelBits(const ChannelScript& script)
{
    if (script.numberEvery < 1)
        throw std::invalid_argument("channel-number messages need an interval of at least one slot");
    const std::vector<Event> events = sortedEvents(script);
    const uint64_t system = systemCodeword(script.system, script.sync);
    Bits bits;
    appendSync(bits, script);
    size_t next = 0;
    long idleSlots = 0;
    while (static_cast<double>(bits.size()) / kBitRate < script.seconds || next < events.size()) {
        const double now = static_cast<double>(bits.size()) / kBitRate;
        appendCodeword(bits, system);
        if (next < events.size() && events[next].time <= now) {
            for (uint64_t cw : events[next].codewords)
                appendCodeword(bits, cw);
            ++next;
        } else if (script.controlChannel >= 0 && idleSlots++ % script.numberEvery == 0) {
            appendCodeword(bits, channelNumber(static_cast<unsigned>(script.controlChannel)));
        } else {
            appendCodeword(bits, script.idle);
        }
    }
    return bits;
}

Samples render(const ChannelScript& script, uint32_t rate, double amplitude)
{
    Samples out;
    FskModulator fsk(rate, kBitRate, kFreqOne, kFreqZero, amplitude);
    if (!script.bursts) {
        fsk.modulate(out, controlChannelBits(script));
        return out;
    }
    for (const Event& e : sortedEvents(script)) {
        const size_t start = samplesFor(e.time, rate);
        if (out.size() < start)
            appendSilence(out, start - out.size());
        Bits bits;
        appendSync(bits, script);
        for (uint64_t cw : e.codewords)
            appendCodeword(bits, cw);
        FskModulator burst(rate, kBitRate, kFreqOne, kFreqZero, amplitude);
        burst.modulate(out, bits);
    }
    const size_t total = samplesFor(script.seconds, rate);
    if (out.size() < total)
        appendSilence(out, total - out.size());
    return out;
}

}  // namespace siggen::mpt1327
