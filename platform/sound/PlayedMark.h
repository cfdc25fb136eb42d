#pragma once
// How much of its recording (or band) an input has played, for a program that shows the progress
// of a long run: WAVE_IN_PLAYED_FILE names a file the input rewrites a few times a second with the
// seconds played, one number and a newline in a field of fixed width. orvhost sets it, and reads
// it, when its standard error is a terminal.
#include <chrono>
#include <cstdint>
#include <string>

namespace platform::sound {

class PlayedMark {
public:
    PlayedMark();  // the file of the environment; does nothing when it is unset
    ~PlayedMark();
    PlayedMark(const PlayedMark&) = delete;
    PlayedMark& operator=(const PlayedMark&) = delete;
    // bytes of the opened format played so far.
    void played(uint64_t bytes, uint32_t bytesPerSecond);

private:
    void write(double seconds);
    int fd_ = -1;
    std::chrono::steady_clock::time_point last_{};
    double seconds_ = 0;
};

// The seconds a mark file holds; negative when it holds none.
double readPlayedMark(const std::string& file);

}  // namespace platform::sound
