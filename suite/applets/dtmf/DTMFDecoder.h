#pragma once
// The DTMF decoder's signal path: per capture buffer, frames go through one of two detection
// methods (a 256-point spectrum with peak search, or Goertzel levels at the eight DTMF tones), and
// one debouncer turns the frames' symbols into characters and line breaks.
#include "DFT.h"
#include "FFT.h"

#include <cstdint>
#include <functional>

constexpr uint32_t kDTMFRate = 11025;
constexpr int32_t kDTMFBufferSamples = 2048;
constexpr double kDTMFLowTones[4] = {697, 770, 852, 941};
constexpr double kDTMFHighTones[4] = {1209, 1336, 1477, 1633};

// The symbol of a code (bit r: low tone of row r, bit 4 + c: high tone of column c); ' ' for none.
char DTMFSymbol(uint8_t code);

class TDTMFDecoder {
public:
    TDTMFDecoder();

    // Method 1 (spectrum) when true, method 2 (Goertzel) otherwise; taken at the next buffer.
    bool Method1 = true;

    // Decodes one capture buffer: method 1 on frames of 256 starting every 128 samples, method 2 on
    // frames of 300 starting every 150 (11 of them in a buffer of 2048); frames never span buffers.
    void ProcessBuffer(const int16_t* samples, size_t count);

    // The symbol of one frame (256 or 300 samples); ' ' for none.
    char Method1Symbol(const int16_t* frame);
    char Method2Symbol(const int16_t* frame);

    // One frame's symbol through the debouncer.
    void Debounce(char symbol);
    // "&New": nothing is printed on an empty line, and no line break is owed.
    void ResetLine();

    // A symbol to print (after six equal frames), and a line to end (after a still burst).
    std::function<void(char)> OnSymbol;
    std::function<void()> OnLineBreak;

    int32_t FrameCounter() const { return counter_; }
    char LastSymbol() const { return last_; }

private:
    TFFTRec fft_;
    TDFTRec dft_;
    int32_t counter_ = 0;
    char last_ = ' ';
    bool break_ = true;      // a line break was written since the symbol last changed
    bool emptyLine_ = true;  // nothing was printed since the last line break
};
