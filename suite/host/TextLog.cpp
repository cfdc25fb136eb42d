#include "TextLog.h"

#include "platform/ui/DateTimeText.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string canonicalName(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? std::string() : p.string();
}

}  // namespace

TTextLog::TTextLog() : DateTimeText(platform::NowDateTimeText) {}

TTextLog::~TTextLog()
{
    if (file_)
        std::fclose(file_);
}

bool TTextLog::fail(const std::string& action, int error)
{
    error_ = "Cannot " + action + " the log file \"" + fileName_ + "\": " + std::strerror(error);
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    return false;
}

bool TTextLog::Start(const std::string& fileName)
{
    if (file_)
        Stop();
    fileName_ = fileName;
    error_.clear();
    file_ = std::fopen(fileName.c_str(), "ab");
    if (!file_)
        return fail("open", errno);
    canonical_ = canonicalName(fileName);
    return Write("\r\nLogging started " + DateTimeText() + ".\r\n\r\n");
}

bool TTextLog::Write(std::string_view bytes)
{
    if (!file_)
        return false;
    errno = 0;
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file_);
    if (written != bytes.size() || std::fflush(file_) != 0)
        return fail("write to", errno ? errno : EIO);
    return true;
}

bool TTextLog::Stop()
{
    if (!file_)
        return true;
    const bool written = Write("\r\n\r\nLogging stopped " + DateTimeText() + ".\r\n");
    if (file_ && std::fclose(file_) != 0 && written) {
        file_ = nullptr;
        return fail("close", errno);
    }
    file_ = nullptr;
    return written;
}

bool TTextLog::IsLogFile(const std::string& path) const
{
    if (!file_ || canonical_.empty())
        return false;
    return canonicalName(path) == canonical_;
}
