#pragma once
// How much of its recording (or band) an input has played, for a program that shows the progress
// of a long run: WAVE_IN_PLAYED_FILE names a file the input rewrites a few times a second with the
// seconds played, one number and a newline in a field of fixed width. orvhost sets it, and reads
// it, when its standard error is a terminal.
// The mark files lie in a folder others may write in, so a name is never followed when it is a link
// and a file is only ever made new (never one found there, which someone else may have put there).
#include <chrono>
#include <cstdint>
#include <filesystem>
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

// Makes the empty file that tells another process something has happened (the end of a recording:
// WAVE_IN_EOF_FILE), made new with mode 0600; a name that is already there, file or link, is left as
// it is and nothing is written through it. True when the file is there now as one this call made or
// an earlier mark did.
bool makeMarkFile(const std::filesystem::path& file);

}  // namespace platform::sound
