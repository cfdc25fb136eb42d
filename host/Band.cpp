#include "Band.h"

#include "ScriptText.h"

#include <climits>
#include <cmath>
#include <sstream>

namespace {

using platform::sound::ChannelChoice;
using platform::sound::Recording;

// Below a few steps of 16 bits: what an unused channel of a recording holds.
constexpr float kSilence = 4.0f / 32768.0f;

// Whether the channel choice takes of the recording stays silent to its end; read at the file's own
// rate, and only until the first sound.
bool SilentChannel(const std::filesystem::path& file, uint32_t rate, ChannelChoice choice)
{
    std::string ignored;
    const auto recording = Recording::open(file, rate, 1, choice, &ignored);
    if (!recording)
        return false;
    std::vector<float> block(8192);
    for (;;) {
        const size_t got = recording->read(block.data(), block.size());
        for (size_t i = 0; i < got; ++i)
            if (std::fabs(block[i]) > kSilence)
                return false;
        if (got < block.size())
            return true;
    }
}

}  // namespace

std::optional<std::vector<BandStation>> Band::parse(const std::string& text, const std::filesystem::path& base,
                                                    std::string* error)
{
    std::vector<BandStation> stations;
    for (const ScriptLine& line : scriptLines(text)) {
        std::istringstream words(line.text);
        std::string hz, path, level, extra;
        words >> hz >> path >> level >> extra;
        auto fail = [&](const std::string& why) -> std::optional<std::vector<BandStation>> {
            if (error)
                *error = "line " + std::to_string(line.number) + ": " + why;
            return std::nullopt;
        };
        BandStation st;
        long v = 0;
        if (!parseInteger(hz, 1, INT32_MAX, &v))
            return fail("\"" + hz + "\" is not a frequency in Hz");
        st.hz = int32_t(v);
        if (path.empty() || !extra.empty())
            return fail("wants \"<frequency> <recording> [<level>]\"");
        st.recording = std::filesystem::path(path).is_absolute() ? std::filesystem::path(path) : base / path;
        st.level = kStationLevel;
        if (!level.empty()) {
            if (!parseInteger(level, 0, 65535, &v))
                return fail("level \"" + level + "\" is not 0..65535");
            st.level = int32_t(v);
        }
        for (const BandStation& other : stations)
            if (other.hz == st.hz)
                return fail("a second station on " + hz + " Hz");
        stations.push_back(st);
    }
    return stations;
}

Band::Band(std::vector<BandStation> stations, platform::sound::ChannelChoice choice)
    : stations_(std::move(stations)), choice_(choice)
{
}

bool Band::check(std::string* error, std::vector<std::string>* warnings) const
{
    for (const BandStation& st : stations_) {
        std::string why;
        const auto recording = Recording::open(st.recording, 11025, 1, choice_, &why);
        if (!recording) {
            *error = "station on " + std::to_string(st.hz) + " Hz: " + why;
            return false;
        }
        if (!warnings || !SilentChannel(st.recording, recording->fileRate(), choice_))
            continue;
        // A station that is silent where it is heard: say so, and where its sound is when it has some.
        const std::string station = "station on " + std::to_string(st.hz) + " Hz: \"" + st.recording.string() + "\"";
        if (recording->fileChannels() < 2) {
            warnings->push_back(station + " holds only silence.");
            continue;
        }
        const bool left = choice_ == ChannelChoice::Left;
        const ChannelChoice other = left ? ChannelChoice::Right : ChannelChoice::Left;
        std::string text = station + " holds only silence on its " + (left ? "left" : "right") +
                           " channel, the one the band plays";
        if (!SilentChannel(st.recording, recording->fileRate(), other))
            text += std::string("; its sound is on the ") + (left ? "right" : "left") + " channel (--input-channel " +
                    (left ? "right" : "left") + " plays that one)";
        warnings->push_back(text + ".");
    }
    return true;
}

void Band::tune(int32_t hz) { tuned_ = hz; }

bool Band::claim()
{
    bool free = false;
    return claimed_.compare_exchange_strong(free, true);
}

void Band::release() { claimed_ = false; }

bool Band::setOnAir(int32_t hz, bool on)
{
    std::lock_guard hold(mutex_);
    for (BandStation& st : stations_)
        if (st.hz == hz) {
            st.onAir = on;
            return true;
        }
    return false;
}

int32_t Band::levelAt(int32_t hz) const
{
    std::lock_guard hold(mutex_);
    for (const BandStation& st : stations_)
        if (st.hz == hz && st.onAir)
            return st.level;
    return kNoiseLevel;
}

std::string Band::fakePool(int receivers) const
{
    std::string text = "# The simulated band's levels\nreceivers " + std::to_string(receivers) + "\n";
    std::lock_guard hold(mutex_);
    for (int r = 1; r <= receivers; ++r) {
        for (const BandStation& st : stations_)
            if (st.onAir)
                text += "strength " + std::to_string(r) + " " + std::to_string(st.hz) + " " +
                        std::to_string(st.level) + "\n";
        text += "strength " + std::to_string(r) + " * " + std::to_string(kNoiseLevel) + "\n";
    }
    return text;
}

float Band::noise()
{
    // Two uniform draws summed: noise that is roughly Gaussian and the same on every run.
    auto next = [this] {
        seed_ ^= seed_ << 13;
        seed_ ^= seed_ >> 17;
        seed_ ^= seed_ << 5;
        return float(seed_) / 4294967296.0f - 0.5f;
    };
    return float(kNoiseAmplitude) * 1.7f * (next() + next());
}

void Band::read(uint32_t rate, uint16_t channels, int16_t* dst, size_t frames)
{
    if (rate != rate_) {  // the recordings are opened at the rate the device was opened with
        rate_ = rate;
        playing_.clear();
        for (const BandStation& st : stations_) {
            std::string ignored;
            Playing p;
            p.recording = Recording::open(st.recording, rate, 1, choice_, &ignored);
            p.ended = !p.recording;
            playing_.push_back(std::move(p));
        }
    }
    const int32_t tuned = tuned_;
    int heard = -1;
    {
        std::lock_guard hold(mutex_);
        for (size_t i = 0; i < stations_.size(); ++i)
            if (stations_[i].hz == tuned && stations_[i].onAir)
                heard = int(i);
    }
    heard_.resize(frames);  // every sample is written below: the station heard, or noise
    bool all = !playing_.empty();
    for (size_t i = 0; i < playing_.size(); ++i) {
        Playing& p = playing_[i];
        float* into = int(i) == heard ? heard_.data() : nullptr;
        if (!into) {
            scratch_.resize(frames);
            into = scratch_.data();
        }
        size_t got = p.ended ? 0 : p.recording->read(into, frames);
        if (got < frames)
            p.ended = true;
        if (int(i) == heard)  // a station whose recording has ended is off the air
            for (size_t k = got; k < frames; ++k)
                heard_[k] = noise();
        all = all && p.ended;
    }
    if (heard < 0)
        for (float& x : heard_)
            x = noise();
    const float* out = heard_.data();
    if (channels != 1) {  // noise on the left, the station heard on the right
        stereo_.resize(2 * frames);
        for (size_t i = 0; i < frames; ++i) {
            stereo_[2 * i] = noise();
            stereo_[2 * i + 1] = heard_[i];
        }
        out = stereo_.data();
    }
    platform::sound::floatToPcm(out, frames * channels, 16, reinterpret_cast<uint8_t*>(dst));
    if (all)
        ended_ = true;
}
