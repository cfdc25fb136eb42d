#include "PlayedMark.h"

#include "platform/text/NumberText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::sound {

namespace {
constexpr auto kEvery = std::chrono::milliseconds(200);
constexpr int kWidth = 16;  // the seconds with 3 decimals, right-aligned, and '\n': rewritten in place, never shorter
constexpr int kNewFile = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
}  // namespace

PlayedMark::PlayedMark()
{
    const char* file = std::getenv("WAVE_IN_PLAYED_FILE");
    if (!file || !*file)
        return;
    fd_ = ::open(file, kNewFile, 0600);
    // The mark of an input opened before this one (an applet reopens its input): that name, never
    // what it may point to, is taken away and the file made anew. A name that cannot be taken away
    // (someone else's, in a shared folder) leaves the input without a mark.
    if (fd_ < 0 && errno == EEXIST && ::unlink(file) == 0)
        fd_ = ::open(file, kNewFile, 0600);
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
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
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

bool makeMarkFile(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), kNewFile, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    struct stat st {};
    return errno == EEXIST && ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid();
}

}  // namespace platform::sound
