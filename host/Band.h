#pragma once
// The simulated band: stations on their frequencies, each a recording that runs on its own clock,
// as a real band does whether anyone listens or not. The primary receiver hears the station it is
// tuned to (noise elsewhere) and its signal level follows: the station's level while tuned to it, the
// noise level elsewhere. The receiver library's fake pool is written from the same levels, so a
// plug-in's own receiver reads them too.
//
// Band file, one station a line, "#" starts a comment:
//   <frequency in Hz> <recording> [<level>]
// a relative recording path is taken from the band file's folder; the level is on the receiver
// library's strength scale (S9 = 32768, 512 a dB), S9 + 20 dB when left out. A stereo recording
// plays one channel, the same for every station: the left, or the right when chosen.
#include "platform/sound/Recording.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct BandStation {
    int32_t hz = 0;
    std::filesystem::path recording;
    int32_t level = 0;
    bool onAir = true;
};

class Band {
public:
    static constexpr int32_t kStationLevel = 32768 + 20 * 512;  // S9 + 20 dB
    static constexpr int32_t kNoiseLevel = 32768 - 40 * 512;    // S9 - 40 dB
    static constexpr double kNoiseAmplitude = 0.02;             // of full scale, where no station is

    // Parses a band file's text; base is the folder of relative recording paths.
    static std::optional<std::vector<BandStation>> parse(const std::string& text, const std::filesystem::path& base,
                                                         std::string* error);

    Band(std::vector<BandStation> stations, platform::sound::ChannelChoice choice);
    // Whether every station's recording can be read; the first that cannot is named. With warnings,
    // also a line for each station whose recording holds only silence on the channel played.
    bool check(std::string* error, std::vector<std::string>* warnings = nullptr) const;

    const std::vector<BandStation>& stations() const { return stations_; }
    // The frequency the primary receiver is tuned to.
    void tune(int32_t hz);
    int32_t tuned() const { return tuned_; }
    // A station goes off the air or comes back; false when no station has that frequency.
    bool setOnAir(int32_t hz, bool on);
    // The level a receiver tuned to hz reads.
    int32_t levelAt(int32_t hz) const;
    int32_t level() const { return levelAt(tuned_); }
    // The receiver library's fake pool: receivers 1..receivers read the band's levels.
    std::string fakePool(int receivers) const;

    // The band has one listener at a time (the clocks move on with every read, so two listeners would
    // hear it at double speed): claim is true when it was free and is now the caller's; release frees it.
    bool claim();
    void release();
    bool claimed() const { return claimed_; }

    // The primary receiver's audio, frames at rate: the tuned station (or noise) alone in mono, on the
    // right channel in stereo with noise on the left. Every station's recording moves on by frames.
    void read(uint32_t rate, uint16_t channels, int16_t* dst, size_t frames);
    // Every station's recording has been played to its end.
    bool ended() const { return ended_; }

private:
    struct Playing {
        std::unique_ptr<platform::sound::Recording> recording;
        bool ended = false;
    };
    float noise();

    std::vector<BandStation> stations_;
    platform::sound::ChannelChoice choice_;
    std::atomic<int32_t> tuned_{0};
    mutable std::mutex mutex_;  // the on-air flags, between the GUI thread and the device's
    std::vector<Playing> playing_;  // the device thread's
    uint32_t rate_ = 0;
    std::vector<float> scratch_, heard_, stereo_;
    uint32_t seed_ = 0x2545F491u;
    std::atomic<bool> ended_{false};
    std::atomic<bool> claimed_{false};
};
