#include "RecordingFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t bytes, off_t at)
{
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, data, bytes, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        data += n;
        bytes -= size_t(n);
        at += n;
    }
    return true;
}

}  // namespace

TRecordingFile::~TRecordingFile() { Close(); }

bool TRecordingFile::Create(const std::string& path, const TWaveFileHeader& header, std::string* error)
{
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = "Cannot create file \"" + path + "\". " + std::strerror(errno);
        return false;
    }
    fd_ = fd;
    path_ = path;
    header_ = header;
    header_.SetDataSize(0);
    written_ = 0;
    if (!WriteHeader()) {
        if (error)
            *error = "Cannot write file \"" + path + "\". " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

bool TRecordingFile::WriteHeader()
{
    const auto bytes = header_.Bytes();
    return WriteAll(fd_, bytes.data(), bytes.size(), 0);
}

bool TRecordingFile::Append(const uint8_t* data, size_t bytes, std::string* error)
{
    if (fd_ < 0)
        return false;
    if (bytes == 0)
        return true;
    bool ok = WriteAll(fd_, data, bytes, off_t(TWaveFileHeader::Size + written_));
    if (ok) {
        written_ += bytes;
        header_.SetDataSize(written_ > UINT32_MAX ? UINT32_MAX : uint32_t(written_));
        ok = WriteHeader();
    }
    if (!ok && error)
        *error = "Cannot write file \"" + path_ + "\". " + std::strerror(errno);
    return ok;
}

bool TRecordingFile::Finish()
{
    if (fd_ < 0)
        return false;
    bool ok = ::ftruncate(fd_, off_t(TWaveFileHeader::Size + written_)) == 0;
    ok = WriteHeader() && ok;
    Close();
    return ok;
}

void TRecordingFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
