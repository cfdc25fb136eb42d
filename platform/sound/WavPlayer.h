#pragma once
// Playback of a WAV file on the default wave output, as a media player does it: open a file, play
// from the current position, pause and resume, seek, stop, and a call when playing reached the end.
// Positions and lengths are in samples (frames). All calls on the thread that runs the Qt event loop.
#include "WavFile.h"
#include "WaveOut.h"

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class WavPlayer {
public:
    WavPlayer();
    ~WavPlayer();
    WavPlayer(const WavPlayer&) = delete;
    WavPlayer& operator=(const WavPlayer&) = delete;

    // Reads the file's header (any PCM WAV of 8 or 16 bits, mono or stereo, any rate; of a file cut
    // short, the whole frames it holds); false with the reason for anything else. The position starts at 0.
    bool open(const std::filesystem::path& file, std::string* error);
    // Stops and forgets the file.
    void close();
    bool isOpen() const { return open_; }
    const std::filesystem::path& file() const { return file_; }
    const WaveFormat& format() const { return info_.format; }
    uint32_t lengthSamples() const;
    uint32_t lengthBytes() const { return info_.dataSize; }

    uint32_t position() const;
    // Moves the position; a position beyond the end is refused (false) and nothing changes. A seek
    // while playing stops the playing.
    bool seek(uint32_t samples);

    // Plays from the position (from the start when the position is at the end); false, with the
    // output's error text, when the output cannot be opened.
    bool play(std::string* error = nullptr);
    void pause();
    // Goes on after a pause; plays when nothing is paused.
    bool resume();
    // Stops playing and keeps the position reached.
    void stop();
    bool playing() const { return out_ != 0 && !paused_; }
    bool paused() const { return out_ != 0 && paused_; }

    // Playing reached the end of the file.
    std::function<void()> onComplete;

private:
    void fill(WaveHeader* header);
    void bufferDone(WaveHeader* header);
    void closeOutput();

    bool open_ = false;
    std::filesystem::path file_;
    WavInfo info_;
    std::unique_ptr<QObject> context_;
    WaveOutHandle out_ = 0;
    bool paused_ = false;
    uint32_t startSample_ = 0;  // where the current playing began
    uint32_t stoppedAt_ = 0;    // the position while not playing
    uint64_t nextByte_ = 0;     // the next data byte to read into a buffer
    std::ifstream in_;          // the file, open while playing
    int queued_ = 0;
    std::vector<std::vector<uint8_t>> buffers_;
    std::vector<WaveHeader> headers_;
};

}  // namespace platform
