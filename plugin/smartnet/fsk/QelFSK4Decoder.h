#pragma once
// Four-level FSK slicer: turns a single channel of 16-bit samples into two-bit symbols, either from
// the signal levels between a tracked upper and lower envelope or from the height of the derivative's
// peaks, and recovers the symbol clock with a digital phase-locked loop.
#include <cstdint>
#include <functional>

class TQelFSK4Decoder {
public:
    int32_t Attack() const { return attack_; }
    void SetAttack(int32_t v) { attack_ = v < 1 ? 1 : v; }
    uint32_t BaudRate() const { return baudRate_; }
    void SetBaudRate(uint32_t v) { baudRate_ = v == 0 ? 1 : v; }
    uint32_t DPLLSpeed() const { return dpllSpeed_; }
    void SetDPLLSpeed(uint32_t v) { dpllSpeed_ = v == 0 ? 1 : v; }
    int32_t Decay() const { return decay_; }
    void SetDecay(int32_t v) { decay_ = v < 1 ? 1 : v; }
    uint32_t SamplingRate() const { return samplingRate_; }
    void SetSamplingRate(uint32_t v) { samplingRate_ = v == 0 ? 1 : v; }

    // Percent of the envelope a derivative peak must pass for a jump of one, two or three levels.
    int32_t DerThrs1Bit = 17;
    int32_t DerThrs2Bit = 50;
    int32_t DerThrs3Bit = 83;
    // Slice the first difference of the signal instead of its levels.
    bool Derivative = false;

    // A symbol (0 to 3) at its sampling instant.
    std::function<void(TQelFSK4Decoder* sender, int32_t value)> OnNewDibit;
    // A level change that moved the clock: the sample counter and the symbol before the change.
    std::function<void(TQelFSK4Decoder* sender, uint32_t position, int32_t value)> OnTransition;

    // Slices count consecutive samples of one channel, firing the events from inside the call.
    void ProcessBuffer(const int16_t* samples, uint32_t count);

    // Working state, for tests.
    uint64_t SampleCounter() const { return counter_; }
    int32_t Symbol() const { return symbol_; }
    int32_t UpperEnvelope() const { return upper_; }
    int32_t LowerEnvelope() const { return lower_; }
    int64_t ClockPhase() const { return phase_; }

private:
    struct Run;
    template <bool Derivative>
    uint32_t scan(const int16_t* samples, uint32_t n, uint32_t count);

    int32_t attack_ = 10;
    uint32_t baudRate_ = 1600;
    uint32_t dpllSpeed_ = 12;
    int32_t decay_ = 100000;
    uint32_t samplingRate_ = 44100;

    // The counter and the clock phase are 64-bit so that the clock keeps running past the point where
    // 32-bit products of them would wrap (about 37 minutes of input at 44100 samples/s).
    uint64_t counter_ = 0;
    uint64_t lastChange_ = 0;
    int32_t symbol_ = 0;
    int32_t upper_ = 0;
    int32_t lower_ = 0;
    int64_t phase_ = 0;
    int32_t previous_ = 0;
    int32_t last_ = 0;
    int32_t beforeLast_ = 0;
    // Calls of ProcessBuffer so far: an event handler that feeds samples of its own is noticed.
    uint32_t entries_ = 0;
};
