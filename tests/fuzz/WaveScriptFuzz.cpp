// The scripted wave device's script file, as WAVE_IN_SCRIPT names it across a process boundary,
// in a folder that holds a recording and a raw samples file the script may name. A script it takes
// reads back the same written out again; one it refuses says so in the device's error text, naming
// the script and, for a bad command, its first wrong line.
#include "FuzzTarget.h"
#include "LineFileFuzz.h"

#include "Signal.h"
#include "Wav.h"
#include "WaveScript.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fuzz {

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    Check(bool(out), "writing a file of the script's folder");
}

// The folder the scripts are loaded from, with what they may name.
const fs::path& Folder()
{
    static const fs::path folder = [] {
        char name[] = "/tmp/wave-script-fuzz-XXXXXX";
        Check(::mkdtemp(name) != nullptr, "mkdtemp");
        siggen::Audio tone;
        tone.rate = 11025;
        tone.channels = 1;
        for (int i = 0; i < 64; ++i)
            tone.samples.push_back(0.5 * ((i % 8) - 4) / 4.0);
        const Bytes wav = siggen::encodeWav(tone, 16);
        WriteFile(fs::path(name) / "tone.wav", std::string(wav.begin(), wav.end()));
        WriteFile(fs::path(name) / "raw.bin", std::string("\x01\x02\x03\x04\xFF\x7F", 6));
        return fs::path(name);
    }();
    return folder;
}

std::shared_ptr<platform::WaveScript> Load(const std::string& text, const char* name)
{
    const fs::path file = Folder() / name;
    WriteFile(file, text);
    return platform::WaveScript::load(file);
}

}  // namespace

std::vector<Seed> Seeds()
{
    const auto seed = TextSeed;
    return {seed("full", "# a card that is busy twice\nname Test card\nout_name  Speakers \nfail_opens 2 4\n"
                         "samples tone.wav\nsamples raw.bin\nvalues 1 -2 32767 -32768\nsilence_at_end\nrecord calls.log\n"),
            seed("crlf", "name Card\r\nvalues 5 6\r\nfail_opens 1\r\n"),
            seed("bad-value", "values 1 2\nvalues 40000\n"),
            seed("missing", "samples nothing.wav\n"),
            seed("unknown", "name x\nplay\n")};
}

void Run(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    // The script names files of its own folder only.
    if (text.find('/') != std::string::npos)
        return;
    const auto script = Load(text, "script");
    Check(script != nullptr, "no device for a script");
    if (!script->loadError.empty()) {
        const std::string head = "Wave script \"" + (Folder() / "script").string() + "\"";
        Check(script->loadError.rfind(head, 0) == 0 && script->loadError.back() == '.',
              "a device error that does not name the script");
        const std::string rest = script->loadError.substr(head.size());
        if (rest.rfind(", ", 0) == 0)
            CheckRefusal(text, rest.substr(2),
                         [](const std::string& t) { return Load(t, "before")->loadError.empty(); });
        else
            Check(rest == " cannot be read.", "a device error that names no line");
        return;
    }
    std::string written = "name " + script->inName + "\nout_name " + script->outName + "\nfail_opens " +
                          std::to_string(script->failOpens) + " " + std::to_string(script->failCode) + "\n";
    const bool even = script->samples.size() % 2 == 0;
    if (even) {
        written += "values";
        for (size_t i = 0; i < script->samples.size(); i += 2)
            written += " " + std::to_string(int16_t(uint16_t(script->samples[i] | script->samples[i + 1] << 8)));
        written += "\n";
    }
    if (script->silenceAtEnd)
        written += "silence_at_end\n";
    const auto again = Load(written, "again");
    Check(again->loadError.empty(), "a script written out is refused");
    Check(again->inName == script->inName && again->outName == script->outName, "a name does not read back");
    Check(again->failOpens == script->failOpens && again->failCode == script->failCode,
          "failing opens do not read back");
    Check(!even || again->samples == script->samples, "samples do not read back");
    Check(again->silenceAtEnd == script->silenceAtEnd, "the silence at the end does not read back");
}

}  // namespace fuzz
