// orvhost's --band file: the stations of the simulated band. A band it takes has one station a
// frequency with a level on the receiver library's scale, reads back the same written out again,
// and gives the receiver library's pool exactly its levels; one it refuses is refused at its first
// wrong line.
#include "FuzzTarget.h"
#include "LineFileFuzz.h"

#include "platform/kvapi32/RigConfig.h"
#include "host/Band.h"

#include <set>

namespace fuzz {

std::vector<Seed> Seeds()
{
    const auto seed = TextSeed;
    return {seed("two", "# the control channel and a traffic channel\n450012500 control.wav\n"
                        "450137500 /tmp/traffic.wav 20000 # weaker\n"),
            seed("crlf", "851012500 smartnet.wav 65535\r\n851037500 other.wav 0\r\n"),
            seed("twice", "450012500 a.wav\n450012500 b.wav\n"),
            seed("level", "450012500 a.wav 70000\n")};
}

void Run(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    const std::filesystem::path base = "/band";
    std::string error;
    const auto stations = Band::parse(text, base, &error);
    if (!stations) {
        CheckRefusal(text, error,
                     [&](const std::string& t) { return Band::parse(t, base, nullptr).has_value(); });
        return;
    }
    std::set<int32_t> frequencies;
    std::string written;
    for (const BandStation& st : *stations) {
        Check(st.hz > 0 && frequencies.insert(st.hz).second, "two stations on one frequency");
        Check(st.level >= 0 && st.level <= 65535, "a level off the receiver library's scale");
        Check(st.recording.is_absolute() && st.onAir, "a station's recording not found from the band's folder");
        written += std::to_string(st.hz) + " " + st.recording.string() + " " + std::to_string(st.level) + "\n";
    }
    const auto again = Band::parse(written, "/elsewhere", &error);
    Check(again && again->size() == stations->size(), "a band written out does not read back");
    for (size_t i = 0; i < again->size(); ++i)
        Check((*again)[i].hz == (*stations)[i].hz && (*again)[i].recording == (*stations)[i].recording &&
                  (*again)[i].level == (*stations)[i].level,
              "a station written out does not read back the same");

    // The receivers of the library read the band's levels from the pool the band writes.
    Band band(*stations, platform::sound::ChannelChoice::Left);
    const int receivers = 1 + int(size % 3);
    const platform::kvapi::FakeScript pool = platform::kvapi::ParseFakeScript(band.fakePool(receivers));
    for (const BandStation& st : *stations)
        Check(band.levelAt(st.hz) == st.level, "the primary receiver does not read a station's level");
    Check(pool.errors.empty() && pool.receivers == receivers, "a pool the receiver library does not take");
    Check(pool.strengths.size() == size_t(receivers) * (stations->size() + 1), "a pool without every station");
    for (int r = 1; r <= receivers; ++r) {
        for (const BandStation& st : *stations) {
            const auto it = pool.strengths.find({r, st.hz});
            Check(it != pool.strengths.end() && it->second == std::vector<int32_t>{st.level},
                  "a receiver that does not read a station's level");
        }
        const auto noise = pool.strengths.find({r, -1});
        Check(noise != pool.strengths.end() && noise->second == std::vector<int32_t>{Band::kNoiseLevel},
              "a receiver that does not read the noise between stations");
    }
}

}  // namespace fuzz
