#pragma once
// A recording as a program's input: any file libsndfile reads (WAV of 8, 16, 24 or 32-bit integer or
// float samples, FLAC, ...), converted to the rate and channel count the program opened. The rate is
// converted with libsoxr only when it differs; mono feeds both channels of a stereo open, and a
// stereo file opened as mono gives the chosen channel.
#include "Sources.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;
struct soxr;

namespace platform::sound {

enum class ChannelChoice { Left, Right };
// WAVE_IN_CHANNEL: "right" takes the right channel of a stereo file for a mono open; else the left.
ChannelChoice channelChoiceFromEnv();

class Recording {
public:
    // Opens the file for reading at rate with channels (1 or 2); nullptr with *error when it cannot.
    // *cutShort tells whether a WAV file holds less than its header claims.
    static std::unique_ptr<Recording> open(const std::filesystem::path& file, uint32_t rate, uint16_t channels,
                                           ChannelChoice choice, std::string* error, bool* cutShort = nullptr);
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    // Up to frames frames of interleaved samples in -1..1; fewer only at the end of the recording.
    size_t read(float* dst, size_t frames);
    uint32_t fileRate() const { return fileRate_; }
    // The frames the file holds, as its reader counts them.
    uint64_t fileFrames() const { return fileFrames_; }
    // The recording's length; 0 when the file does not tell it (a stream reports the largest count).
    double seconds() const { return fileFrames_ > 0 && fileFrames_ < (uint64_t(1) << 50) ? double(fileFrames_) / fileRate_ : 0; }
    int fileChannels() const { return fileChannels_; }

private:
    Recording() = default;
    size_t readFile(float* dst, size_t frames);  // the file's frames mapped to the output channels

    sf_private_tag* file_ = nullptr;
    soxr* resampler_ = nullptr;
    uint32_t fileRate_ = 0;
    uint64_t fileFrames_ = 0;
    uint32_t rate_ = 1;  // the opened rate
    int fileChannels_ = 0;
    uint16_t channels_ = 1;
    ChannelChoice choice_ = ChannelChoice::Left;
    bool fileEnded_ = false;
    bool drained_ = false;
    std::vector<float> raw_, mapped_, pending_;
    size_t pendingAt_ = 0, pendingEnd_ = 0;  // the converted samples not yet handed out
};

// Samples in -1..1 as PCM of 8 (unsigned) or 16 bits (signed, little-endian), rounded and clipped.
void floatToPcm(const float* src, size_t samples, uint16_t bits, uint8_t* dst);

// A recording converted to the opened format, then silence; creates eofFile once at its end.
class RecordingSource : public SampleSource {
public:
    RecordingSource(std::unique_ptr<Recording> recording, const WaveFormat& format, std::filesystem::path eofFile);
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override;

private:
    std::unique_ptr<Recording> recording_;
    WaveFormat format_;
    std::filesystem::path eofFile_;
    bool ended_ = false;
    std::vector<float> frames_;
};

}  // namespace platform::sound
