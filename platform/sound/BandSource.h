#pragma once
// orvhost's simulated band as another process hears it (Quenda's applets): the band's server on a
// local socket (BandWire.h), its 16-bit frames put in the opened format the way the program's own
// input is (HookSource). When the band ends, or its server goes away, the source ends: eofFile is
// created once, and silence follows when the server has gone.
#include "Sources.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace platform::sound {

class BandSource : public SampleSource {
public:
    // Whether path names a socket (else the band is not listed as a device).
    static bool isServed(const std::string& path);
    // Connects to the server at path and asks for format's rate and channels. On failure nullptr, with
    // *code kWaveAllocated (another listener has the band), kWaveBadFormat (the server refuses the
    // format) or kWaveError (no server, or it does not answer), and *text saying which.
    static std::unique_ptr<BandSource> open(const std::string& path, const WaveFormat& format,
                                            std::filesystem::path eofFile, uint32_t* code, std::string* text);
    ~BandSource() override;
    BandSource(const BandSource&) = delete;
    BandSource& operator=(const BandSource&) = delete;
    size_t read(uint8_t* dst, size_t n) override;
    void skip(uint64_t n) override { frames_.skip(n); }
    uint64_t soundBytes() const override { return frames_.soundBytes(); }

private:
    BandSource(int fd, const WaveFormat& format, std::filesystem::path eofFile);
    static void readFrames(void* context, uint32_t rate, uint16_t channels, int16_t* dst, size_t frames);
    static int hasEnded(void* context);

    int fd_;
    bool ended_ = false;  // the band has come to its end
    bool gone_ = false;   // the server has gone (or broke the exchange)
    std::vector<uint8_t> wire_;
    HookSource frames_;  // last: it reads through this object
};

}  // namespace platform::sound
