#pragma once
// The packet decoder's signal path for one block of 4096 samples at 44100 Hz: the 300 bit/s
// demodulator (band-pass, zero crossings, its own search for the two tones) or the 1200 bit/s
// demodulator (first difference, low-pass, delay-and-multiply, low-pass, digital phase-locked
// loop), each turning line changes into run lengths for the HDLC frame receiver, whose frames are
// printed here.
#include "DelayMultiply.h"
#include "FIR.h"
#include "PacketDecodeThread.h"
#include "PacketHdlc.h"

#include <cstdint>
#include <memory>

class TPacketDecoder : public TPacketBlockDecoder, private TPacketHdlcSink {
public:
    static constexpr int32_t kBlock = 4096;
    static constexpr double kRate = 44100.0;

    explicit TPacketDecoder(TPacketOutput& out);

    void DecodeBlock(const int16_t* block, bool mode300) override;
    bool Receiving() const override { return hdlc_.Receiving(); }

    TPacketHdlc& Hdlc() { return hdlc_; }

    // The two tones the last 300 bit/s block found (0, 0 when none), unrounded.
    double LowerTone() const { return lower_; }
    double UpperTone() const { return upper_; }

private:
    void Demod300(const int16_t* block);
    void Demod1200(const int16_t* block);
    // Zero crossing of the band-pass output between j and j + 1, searched from `start` up; the
    // index j of the crossing, or -1 when the search reaches 4094 without one.
    int32_t FindCrossing(int32_t start, double& t) const;
    bool FindTones(double& f1, double& f2) const;

    void FrameReceived(const uint8_t* bytes, int32_t length, bool fcsGood) override;
    void StatusText(const char* text) override;

    TPacketOutput& out_;
    TPacketHdlc hdlc_;
    TFIRRec bandPass_;
    TFIRRec lowPass1_;
    TFIRRec lowPass2_;

    // Shared by both modes. Positions count samples from the start of the current block and are
    // shifted by the block length after every block, so 64 bits never run out.
    bool line_ = false;
    int64_t lastChange_ = 0;
    int32_t prevOutput_ = 0;

    // 300 bit/s
    float prevCrossing_ = 0.0f;
    bool pending_ = false;
    double lower_ = 0, upper_ = 0;

    // 1200 bit/s
    int32_t prevRaw_ = 0;
    int32_t lastLow_[7] = {};  // the last seven outputs of the first low-pass
    TDelayMultiply discriminator_{7};
    int64_t lastSampling_ = 0;
    int64_t nextSampling_ = 0;
};

// The block decoder of the decoding thread.
std::unique_ptr<TPacketBlockDecoder> MakePacketDecoder(TPacketOutput& out);
