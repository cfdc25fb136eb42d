#pragma once
// Input devices that are not sound cards: a sample source (a WAV file's data, or bytes in
// memory) played into the queued buffers at a chosen pace; and the output that plays at once.
#include "InputHook.h"
#include "WaveStream.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace platform::sound {

class SampleSource {
public:
    virtual ~SampleSource() = default;
    // Writes up to n bytes to dst and returns how many; fewer than n only when the source has
    // ended and delivers no silence.
    virtual size_t read(uint8_t* dst, size_t n) = 0;
    // Passes over n bytes as read would, without handing them out: the sound no buffer was queued
    // for, or that played while the capture was stopped. Memory stays bounded however much it is.
    virtual void skip(uint64_t n) = 0;
    // The bytes of the source's own sound read or passed over so far; the silence that follows
    // its end is not counted.
    virtual uint64_t soundBytes() const { return sound_; }

protected:
    // Reads n bytes in pieces and lets them go, until done() says the sound has ended. The piece's
    // buffer is made once and kept: the input may pass over sound in every round of a long hold.
    template <class Done>
    void skipByReading(uint64_t n, Done done)
    {
        if (n > 0 && scratch_.empty())
            scratch_.resize(kScratchBytes);
        while (n > 0 && !done()) {
            const size_t got = read(scratch_.data(), static_cast<size_t>(std::min<uint64_t>(n, kScratchBytes)));
            if (got == 0)
                break;
            n -= std::min<uint64_t>(n, got);
        }
    }
    static constexpr size_t kScratchBytes = 1 << 16;  // a multiple of every block alignment
    uint64_t sound_ = 0;

private:
    std::vector<uint8_t> scratch_;
};

// The data chunk of a WAV file, then silence; creates eofFile (when not empty) once, when the
// last byte of data has been read.
class FileSource : public SampleSource {
public:
    FileSource(const std::filesystem::path& file, uint64_t offset, uint32_t size, uint8_t silence,
               std::filesystem::path eofFile);
    bool ok() const { return ok_; }
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override;

private:
    void reachedEnd();
    std::ifstream in_;
    uint64_t remaining_;
    uint8_t silence_;
    std::filesystem::path eofFile_;
    bool ended_ = false;
    bool ok_ = false;
};

// The program's own input (InputHook.h) in the opened format; creates eofFile once at its end. The
// source holds the input from its making to its end; held() is false when another listener has it.
class HookSource : public SampleSource {
public:
    HookSource(const KorvantaInputHook& hook, const WaveFormat& format, std::filesystem::path eofFile);
    ~HookSource() override;
    HookSource(const HookSource&) = delete;
    HookSource& operator=(const HookSource&) = delete;
    bool held() const { return held_; }
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override;

private:
    KorvantaInputHook hook_;
    WaveFormat format_;
    std::filesystem::path eofFile_;
    bool held_ = true;
    bool ended_ = false;
    std::vector<int16_t> frames_;
};

class MemorySource : public SampleSource {
public:
    MemorySource(std::vector<uint8_t> bytes, bool silenceAtEnd, uint8_t silence);
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override;

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
    bool silenceAtEnd_;
    uint8_t silence_;
};

struct Pacing {
    bool fast = false;    // only into queued buffers, as fast as they come
    double factor = 1.0;  // else this many times real time, samples without a buffer lost
};
// WAVE_IN_PACE: unset or unreadable = real time, "fast", or a factor above 0.
Pacing pacingFromEnv();

class PacedInput : public Backend {
public:
    PacedInput(std::unique_ptr<SampleSource> source, Pacing pacing);
    void run(WaveStream& stream) override;

private:
    void runFast(WaveStream& stream);
    void runTimed(WaveStream& stream);
    std::unique_ptr<SampleSource> source_;
    Pacing pacing_;
};

// Output that plays every written buffer at once (the scripted output device).
class InstantOutput : public Backend {
public:
    void run(WaveStream& stream) override;
};

}  // namespace platform::sound
