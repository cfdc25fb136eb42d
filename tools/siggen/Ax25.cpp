#include "Ax25.h"

#include "Args.h"
#include "BandNoise.h"
#include "Wav.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <numbers>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace siggen::ax25 {

uint16_t fcs(const Bytes& bytes)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
    }
    return static_cast<uint16_t>(~crc);
}

Bytes withFcs(Bytes frame)
{
    const uint16_t f = fcs(frame);
    frame.push_back(static_cast<uint8_t>(f & 0xFF));
    frame.push_back(static_cast<uint8_t>(f >> 8));
    return frame;
}

Station parseStation(const std::string& text)
{
    Station s;
    const size_t dash = text.find('-');
    s.call = text.substr(0, dash);
    if (s.call.empty() || s.call.size() > 6)
        throw std::invalid_argument("callsign '" + text + "' must have 1 to 6 characters");
    for (char& c : s.call) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            throw std::invalid_argument("callsign '" + text + "' may hold letters and digits only");
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (dash != std::string::npos) {
        const std::string digits = text.substr(dash + 1);
        if (digits.empty() || digits.size() > 2 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            std::stoi(digits) > 15)
            throw std::invalid_argument("SSID of '" + text + "' must be 0 to 15");
        s.ssid = static_cast<unsigned>(std::stoi(digits));
    }
    return s;
}

Bytes encodeAddress(const Station& s, bool last)
{
    if (s.call.size() > 6 || s.ssid > 15)
        throw std::invalid_argument("callsign of at most 6 characters and SSID 0..15 expected");
    Bytes a;
    for (size_t i = 0; i < 6; ++i)
        a.push_back(static_cast<uint8_t>((i < s.call.size() ? s.call[i] : ' ') << 1));
    a.push_back(static_cast<uint8_t>((s.bit7 ? 0x80 : 0) | 0x60 | (s.ssid << 1) | (last ? 1 : 0)));
    return a;
}

uint8_t iControl(unsigned ns, unsigned nr, bool pf)
{
    return static_cast<uint8_t>(((nr & 7) << 5) | (pf ? 0x10 : 0) | ((ns & 7) << 1));
}

uint8_t sControl(uint8_t kind, unsigned nr, bool pf)
{
    return static_cast<uint8_t>(((nr & 7) << 5) | (pf ? 0x10 : 0) | (kind & 0x0F));
}

uint8_t uControl(uint8_t kind, bool pf)
{
    return static_cast<uint8_t>((kind & ~0x10) | (pf ? 0x10 : 0));
}

Bytes encode(const Frame& f)
{
    if (f.via.size() > 8)
        throw std::invalid_argument("at most 8 digipeaters");
    Station dest = f.destination, src = f.source;
    if (f.version == 1) {
        dest.bit7 = false;
        src.bit7 = false;
    } else {
        dest.bit7 = f.command;
        src.bit7 = !f.command;
    }
    Bytes out = encodeAddress(dest, false);
    const Bytes s = encodeAddress(src, f.via.empty());
    out.insert(out.end(), s.begin(), s.end());
    for (size_t i = 0; i < f.via.size(); ++i) {
        const Bytes d = encodeAddress(f.via[i], i + 1 == f.via.size());
        out.insert(out.end(), d.begin(), d.end());
    }
    out.push_back(f.control);
    if (f.hasPid)
        out.push_back(f.pid);
    out.insert(out.end(), f.info.begin(), f.info.end());
    return out;
}

Frame uiFrame(const std::string& from, const std::string& to, const std::string& text, const std::vector<std::string>& via)
{
    Frame f;
    f.source = parseStation(from);
    f.destination = parseStation(to);
    for (const std::string& v : via)
        f.via.push_back(parseStation(v));
    f.info.assign(text.begin(), text.end());
    return f;
}

namespace {

void appendAlias(Bytes& b, const std::string& alias)
{
    for (size_t i = 0; i < 6; ++i)
        b.push_back(static_cast<uint8_t>(i < alias.size() ? alias[i] : ' '));
}

void appendStation(Bytes& b, const std::string& call, bool last = false)
{
    const Bytes a = encodeAddress(parseStation(call), last);
    b.insert(b.end(), a.begin(), a.end());
}

}  // namespace

Bytes nodesInfo(const std::string& alias, const std::vector<NodeEntry>& entries)
{
    Bytes b{0xFF};
    appendAlias(b, alias);
    for (const NodeEntry& e : entries) {
        appendStation(b, e.call);
        appendAlias(b, e.alias);
        appendStation(b, e.neighbour);
        b.push_back(static_cast<uint8_t>(e.quality));
    }
    return b;
}

Frame nodesFrame(const std::string& from, const std::string& alias, const std::vector<NodeEntry>& entries)
{
    Frame f;
    f.source = parseStation(from);
    f.destination = parseStation("NODES");
    f.pid = 0xCF;
    f.info = nodesInfo(alias, entries);
    return f;
}

Bytes netRomInfo(const NetRomHeader& h, const Bytes& rest)
{
    Bytes b;
    appendStation(b, h.origin);
    appendStation(b, h.destination);
    b.push_back(static_cast<uint8_t>(h.ttl));
    b.insert(b.end(), h.b, h.b + 4);
    b.push_back(h.opcode);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

Bits stuffedBits(const Bytes& frameWithFcs)
{
    Bits bits;
    int ones = 0;
    for (uint8_t byte : frameWithFcs)
        for (int i = 0; i < 8; ++i) {
            const uint8_t bit = (byte >> i) & 1;
            bits.push_back(bit);
            ones = bit ? ones + 1 : 0;
            if (ones == 5) {
                bits.push_back(0);
                ones = 0;
            }
        }
    return bits;
}

void appendFlags(Bits& bits, int count)
{
    for (int k = 0; k < count; ++k)
        for (int i = 0; i < 8; ++i)
            bits.push_back((0x7E >> i) & 1);
}

Bits nrzi(const Bits& bits, uint8_t& level)
{
    Bits out;
    out.reserve(bits.size());
    for (uint8_t b : bits) {
        if (!b)
            level ^= 1;
        out.push_back(level);
    }
    return out;
}

AfskOptions afskFor(uint32_t baud)
{
    AfskOptions o;
    o.baud = baud;
    if (baud == 1200) {
        o.mark = 1200;
        o.space = 2200;
    } else if (baud == 300) {
        o.mark = 1270;
        o.space = 1070;
    } else {
        throw std::invalid_argument("bit rate must be 300 or 1200");
    }
    return o;
}

Samples modulate(const std::vector<Bytes>& framesWithFcs, const AfskOptions& o, std::vector<Span>* spans)
{
    const int lead = o.leadFlags > 0 ? o.leadFlags : std::max(4, static_cast<int>(o.baud / 32));
    const size_t gap = samplesFor(o.gapSeconds, o.rate);
    Samples s;
    uint8_t level = 1;
    for (const Bytes& frame : framesWithFcs) {
        appendSilence(s, gap);
        Bits bits;
        appendFlags(bits, lead);
        const Bits data = stuffedBits(frame);
        bits.insert(bits.end(), data.begin(), data.end());
        appendFlags(bits, o.tailFlags);
        Span span;
        span.first = s.size();
        FskModulator(o.rate, o.baud, o.mark, o.space, o.amplitude).modulate(s, nrzi(bits, level));
        span.last = s.size();
        if (spans)
            spans->push_back(span);
    }
    appendSilence(s, gap);
    if (o.deemphasisUs > 0)
        deemphasise(s, o.rate, o.deemphasisUs);
    return s;
}

void deemphasise(Samples& s, uint32_t rate, double microseconds)
{
    const double a = 1.0 - std::exp(-1e6 / (microseconds * rate));
    double y = 0.0;
    for (double& x : s) {
        y += a * (x - y);
        x = y;
    }
}

namespace {

// Noise limited to lowHz..highHz at unit power: the band noise of the project's generator,
// taken at 0 dB against a constant of power 1.
Samples bandNoise(size_t count, double lowHz, double highHz, uint32_t rate, Random& random)
{
    Samples noise(count, 1.0);
    addBandNoise(noise, 0.0, lowHz, highHz, rate, random);
    for (double& x : noise)
        x -= 1.0;
    return noise;
}

}  // namespace

void addNoise(Samples& s, const std::vector<Span>& spans, const NoiseOptions& n, uint32_t rate)
{
    if (spans.empty() || s.empty())
        return;
    double keyed = 0;
    size_t count = 0;
    for (const Span& sp : spans)
        for (size_t i = sp.first; i < sp.last; ++i, ++count)
            keyed += s[i] * s[i];
    if (count == 0 || keyed <= 0)
        return;
    const double power = keyed / static_cast<double>(count);
    Random random(n.seed);
    Samples noise;
    if (n.band)
        noise = bandNoise(s.size(), 300, 3300, rate, random);
    else
        appendNoise(noise, 1.0, s.size(), random);
    for (size_t k = 0; k < spans.size(); ++k) {
        const double snr = spans.size() == 1 ? n.snrFirst
                                             : n.snrFirst + static_cast<double>(k) * (n.snrLast - n.snrFirst) /
                                                                static_cast<double>(spans.size() - 1);
        const double rms = std::sqrt(power / std::pow(10.0, snr / 10.0));
        const size_t from = k == 0 ? 0 : spans[k - 1].last;
        const size_t to = k + 1 == spans.size() ? s.size() : spans[k].last;
        for (size_t i = from; i < to; ++i)
            s[i] += rms * noise[i];
    }
}

// ---- command line ----

namespace {

const char* const kUsage =
    "usage: siggen ax25 --out FILE [OPTIONS]\n"
    "  AX.25 frames as AFSK, each frame its own transmission (silence, flags, frame, flags).\n"
    "  --baud 1200|300          1200 (1200/2200 Hz) or 300 (1270/1070 Hz)\n"
    "  --mark HZ --space HZ     tones of line level 1 and 0\n"
    "  --kind ui|i|s|u|nodes    frame kind (ui)\n"
    "  --from CALL[-SSID]       source (N0CALL)\n"
    "  --to CALL[-SSID]         destination (CQ; NODES for nodes)\n"
    "  --via CALL[,CALL...]     digipeaters, at most 8; a trailing * marks one that has repeated\n"
    "  --text TEXT              information field of UI and I frames (\"Test frame %n\", %n = number)\n"
    "  --control BYTE           control byte of i, s and u frames (I: 0x00, S: RR 0x01, U: SABM 0x2F)\n"
    "  --count N                number of frames (1)\n"
    "  --bad-fcs                send every frame with a wrong check sequence\n"
    "  --amplitude A            peak amplitude (0.5)\n"
    "  --gap S                  silence before each transmission (0.25)\n"
    "  --flags N                flags before each frame (a quarter second)\n"
    "  --snr DB [--snr-end DB]  noise at this ratio, falling frame by frame to --snr-end\n"
    "  --noise white|band       white noise or noise limited to 300-3300 Hz (white)\n"
    "  --deemphasis US          receiver de-emphasis of this time constant (e.g. 75)\n"
    "  --rate HZ                sampling rate (44100)\n"
    "  --seed N                 seed of the noise (1)\n";

std::string expand(const std::string& text, int n)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += std::to_string(n);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    static const std::map<std::string, bool> kOptions = {
        {"out", true},   {"baud", true},  {"mark", true},    {"space", true},     {"kind", true},
        {"from", true},  {"to", true},    {"via", true},     {"text", true},      {"control", true},
        {"count", true}, {"bad-fcs", false}, {"amplitude", true}, {"gap", true}, {"flags", true},
        {"snr", true},   {"snr-end", true}, {"noise", true}, {"deemphasis", true}, {"rate", true},
        {"seed", true},  {"help", false}};
    try {
        std::map<std::string, std::string> o;
        parseOptions(
            args, "ax25",
            [](const std::string& name) -> std::optional<bool> {
                const auto it = kOptions.find(name);
                return it == kOptions.end() ? std::nullopt : std::optional<bool>(it->second);
            },
            [&](const std::string& name, const std::string& value) { o[name] = value; }, nullptr);
        if (o.count("help")) {
            out << kUsage;
            return 0;
        }
        auto has = [&](const char* n) { return o.count(n) != 0; };
        auto num = [&](const char* n, double def, double min, double max) {
            return has(n) ? numberInRange(n, o[n], min, max) : def;
        };
        if (!has("out") || o["out"].empty())
            throw UsageError("ax25 needs --out FILE");
        const auto baud = static_cast<uint32_t>(num("baud", 1200, 300, 1200));
        if (baud != 300 && baud != 1200)
            throw UsageError("--baud must be 300 or 1200");
        AfskOptions afsk = afskFor(baud);
        afsk.rate = static_cast<uint32_t>(num("rate", 44100, 8000, 192000));
        afsk.mark = num("mark", afsk.mark, 100, afsk.rate / 2.0);
        afsk.space = num("space", afsk.space, 100, afsk.rate / 2.0);
        afsk.amplitude = num("amplitude", 0.5, 0, 1);
        afsk.gapSeconds = num("gap", 0.25, 0, 60);
        afsk.leadFlags = static_cast<int>(num("flags", 0, 1, 10000));
        afsk.deemphasisUs = num("deemphasis", 0, 0, 10000);
        const int count = static_cast<int>(num("count", 1, 1, 100000));
        const std::string kind = has("kind") ? o["kind"] : "ui";
        if (kind != "ui" && kind != "i" && kind != "s" && kind != "u" && kind != "nodes")
            throw UsageError("--kind must be ui, i, s, u or nodes");
        const std::string text = has("text") ? o["text"] : "Test frame %n";

        Frame f;
        try {
            f.source = parseStation(has("from") ? o["from"] : "N0CALL");
            f.destination = parseStation(has("to") ? o["to"] : kind == "nodes" ? "NODES" : "CQ");
            if (has("via")) {
                std::istringstream in(o["via"]);
                std::string v;
                while (std::getline(in, v, ',')) {
                    const bool repeated = !v.empty() && v.back() == '*';
                    if (repeated)
                        v.pop_back();
                    Station st = parseStation(v);
                    st.bit7 = repeated;
                    f.via.push_back(st);
                }
                if (f.via.size() > 8)
                    throw UsageError("--via: at most 8 digipeaters");
            }
        } catch (const std::invalid_argument& e) {
            throw UsageError(e.what());
        }
        const double control = num("control", kind == "i" ? 0x00 : kind == "s" ? 0x01 : kind == "u" ? 0x2F : 0x03, 0, 255);
        f.control = static_cast<uint8_t>(control);
        f.hasPid = kind == "ui" || kind == "i" || kind == "nodes";
        if (kind == "nodes")
            f.pid = 0xCF;

        std::vector<Bytes> frames;
        for (int k = 1; k <= count; ++k) {
            Frame g = f;
            if (kind == "nodes")
                g.info = nodesInfo(f.source.call, {{"N1NODE", "ALPHA", "N2NBR", 200}, {"N3NODE-2", "BRAVO", "N2NBR", 150}});
            else if (f.hasPid) {
                const std::string t = expand(text, k);
                g.info.assign(t.begin(), t.end());
            }
            if (kind == "i")
                g.control = static_cast<uint8_t>((f.control & 0xF1) | (((k - 1) & 7) << 1));
            Bytes b = withFcs(encode(g));
            if (has("bad-fcs"))
                b.back() ^= 0x01;
            frames.push_back(std::move(b));
        }
        std::vector<Span> spans;
        Samples s = modulate(frames, afsk, &spans);
        if (has("snr")) {
            NoiseOptions n;
            n.snrFirst = num("snr", 20, -100, 200);
            n.snrLast = num("snr-end", n.snrFirst, -100, 200);
            n.seed = static_cast<uint64_t>(num("seed", 1, 0, 9e15));
            if (has("noise") && o["noise"] != "white" && o["noise"] != "band")
                throw UsageError("--noise must be white or band");
            n.band = has("noise") && o["noise"] == "band";
            addNoise(s, spans, n, afsk.rate);
        }
        const Audio audio = mono(std::move(s), afsk.rate);
        writeWav(o["out"], audio, 16);
        out << o["out"] << ": " << count << " frames, " << audio.frames() << " samples, " << afsk.rate
            << " Hz, 1 channel, 16 bits\n";
        return 0;
    } catch (const UsageError& e) {
        err << "siggen: " << e.what() << "\nTry 'siggen ax25 --help'.\n";
        return 2;
    } catch (const std::exception& e) {
        err << "siggen: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace siggen::ax25
