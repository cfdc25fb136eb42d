#include "Cli.h"

#include "Ctcss.h"
#include "Dtmf.h"
#include "Acars.h"
#include "Args.h"
#include "Ax25.h"
#include "Mpt1327.h"
#include "Smartnet.h"
#include "Signal.h"
#include "Wav.h"

#include <cmath>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace siggen {

namespace {

const char* const kUsage =
    "usage: siggen COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  tone      --freq HZ [--amplitude A] [--phase CYCLES] [--seconds S]\n"
    "  square    --freq HZ [--amplitude A] [--seconds S]\n"
    "  silence   [--seconds S]\n"
    "  noise     [--rms R] [--seconds S]\n"
    "  sequence  SEGMENT...    stretches joined in order, tones keep their phase:\n"
    "            tone:HZ:S[:A]  square:HZ:S[:A]  silence:S  noise:S[:RMS]\n"
    "  smartnet  SmartNet control channel (siggen smartnet --help)\n"
    "  mpt1327   MPT1327 control channel (1200 bit/s FFSK):\n"
    "            [--system ID] [--control CHAN] [--number-every SLOTS] [--synt] [--bursts]\n"
    "            [--grant T,PFIX,IDENT1,IDENT2,CHAN]... [--clear T,CHAN,CONT]...\n"
    "            [--number T,CHAN]... [--aloha T,PFIX,IDENT]... [--codeword T,INFO[,INFO...]]...\n"
    "            [--preamble BITS] [--amplitude A] [--seconds S] [--script FILE]\n"
    "            INFO is 48 information bits in hexadecimal; check bits and parity are added.\n"
    "            A script file holds one option per line without the dashes, e.g.\n"
    "            \"grant 1.5 1 100 200 17\"; '#' starts a comment.\n"
    "  dtmf      --digits KEYS [--tone S] [--pause S] [--lead S] [--tail S] [--offset-low PCT]\n"
    "            [--offset-high PCT] [--twist DB] [--amplitude A]   keys 0-9 * # A-D\n"
    "  ctcss     [--freq HZ] [--level DB] [--speech DB|none] [--pattern on:S,off:S,...]   a sub-audible\n"
    "            tone (peak dBFS, -20) on and off under speech-like noise (rms dBFS, -15)\n"
    "  acars     ACARS messages (2400 bit/s MSK, 1200 and 2400 Hz), one per --text:\n"
    "            [--text TEXT]... [--mode C] [--address REG] [--ack] [--label LL] [--block C] [--etb]\n"
    "            [--prekey BITS] [--lead SAMPLES] [--gap S] [--amplitude A]\n"
    "            TEXT follows STX: message number, flight id, then the free text.\n"
    "  ax25      AX.25 packet radio as AFSK at 1200 or 300 bit/s (see siggen ax25 --help)\n"
    "\n"
    "Options of every command:\n"
    "  --out FILE        WAV file to write (required)\n"
    "  --rate HZ         sampling rate (11025; 44100 for acars)\n"
    "  --bits 16|8       sample size (16)\n"
    "  --channels 1|2    mono or stereo (1; --other makes it 2)\n"
    "  --channel left|right   channel of the signal in stereo (left)\n"
    "  --other silence|noise[:RMS]|FILE.wav   the other stereo channel (silence)\n"
    "  --snr DB          add white noise at this signal-to-noise ratio\n"
    "  --seed N          seed of all noise (1)\n"
    "  --help            this text\n"
    "\n"
    "Amplitudes are fractions of full scale (1.0 = 32767); samples beyond it are clipped.\n";

struct Spec {
    const char* name;
    bool takesValue;
};

const std::vector<Spec> kCommonSpecs = {{"out", true},   {"rate", true}, {"bits", true},  {"channels", true},
                                        {"channel", true}, {"other", true}, {"snr", true}, {"seed", true},
                                        {"help", false}};

const std::map<std::string, std::vector<Spec>> kCommandSpecs = {
    {"tone", {{"freq", true}, {"amplitude", true}, {"phase", true}, {"seconds", true}}},
    {"square", {{"freq", true}, {"amplitude", true}, {"seconds", true}}},
    {"silence", {{"seconds", true}}},
    {"noise", {{"rms", true}, {"seconds", true}}},
    {"sequence", {}},
    {"mpt1327",
     {{"system", true}, {"control", true}, {"number-every", true}, {"synt", false}, {"bursts", false},
      {"grant", true}, {"clear", true}, {"number", true}, {"aloha", true}, {"codeword", true},
      {"preamble", true}, {"amplitude", true}, {"seconds", true}, {"script", true}}},
    {"dtmf",
     {{"digits", true}, {"tone", true}, {"pause", true}, {"lead", true}, {"tail", true}, {"offset-low", true},
      {"offset-high", true}, {"twist", true}, {"amplitude", true}}},
    {"ctcss", {{"freq", true}, {"level", true}, {"speech", true}, {"pattern", true}}},
    {"acars", {{"text", true}, {"mode", true}, {"address", true}, {"ack", false}, {"label", true}, {"block", true},
               {"etb", false}, {"prekey", true}, {"lead", true}, {"gap", true}, {"amplitude", true}}},
};

struct Options {
    std::map<std::string, std::vector<std::string>> values;  // every occurrence, in order
    std::vector<std::string> positional;

    bool has(const std::string& name) const { return values.count(name) != 0; }
    const std::string* last(const std::string& name) const
    {
        auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second.back();
    }
    const std::vector<std::string>& all(const std::string& name) const
    {
        static const std::vector<std::string> none;
        auto it = values.find(name);
        return it == values.end() ? none : it->second;
    }
};

const Spec* findSpec(const std::string& command, const std::string& name)
{
    for (const Spec& s : kCommonSpecs)
        if (name == s.name)
            return &s;
    for (const Spec& s : kCommandSpecs.at(command))
        if (name == s.name)
            return &s;
    return nullptr;
}

void parseInto(Options& opts, const std::string& command, const std::vector<std::string>& args)
{
    parseOptions(
        args, command,
        [&](const std::string& name) -> std::optional<bool> {
            const Spec* spec = findSpec(command, name);
            return spec ? std::optional<bool>(spec->takesValue) : std::nullopt;
        },
        [&](const std::string& name, const std::string& value) { opts.values[name].push_back(value); },
        command == "sequence" ? &opts.positional : nullptr);
}

uint64_t parseUnsigned(const std::string& text, const std::string& what, uint64_t max)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    uint64_t v = 0;
    bool ok = !digits.empty() && digits.size() <= 16;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else {
            ok = false;
            break;
        }
        const uint64_t base = hex ? 16 : 10;
        if (v > (UINT64_MAX - static_cast<uint64_t>(d)) / base) {
            ok = false;
            break;
        }
        v = v * base + static_cast<uint64_t>(d);
    }
    if (!ok)
        throw UsageError(what + ": '" + text + "' is not a whole number (decimal, or hexadecimal with 0x)");
    if (v > max)
        throw UsageError(what + ": " + text + " is above " + std::to_string(max));
    return v;
}

double numberOption(const Options& o, const std::string& name, double fallback, double min, double max)
{
    const std::string* text = o.last(name);
    return text ? numberInRange(name, *text, min, max) : fallback;
}

uint64_t unsignedOption(const Options& o, const std::string& name, uint64_t fallback, uint64_t max)
{
    const std::string* text = o.last(name);
    return text ? parseUnsigned(*text, "--" + name, max) : fallback;
}

std::vector<std::string> split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, sep))
        parts.push_back(part);
    if (!text.empty() && text.back() == sep)
        parts.emplace_back();
    return parts;
}

std::vector<std::string> listOf(const std::string& name, const std::string& value, size_t min, size_t max)
{
    std::vector<std::string> parts = split(value, ',');
    if (parts.size() < min || parts.size() > max) {
        std::string count = min == max ? std::to_string(min) : std::to_string(min) + " or more";
        throw UsageError("--" + name + " " + value + ": expected " + count + " comma-separated values");
    }
    return parts;
}

constexpr double kMaxSeconds = 3600.0;

Samples sequenceOf(const std::vector<std::string>& specs, uint32_t rate, Random& random)
{
    if (specs.empty())
        throw UsageError("sequence needs at least one segment, e.g. tone:1200:0.5");
    std::vector<Segment> segments;
    for (const std::string& spec : specs) {
        const std::vector<std::string> f = split(spec, ':');
        Segment seg;
        const std::string& kind = f[0];
        const std::string what = "segment '" + spec + "'";
        auto argCount = [&](size_t min, size_t max) {
            if (f.size() - 1 < min || f.size() - 1 > max)
                throw UsageError(what + ": wrong number of fields");
        };
        auto seconds = [&](const std::string& t) {
            const double s = parseNumber(t, what);
            if (s < 0 || s > kMaxSeconds)
                throw UsageError(what + ": length must be 0 to 3600 seconds");
            return s;
        };
        if (kind == "tone" || kind == "square") {
            argCount(2, 3);
            seg.kind = kind == "tone" ? Segment::Kind::Tone : Segment::Kind::Square;
            seg.freq = parseNumber(f[1], what);
            if (seg.freq < 0 || seg.freq > rate / 2.0)
                throw UsageError(what + ": frequency must be 0 to half the sampling rate");
            seg.seconds = seconds(f[2]);
            if (f.size() > 3)
                seg.amplitude = parseNumber(f[3], what);
        } else if (kind == "silence") {
            argCount(1, 1);
            seg.kind = Segment::Kind::Silence;
            seg.seconds = seconds(f[1]);
        } else if (kind == "noise") {
            argCount(1, 2);
            seg.kind = Segment::Kind::Noise;
            seg.seconds = seconds(f[1]);
            seg.amplitude = f.size() > 2 ? parseNumber(f[2], what) : 0.1;
        } else {
            throw UsageError(what + ": unknown kind '" + kind + "' (tone, square, silence, noise)");
        }
        segments.push_back(seg);
    }
    return sequence(segments, rate, random);
}

// Script lines "name value value ..." become "--name value,value,...".
std::vector<std::string> scriptArgs(const std::string& file)
{
    std::ifstream in(file);
    if (!in)
        throw UsageError("cannot read script " + file);
    std::vector<std::string> args;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string name, word, value;
        if (!(words >> name))
            continue;
        if (name == "script")
            throw UsageError(file + ":" + std::to_string(number) + ": a script cannot include another");
        while (words >> word)
            value += (value.empty() ? "" : ",") + word;
        args.push_back("--" + name);
        const Spec* spec = findSpec("mpt1327", name);
        if (!spec)
            throw UsageError(file + ":" + std::to_string(number) + ": unknown option '" + name + "'");
        if (spec->takesValue != !value.empty())
            throw UsageError(file + ":" + std::to_string(number) + ": '" + name + "' " +
                             (spec->takesValue ? "needs a value" : "takes no value"));
        if (spec->takesValue)
            args.push_back(value);
    }
    return args;
}

unsigned fieldValue(const std::string& text, const std::string& what, unsigned max)
{
    return static_cast<unsigned>(parseUnsigned(text, what, max));
}

Samples mpt1327Of(const Options& o, uint32_t rate)
{
    namespace m = mpt1327;
    m::ChannelScript script;
    script.system = static_cast<unsigned>(unsignedOption(o, "system", script.system, 0x7FFF));
    script.sync = o.has("synt") ? m::kSynt : m::kSync;
    script.bursts = o.has("bursts");
    if (o.has("control"))
        script.controlChannel = static_cast<int>(unsignedOption(o, "control", 0, 1023));
    script.numberEvery = static_cast<int>(unsignedOption(o, "number-every", 4, 1000));
    if (script.numberEvery < 1)
        throw UsageError("--number-every must be 1 or more");
    script.preambleBits = static_cast<int>(unsignedOption(o, "preamble", 16, 10000));
    script.seconds = numberOption(o, "seconds", 2.0, 0.0, kMaxSeconds);

    auto timeOf = [](const std::string& name, const std::string& text) {
        const double t = parseNumber(text, "--" + name + " time");
        if (t < 0 || t > kMaxSeconds)
            throw UsageError("--" + name + ": time must be 0 to 3600 seconds");
        return t;
    };
    for (const std::string& v : o.all("grant")) {
        const auto f = listOf("grant", v, 5, 5);
        script.events.push_back({timeOf("grant", f[0]),
                                 {m::goToChannel(fieldValue(f[1], "--grant prefix", 127),
                                                 fieldValue(f[2], "--grant ident 1", 8191),
                                                 fieldValue(f[3], "--grant ident 2", 8191),
                                                 fieldValue(f[4], "--grant channel", 1023))}});
    }
    for (const std::string& v : o.all("clear")) {
        const auto f = listOf("clear", v, 3, 3);
        script.events.push_back({timeOf("clear", f[0]),
                                 {m::clearDown(fieldValue(f[1], "--clear channel", 1023),
                                               fieldValue(f[2], "--clear control channel", 1023))}});
    }
    for (const std::string& v : o.all("number")) {
        const auto f = listOf("number", v, 2, 2);
        script.events.push_back({timeOf("number", f[0]), {m::channelNumber(fieldValue(f[1], "--number channel", 1023))}});
    }
    for (const std::string& v : o.all("aloha")) {
        const auto f = listOf("aloha", v, 3, 3);
        script.events.push_back({timeOf("aloha", f[0]),
                                 {m::aloha(fieldValue(f[1], "--aloha prefix", 127),
                                           fieldValue(f[2], "--aloha ident", 8191))}});
    }
    for (const std::string& v : o.all("codeword")) {
        const auto f = listOf("codeword", v, 2, 1000);
        m::Event e{timeOf("codeword", f[0]), {}};
        for (size_t i = 1; i < f.size(); ++i) {
            const std::string& info = f[i];
            const std::string digits = info.rfind("0x", 0) == 0 || info.rfind("0X", 0) == 0 ? info : "0x" + info;
            e.codewords.push_back(m::makeCodeword(parseUnsigned(digits, "--codeword information bits", 0xFFFFFFFFFFFFull)));
        }
        script.events.push_back(e);
    }
    return m::render(script, rate, numberOption(o, "amplitude", 0.5, 0.0, 100.0));
}

Samples dtmfOf(const Options& o, uint32_t rate)
{
    dtmf::Script script;
    if (const std::string* d = o.last("digits"))
        script.digits = *d;
    for (char key : script.digits) {
        try {
            dtmf::tonesOf(key);
        } catch (const std::invalid_argument& e) {
            throw UsageError(std::string("--digits: ") + e.what());
        }
    }
    script.toneSeconds = numberOption(o, "tone", script.toneSeconds, 0.0, kMaxSeconds);
    script.pauseSeconds = numberOption(o, "pause", script.pauseSeconds, 0.0, kMaxSeconds);
    script.leadSeconds = numberOption(o, "lead", script.leadSeconds, 0.0, kMaxSeconds);
    script.tailSeconds = numberOption(o, "tail", script.tailSeconds, 0.0, kMaxSeconds);
    script.lowOffset = numberOption(o, "offset-low", 0.0, -50.0, 50.0) / 100;
    script.highOffset = numberOption(o, "offset-high", 0.0, -50.0, 50.0) / 100;
    script.twistDb = numberOption(o, "twist", 0.0, -60.0, 60.0);
    script.amplitude = numberOption(o, "amplitude", script.amplitude, 0.0, 100.0);
    return dtmf::render(script, rate);
}

Samples ctcssOf(const Options& o, uint32_t rate, Random& random)
{
    ctcss::Script script;
    script.toneHz = numberOption(o, "freq", script.toneHz, 0.0, rate / 2.0);
    script.toneDb = numberOption(o, "level", script.toneDb, -200.0, 20.0);
    if (const std::string* v = o.last("speech"))
        script.speechDb = *v == "none" ? -1000.0 : numberOption(o, "speech", script.speechDb, -200.0, 20.0);
    if (const std::string* v = o.last("pattern")) {
        try {
            script.pattern = ctcss::parsePattern(*v);
        } catch (const std::invalid_argument& e) {
            throw UsageError(std::string("--pattern: ") + e.what());
        }
    }
    return ctcss::render(script, rate, random);
}

Samples acarsOf(const Options& o, uint32_t rate)
{
    namespace a = acars;
    auto oneChar = [&](const char* name, char dflt) {
        const std::string* v = o.last(name);
        if (!v)
            return dflt;
        if (v->size() != 1)
            throw UsageError(std::string("--") + name + " must be one character");
        return (*v)[0];
    };
    a::Message m;
    m.mode = oneChar("mode", m.mode);
    m.blockId = oneChar("block", m.blockId);
    if (const std::string* v = o.last("address"))
        m.address = *v;
    if (const std::string* v = o.last("label")) {
        if (v->size() != 2)
            throw UsageError("--label must be two characters");
        m.label = *v;
    }
    m.ack = o.has("ack") ? a::kACK : a::kNAK;
    m.etb = o.has("etb");
    const int prekey = static_cast<int>(unsignedOption(o, "prekey", 128, 100000));
    const double gap = numberOption(o, "gap", 0.2, 0.0, kMaxSeconds);
    const double amplitude = numberOption(o, "amplitude", 0.5, 0.0, 100.0);
    std::vector<std::string> texts = o.all("text");
    if (texts.empty())
        texts.push_back("M01AXX1234HELLO");
    Samples s;
    appendSilence(s, static_cast<size_t>(unsignedOption(o, "lead", 0, 10000000)));
    for (const std::string& t : texts) {
        m.text = t;
        const Samples one = a::modulate(a::frameBits(m, prekey), rate, amplitude);
        s.insert(s.end(), one.begin(), one.end());
        appendSilence(s, samplesFor(gap, rate));
    }
    return s;
}

Samples otherChannel(const std::string& spec, size_t frames, uint32_t rate, Random& random)
{
    Samples s;
    if (spec == "silence")
        return s;
    if (spec == "noise" || spec.rfind("noise:", 0) == 0) {
        const double rms = spec == "noise" ? 0.1 : parseNumber(spec.substr(6), "--other noise level");
        if (rms < 0)
            throw UsageError("--other noise level must not be negative");
        appendNoise(s, rms, frames, random);
        return s;
    }
    const WavData wav = readWav(spec);
    if (wav.channels != 1 || wav.rate != rate)
        throw UsageError("--other " + spec + ": must be a mono file at " + std::to_string(rate) + " Hz");
    for (int16_t v : wav.samples)
        s.push_back(v / 32767.0);
    return s;
}

int generate(const std::string& command, const Options& o, std::ostream& out)
{
    const std::string* file = o.last("out");
    if (!file || file->empty())
        throw UsageError(command + " needs --out FILE");
    // ACARS is received at 44100 Hz; everything else defaults to 11025 Hz.
    const auto rate = static_cast<uint32_t>(unsignedOption(o, "rate", command == "acars" ? 44100 : 11025, 1000000));
    if (rate < 1000)
        throw UsageError("--rate must be 1000 to 1000000");
    const auto bits = static_cast<uint16_t>(unsignedOption(o, "bits", 16, 16));
    if (bits != 8 && bits != 16)
        throw UsageError("--bits must be 8 or 16");
    const uint64_t seed = unsignedOption(o, "seed", 1, UINT64_MAX);
    uint16_t channels = o.has("other") ? 2 : 1;
    if (o.has("channels")) {
        const uint64_t c = unsignedOption(o, "channels", 1, 2);
        if (c == 0)
            throw UsageError("--channels must be 1 or 2");
        if (c == 1 && o.has("other"))
            throw UsageError("--other needs a stereo file (--channels 2)");
        channels = static_cast<uint16_t>(c);
    }
    int signalChannel = 0;
    if (const std::string* c = o.last("channel")) {
        if (*c == "right")
            signalChannel = 1;
        else if (*c != "left")
            throw UsageError("--channel must be left or right");
    }

    Random signalNoise(seed);
    Random otherNoise(seed ^ 0xA5A5A5A5A5A5A5A5ull);
    const double seconds = numberOption(o, "seconds", 1.0, 0.0, kMaxSeconds);
    Samples s;
    if (command == "tone" || command == "square") {
        if (!o.has("freq"))
            throw UsageError(command + " needs --freq HZ");
        const double freq = numberOption(o, "freq", 0, 0, rate / 2.0);
        const double amplitude = numberOption(o, "amplitude", 0.5, 0.0, 100.0);
        Oscillator osc(rate, numberOption(o, "phase", 0.0, -1e6, 1e6));
        if (command == "tone")
            osc.tone(s, freq, amplitude, samplesFor(seconds, rate));
        else
            osc.square(s, freq, amplitude, samplesFor(seconds, rate));
    } else if (command == "silence") {
        appendSilence(s, samplesFor(seconds, rate));
    } else if (command == "noise") {
        appendNoise(s, numberOption(o, "rms", 0.1, 0.0, 100.0), samplesFor(seconds, rate), signalNoise);
    } else if (command == "sequence") {
        s = sequenceOf(o.positional, rate, signalNoise);
    } else if (command == "dtmf") {
        s = dtmfOf(o, rate);
    } else if (command == "ctcss") {
        s = ctcssOf(o, rate, signalNoise);
    } else if (command == "acars") {
        s = acarsOf(o, rate);
    } else {
        s = mpt1327Of(o, rate);
    }
    if (o.has("snr"))
        addNoise(s, numberOption(o, "snr", 0.0, -100.0, 200.0), signalNoise);

    Audio audio;
    if (channels == 1)
        audio = mono(std::move(s), rate);
    else
        audio = stereo(s, otherChannel(o.has("other") ? *o.last("other") : "silence", s.size(), rate, otherNoise),
                       signalChannel, rate);
    writeWav(*file, audio, bits);
    out << *file << ": " << audio.frames() << " frames, " << rate << " Hz, " << channels
        << (channels == 1 ? " channel, " : " channels, ") << bits << " bits\n";
    return 0;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    if (command == "smartnet")
        return smartnet::runCommand({args.begin() + 1, args.end()}, out, err);
    if (command == "ax25") return ax25::runCommand({args.begin() + 1, args.end()}, out, err);
    try {
        if (kCommandSpecs.count(command) == 0)
            throw UsageError("unknown command '" + command + "'");
        Options opts;
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        parseInto(opts, command, rest);
        if (opts.has("help")) {
            out << kUsage;
            return 0;
        }
        if (const std::string* script = opts.last("script")) {
            Options merged;
            parseInto(merged, command, scriptArgs(*script));
            parseInto(merged, command, rest);  // the command line comes last, so it wins
            merged.values.erase("script");
            opts = merged;
        }
        return generate(command, opts, out);
    } catch (const UsageError& e) {
        err << "siggen: " << e.what() << "\nTry 'siggen --help'.\n";
        return 2;
    } catch (const std::out_of_range& e) {
        err << "siggen: " << e.what() << "\n";
        return 2;
    } catch (const std::invalid_argument& e) {
        err << "siggen: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        err << "siggen: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace siggen
