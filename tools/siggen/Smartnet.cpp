#include "Smartnet.h"

#include "Args.h"
#include "BandNoise.h"
#include "Wav.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace siggen::smartnet {

std::array<uint8_t, 38> dataBits(const Word& w)
{
    std::array<uint8_t, 38> d{};
    const uint16_t address = static_cast<uint16_t>(~(w.address ^ kAddressMask));
    const uint16_t command = static_cast<uint16_t>(~(w.command ^ kCommandMask) & 0x3FF);
    for (int k = 0; k < 16; ++k)
        d[static_cast<size_t>(k)] = static_cast<uint8_t>((address >> (15 - k)) & 1);
    d[16] = static_cast<uint8_t>(w.group ? 0 : 1);
    for (int k = 0; k < 10; ++k)
        d[static_cast<size_t>(17 + k)] = static_cast<uint8_t>((command >> (9 - k)) & 1);
    const uint16_t check = checkBits(d);
    for (int m = 0; m < 10; ++m)
        d[static_cast<size_t>(27 + m)] = static_cast<uint8_t>(1 - ((check >> (9 - m)) & 1));
    d[37] = 0;
    return d;
}

uint16_t checkBits(const std::array<uint8_t, 38>& data)
{
    // Shift register of the code's generator, stepped once per data bit; each 1 adds its state.
    uint32_t a = 0x36E, b = 0x393;
    for (size_t k = 0; k < 27; ++k) {
        a = (a & 1) ? (a >> 1) ^ 0x225 : a >> 1;
        if (data[k])
            b ^= a;
    }
    return static_cast<uint16_t>(b & 0x3FF);
}

Bits frameBits(const Word& w)
{
    const std::array<uint8_t, 38> data = dataBits(w);
    std::array<uint8_t, 76> coded{};
    uint8_t previous = 0;
    for (size_t k = 0; k < 38; ++k) {
        coded[2 * k] = data[k];
        coded[2 * k + 1] = static_cast<uint8_t>(data[k] ^ previous);
        previous = data[k];
    }
    Bits frame(76);
    for (size_t i = 0; i < 76; ++i)
        frame[(i % 4) * 19 + i / 4] = coded[i];
    return frame;
}

void appendFrame(Bits& bits, const Word& w)
{
    appendBits(bits, kSync, 8);
    const Bits frame = frameBits(w);
    bits.insert(bits.end(), frame.begin(), frame.end());
}

Word systemId(uint16_t system) { return {system, 1, 0x308}; }
Word controlChannelWord(uint16_t channel) { return {static_cast<uint16_t>(0x2800 | (channel & 0x3FF)), 1, 0x30B}; }
Word grant(uint16_t talkgroup, uint16_t channel, bool group)
{
    return {talkgroup, static_cast<uint8_t>(group ? 1 : 0), static_cast<uint16_t>(channel & 0x3FF)};
}
Word idle() { return {0x2F8F, 1, 0x2F8}; }

std::vector<Word> systemTriple(uint16_t system, uint16_t controlChannel)
{
    return {systemId(system), controlChannelWord(controlChannel), {0x1F00, 1, controlChannel}};
}

Bits controlChannelBits(const ChannelScript& script)
{
    const double wordSeconds = 84.0 / kBitRate;
    std::vector<Event> events = script.events;
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.time < b.time; });
    Bits bits;
    size_t next = 0;
    int slot = 0;
    double t = 0.0;
    std::vector<Word> queue;
    while (t < script.seconds || next < events.size() || !queue.empty()) {
        if (queue.empty()) {
            if (next < events.size() && events[next].time <= t) {
                queue = events[next++].words;
            } else if (script.controlChannel >= 0 && t < script.tripleUntil && slot++ % script.tripleEvery == 0) {
                queue = systemTriple(script.system, static_cast<uint16_t>(script.controlChannel));
            } else {
                queue = {idle()};
            }
        }
        appendFrame(bits, queue.front());
        queue.erase(queue.begin());
        t += wordSeconds;
    }
    // The sync that closes the last frame, and an edge that ends the sync's last run.
    appendBits(bits, kSync, 8);
    appendBits(bits, 0b10, 2);
    return bits;
}

Samples render(const Bits& bits, uint32_t rate, double amplitude, bool inverted)
{
    if (rate == 0)
        throw std::invalid_argument("sampling rate must be above 0");
    Samples out;
    const double width = 1.0 / 3.0;  // edge length in bits
    const uint64_t total = (static_cast<uint64_t>(bits.size()) * rate + kBitRate - 1) / kBitRate;
    out.reserve(total);
    auto level = [&](size_t k) {
        const double v = bits[std::min(k, bits.size() - 1)] ? 1.0 : -1.0;
        return inverted ? -v : v;
    };
    for (uint64_t n = 0; n < total; ++n) {
        const double position = static_cast<double>(n) * kBitRate / rate;  // in bits
        const size_t k = static_cast<size_t>(position);
        const double frac = position - static_cast<double>(k);
        double v = level(k);
        if (frac < width / 2 && k > 0) {
            const double x = 0.5 + 0.5 * std::sin(std::numbers::pi * frac / width);
            v = level(k - 1) * (1 - x) + level(k) * x;
        } else if (frac > 1 - width / 2) {
            const double x = 0.5 + 0.5 * std::sin(std::numbers::pi * (frac - 1) / width);
            v = level(k) * (1 - x) + level(k + 1) * x;
        }
        out.push_back(amplitude * v);
    }
    return out;
}

namespace {

const char* const kUsage =
    "usage: siggen smartnet --out FILE [OPTIONS]\n"
    "  SmartNet outbound control channel, 3600 bit/s two-level FSK:\n"
    "  --system ID            system identity (0x1234)\n"
    "  --control CHAN         control channel announced in the system triple (752), -1 none\n"
    "  --triple-until S       send the system triple until this time (always)\n"
    "  --triple-every SLOTS   one triple every this many free slots (4)\n"
    "  --grant T,ADDR,CHAN[,GROUP]   a channel grant at time T (GROUP 1 talk group, 0 radio)\n"
    "  --word T,ADDR,GROUP,CMD       any outbound word at time T\n"
    "  --seconds S            at least this long (2)\n"
    "  --amplitude A          peak level (0.5)\n"
    "  --inverted             inverted polarity\n"
    "  --rate HZ              sampling rate (44100)\n"
    "  --bits 16|8            sample size (16)\n"
    "  --channels 1|2         mono, or stereo with the other channel silent (1)\n"
    "  --channel left|right   channel of the signal in stereo (left)\n"
    "  --snr DB               add noise at this signal-to-noise ratio\n"
    "  --noise white|band     white over the whole band, or limited to 300-3300 Hz (white)\n"
    "  --seed N               seed of the noise (1)\n"
    "  --script FILE          options one per line without the dashes, '#' starts a comment\n";

long long whole(const std::string& text, const std::string& what, long long min, long long max)
{
    size_t used = 0;
    long long v = 0;
    try {
        v = std::stoll(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size())
        throw UsageError(what + ": '" + text + "' is not a whole number");
    if (v < min || v > max)
        throw UsageError(what + ": " + text + " is outside " + std::to_string(min) + " to " + std::to_string(max));
    return v;
}

std::vector<std::string> fields(const std::string& text)
{
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ','))
        out.push_back(part);
    return out;
}

const std::map<std::string, bool> kOptions = {  // name, takes a value
    {"out", true},     {"system", true}, {"control", true},  {"triple-until", true}, {"triple-every", true},
    {"grant", true},   {"word", true},   {"seconds", true},  {"amplitude", true},    {"inverted", false},
    {"rate", true},    {"bits", true},   {"channels", true}, {"channel", true},      {"snr", true},
    {"noise", true},   {"seed", true},   {"script", true},   {"help", false}};

void parse(std::multimap<std::string, std::string>& o, const std::vector<std::string>& args, bool inScript)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) != 0)
            throw UsageError("unexpected argument '" + args[i] + "' for smartnet");
        const std::string name = args[i].substr(2);
        const auto spec = kOptions.find(name);
        if (spec == kOptions.end())
            throw UsageError("unknown option --" + name + " for smartnet");
        std::string value;
        if (spec->second) {
            if (i + 1 >= args.size())
                throw UsageError("option --" + name + " needs a value");
            value = args[++i];
        }
        if (name == "script") {
            if (inScript)
                throw UsageError("a script cannot include another");
            std::ifstream in(value);
            if (!in)
                throw UsageError("cannot read script " + value);
            std::vector<std::string> scripted;
            std::string line;
            while (std::getline(in, line)) {
                std::istringstream words(line.substr(0, line.find('#')));
                std::string key, word, joined;
                if (!(words >> key))
                    continue;
                while (words >> word)
                    joined += (joined.empty() ? "" : ",") + word;
                scripted.push_back("--" + key);
                if (!joined.empty())
                    scripted.push_back(joined);
            }
            parse(o, scripted, true);
            continue;
        }
        o.emplace(name, value);
    }
}

}  // namespace

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    try {
        std::multimap<std::string, std::string> o;
        parse(o, args, false);
        if (o.count("help")) {
            out << kUsage;
            return 0;
        }
        auto last = [&](const std::string& name) -> const std::string* {
            const auto range = o.equal_range(name);
            return range.first == range.second ? nullptr : &std::prev(range.second)->second;
        };
        const std::string* file = last("out");
        if (!file || file->empty())
            throw UsageError("smartnet needs --out FILE");

        ChannelScript script;
        if (auto v = last("system"))
            script.system = static_cast<uint16_t>(whole(*v, "--system", 0, 0xFFFF));
        if (auto v = last("control"))
            script.controlChannel = static_cast<int>(whole(*v, "--control", -1, 0x3FF));
        if (auto v = last("triple-until"))
            script.tripleUntil = parseNumber(*v, "--triple-until");
        if (auto v = last("triple-every"))
            script.tripleEvery = static_cast<int>(whole(*v, "--triple-every", 1, 100000));
        if (auto v = last("seconds"))
            script.seconds = parseNumber(*v, "--seconds");
        if (script.seconds < 0 || script.seconds > 3600)
            throw UsageError("--seconds must be 0 to 3600");
        auto timeOf = [](const std::string& text, const std::string& what) {
            const double t = parseNumber(text, what + " time");
            if (t < 0 || t > 3600)
                throw UsageError(what + ": time must be 0 to 3600 seconds");
            return t;
        };
        for (auto [it, end] = o.equal_range("grant"); it != end; ++it) {
            const auto f = fields(it->second);
            if (f.size() < 3 || f.size() > 4)
                throw UsageError("--grant " + it->second + ": expected T,ADDR,CHAN[,GROUP]");
            const auto channel = whole(f[2], "--grant channel", 0, 0x2F7);
            const bool group = f.size() < 4 || whole(f[3], "--grant group", 0, 1) == 1;
            script.events.push_back({timeOf(f[0], "--grant"),
                                     {grant(static_cast<uint16_t>(whole(f[1], "--grant address", 0, 0xFFFF)),
                                            static_cast<uint16_t>(channel), group)}});
        }
        for (auto [it, end] = o.equal_range("word"); it != end; ++it) {
            const auto f = fields(it->second);
            if (f.size() != 4)
                throw UsageError("--word " + it->second + ": expected T,ADDR,GROUP,CMD");
            script.events.push_back({timeOf(f[0], "--word"),
                                     {{static_cast<uint16_t>(whole(f[1], "--word address", 0, 0xFFFF)),
                                       static_cast<uint8_t>(whole(f[2], "--word group", 0, 1)),
                                       static_cast<uint16_t>(whole(f[3], "--word command", 0, 0x3FF))}}});
        }
        const auto rate = static_cast<uint32_t>(last("rate") ? whole(*last("rate"), "--rate", 8000, 1000000) : 44100);
        const auto bits = static_cast<uint16_t>(last("bits") ? whole(*last("bits"), "--bits", 8, 16) : 16);
        if (bits != 8 && bits != 16)
            throw UsageError("--bits must be 8 or 16");
        const auto channels = static_cast<uint16_t>(last("channels") ? whole(*last("channels"), "--channels", 1, 2) : 1);
        int signalChannel = 0;
        if (auto v = last("channel")) {
            if (*v != "left" && *v != "right")
                throw UsageError("--channel must be left or right");
            signalChannel = *v == "right" ? 1 : 0;
        }
        const double amplitude = last("amplitude") ? parseNumber(*last("amplitude"), "--amplitude") : 0.5;
        Samples s = render(controlChannelBits(script), rate, amplitude, o.count("inverted") != 0);
        Random random(static_cast<uint64_t>(last("seed") ? whole(*last("seed"), "--seed", 0, INT64_MAX) : 1));
        if (auto v = last("snr")) {
            const double snr = parseNumber(*v, "--snr");
            const std::string kind = last("noise") ? *last("noise") : "white";
            if (kind == "white")
                addNoise(s, snr, random);
            else if (kind == "band")
                addBandNoise(s, snr, 300, 3300, rate, random);
            else
                throw UsageError("--noise must be white or band");
        }
        const Audio audio = channels == 1 ? mono(std::move(s), rate) : stereo(s, Samples{}, signalChannel, rate);
        writeWav(*file, audio, bits);
        out << *file << ": " << audio.frames() << " frames, " << rate << " Hz, " << channels
            << (channels == 1 ? " channel, " : " channels, ") << bits << " bits\n";
        return 0;
    } catch (const UsageError& e) {
        err << "siggen: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        err << "siggen: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace siggen::smartnet
