#include "PlayedMark.h"

#include "platform/text/NumberText.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <fcntl.h>
#include <unistd.h>

namespace platform::sound {

namespace {
constexpr auto kEvery = std::chrono::milliseconds(200);
constexpr int kWidth = 16;  // the seconds with 3 decimals, right-aligned, and '\n': rewritten in place, never shorter
}  // namespace

PlayedMark::PlayedMark()
{
    if (const char* file = std::getenv("WAVE_IN_PLAYED_FILE"); file && *file)
        fd_ = ::open(file, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
}

PlayedMark::~PlayedMark()
{
    if (fd_ >= 0) {
        write(seconds_);  // where it ended, however recent the last mark
        ::close(fd_);
    }
}

void PlayedMark::played(uint64_t bytes, uint32_t bytesPerSecond)
{
    if (fd_ < 0 || bytesPerSecond == 0)
        return;
    seconds_ = double(bytes) / bytesPerSecond;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < kEvery)
        return;
    last_ = now;
    write(seconds_);
}

void PlayedMark::write(double seconds)
{
    std::string text = platform::FixedText(seconds, 3);
    if (text.empty() || text.size() >= size_t(kWidth))
        return;  // no number of seconds that long is played
    text = std::string(size_t(kWidth) - 1 - text.size(), ' ') + text + '\n';
    // A mark that cannot be written shows nobody anything; the input goes on.
    [[maybe_unused]] const ssize_t n = ::pwrite(fd_, text.data(), kWidth, 0);
}

double readPlayedMark(const std::string& file)
{
    char text[kWidth + 1] = {};
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const ssize_t n = ::pread(fd, text, kWidth, 0);
    ::close(fd);
    if (n != kWidth || text[kWidth - 1] != '\n')
        return -1;
    std::string_view number(text, kWidth - 1);
    number.remove_prefix(std::min(number.find_first_not_of(' '), number.size()));
    const auto seconds = platform::ParseNumber(number);
    return seconds && *seconds >= 0 ? *seconds : -1;
}

}  // namespace platform::sound
