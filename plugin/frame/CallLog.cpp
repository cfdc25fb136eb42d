#include "CallLog.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"

TCallLog::~TCallLog() { Close(); }

void TCallLog::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool TCallLog::Open(const std::filesystem::path& file, int filterIndex, const std::string& csvHeader)
{
    Close();
    filterIndex_ = filterIndex;
    fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_DSYNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        platform::MessageBox::Show("Cannot access the log file!", "Fatal Error",
                                   platform::MB_OK | platform::MB_ICONERROR);
        return false;
    }
    struct stat st {};
    if (filterIndex == lfCommaSeparated && ::fstat(fd_, &st) == 0 && st.st_size == 0)
        return WriteOrClose(csvHeader);
    return true;
}

bool TCallLog::LogFileClick(bool checked, bool started, std::filesystem::path& fileName, int& filterIndex,
                            const TChooseFile& chooseFile, const std::string& csvHeader)
{
    if (!checked) {
        Close();
        return false;
    }
    if (started && (!chooseFile || !chooseFile(fileName, filterIndex)))
        return false;
    return Open(fileName, filterIndex, csvHeader);
}

void PrintCallHeadless(const std::string& line)
{
    std::string plain = line;
    std::erase(plain, '\r');
    platform::headlessPrint(plain);
}

bool TCallLog::Append(const std::string& line)
{
    if (fd_ < 0)
        return false;
    return WriteOrClose(line);
}

bool TCallLog::WriteOrClose(const std::string& text)
{
    const char* p = text.data();
    size_t n = text.size();
    while (n > 0) {
        ssize_t put = ::write(fd_, p, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            platform::MessageBox::Show("Error while writing to the log file!", "Fatal Error",
                                       platform::MB_OK | platform::MB_ICONERROR);
            Close();
            return false;
        }
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}
