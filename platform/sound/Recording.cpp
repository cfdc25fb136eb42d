#include "Recording.h"

#include "PlayedMark.h"
#include "WavFile.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace platform::sound {

namespace {

constexpr size_t kChunkFrames = 4096;

// A file that says it is a WAV file, by its first bytes or its name.
bool looksLikeWav(const std::filesystem::path& file)
{
    std::string ext = file.extension().string();
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".wav")
        return true;
    std::ifstream in(file, std::ios::binary);
    char id[4] = {};
    in.read(id, 4);
    return in.gcount() == 4 && (std::memcmp(id, "RIFF", 4) == 0 || std::memcmp(id, "RIFX", 4) == 0);
}

}  // namespace

ChannelChoice channelChoiceFromEnv()
{
    const char* v = std::getenv("WAVE_IN_CHANNEL");
    return v && std::string(v) == "right" ? ChannelChoice::Right : ChannelChoice::Left;
}

std::unique_ptr<Recording> Recording::open(const std::filesystem::path& file, uint32_t rate, uint16_t channels,
                                           ChannelChoice choice, std::string* error, bool* cutShort)
{
    const std::string name = "Recording \"" + file.string() + "\"";
    if (cutShort)
        *cutShort = false;
    {
        std::ifstream probe(file, std::ios::binary);
        if (!probe) {
            *error = name + " cannot be opened.";
            return nullptr;
        }
        probe.seekg(0, std::ios::end);
        if (probe.tellg() <= 0) {
            *error = name + " is empty.";
            return nullptr;
        }
    }
    // A WAV file's own header is judged first, so a damaged one gets a precise reason.
    if (looksLikeWav(file)) {
        WavInfo info;
        if (!readWavInfo(file, &info, error))
            return nullptr;
        if (cutShort)
            *cutShort = info.cutShort;
    }
    if (channels != 1 && channels != 2) {
        *error = name + ": only mono or stereo can be delivered.";
        return nullptr;
    }
    SF_INFO si{};
    SNDFILE* sf = sf_open(file.c_str(), SFM_READ, &si);
    if (!sf) {
        *error = name + " is not a recording that can be read (" + sf_strerror(nullptr) + ").";
        return nullptr;
    }
    if (si.channels < 1 || si.samplerate < 1) {
        sf_close(sf);
        *error = name + " has no channels or no sampling rate.";
        return nullptr;
    }
    std::unique_ptr<Recording> r(new Recording);
    r->file_ = sf;
    r->fileRate_ = uint32_t(si.samplerate);
    r->fileFrames_ = si.frames > 0 ? uint64_t(si.frames) : 0;
    r->rate_ = rate;
    r->fileChannels_ = si.channels;
    r->channels_ = channels;
    r->choice_ = choice;
    if (r->fileRate_ != rate) {
        soxr_error_t e = nullptr;
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        r->resampler_ = soxr_create(double(r->fileRate_), double(rate), channels, &e, nullptr, &quality, nullptr);
        if (!r->resampler_ || e) {
            *error = name + ": the rate cannot be converted (" + soxr_strerror(e) + ").";
            return nullptr;
        }
    }
    return r;
}

Recording::~Recording()
{
    if (resampler_)
        soxr_delete(resampler_);
    if (file_)
        sf_close(file_);
}

size_t Recording::readFile(float* dst, size_t frames)
{
    if (fileEnded_)
        return 0;
    raw_.resize(frames * size_t(fileChannels_));
    const sf_count_t got = sf_readf_float(file_, raw_.data(), sf_count_t(frames));
    const size_t n = got > 0 ? size_t(got) : 0;
    if (n < frames)
        fileEnded_ = true;
    const size_t fc = size_t(fileChannels_);
    const size_t pick = fc >= 2 && choice_ == ChannelChoice::Right ? 1 : 0;
    for (size_t i = 0; i < n; ++i) {
        const float* in = &raw_[i * fc];
        if (channels_ == 1) {
            dst[i] = in[pick];
        } else {
            dst[2 * i] = in[0];
            dst[2 * i + 1] = fc >= 2 ? in[1] : in[0];
        }
    }
    return n;
}

size_t Recording::read(float* dst, size_t frames)
{
    if (!resampler_)
        return readFile(dst, frames);
    const size_t ch = channels_;
    size_t done = 0;
    while (done < frames) {
        const size_t pendingFrames = (pendingEnd_ - pendingAt_) / ch;
        if (pendingFrames > 0) {
            const size_t take = std::min(pendingFrames, frames - done);
            std::copy_n(pending_.begin() + long(pendingAt_), take * ch, dst + done * ch);
            pendingAt_ += take * ch;
            done += take;
            continue;
        }
        if (drained_)
            break;
        // The buffer keeps its size from step to step (only what the resampler writes is used), so
        // that a step that brings little does not clear the whole buffer again.
        if (pending_.size() < kChunkFrames * 4 * ch)
            pending_.resize(kChunkFrames * 4 * ch);
        pendingAt_ = 0;
        size_t out = 0;
        if (!fileEnded_) {
            // A file of a very low rate gives thousands of frames for each of its own: take only as many
            // of its frames as about fill the pending buffer, so that memory stays bounded whatever rate
            // the file's header names.
            const size_t take = size_t(std::clamp<uint64_t>(uint64_t(kChunkFrames) * 4 * fileRate_ / rate_, 1,
                                                            kChunkFrames));
            mapped_.resize(take * ch);
            const size_t n = readFile(mapped_.data(), take);
            size_t used = 0;
            while (used < n) {
                size_t idone = 0, odone = 0;
                const size_t room = pending_.size() / ch - out;
                if (room == 0)
                    pending_.resize(pending_.size() * 2);
                soxr_process(resampler_, mapped_.data() + used * ch, n - used, &idone, pending_.data() + out * ch,
                             pending_.size() / ch - out, &odone);
                used += idone;
                out += odone;
                if (idone == 0 && odone == 0)
                    break;
            }
        } else {
            // The end: what the resampler still holds comes out.
            size_t odone = 0;
            soxr_process(resampler_, nullptr, 0, nullptr, pending_.data(), pending_.size() / ch, &odone);
            out = odone;
            if (odone == 0)
                drained_ = true;
        }
        pendingEnd_ = out * ch;
    }
    return done;
}

void floatToPcm(const float* src, size_t samples, uint16_t bits, uint8_t* dst)
{
    for (size_t i = 0; i < samples; ++i) {
        const float x = std::isfinite(src[i]) ? src[i] : 0.0f;
        if (bits == 8) {
            const long v = std::clamp(std::lrint(double(x) * 128.0), -128L, 127L);
            dst[i] = uint8_t(v + 128);
        } else {
            const long v = std::clamp(std::lrint(double(x) * 32768.0), -32768L, 32767L);
            const uint16_t u = uint16_t(int16_t(v));
            dst[2 * i] = uint8_t(u & 0xFF);
            dst[2 * i + 1] = uint8_t(u >> 8);
        }
    }
}

RecordingSource::RecordingSource(std::unique_ptr<Recording> recording, const WaveFormat& format,
                                 std::filesystem::path eofFile)
    : recording_(std::move(recording)), format_(format), eofFile_(std::move(eofFile))
{
}

size_t RecordingSource::read(uint8_t* dst, size_t n)
{
    const size_t frames = n / format_.blockAlign;
    size_t got = 0;
    if (!ended_) {
        frames_.resize(frames * format_.channels);
        got = recording_->read(frames_.data(), frames);
        floatToPcm(frames_.data(), got * format_.channels, format_.bitsPerSample, dst);
        if (got < frames) {
            ended_ = true;
            if (!eofFile_.empty())
                makeMarkFile(eofFile_);
        }
    }
    const size_t bytes = got * format_.blockAlign;
    sound_ += bytes;
    std::memset(dst + bytes, silenceByte(format_), n - bytes);
    return n;
}

// The converter keeps its state from piece to piece, so what is passed over is converted too.
void RecordingSource::skip(uint64_t n)
{
    skipByReading(n, [this] { return ended_; });
}

}  // namespace platform::sound
