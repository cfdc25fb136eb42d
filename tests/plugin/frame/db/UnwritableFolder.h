#pragma once
// Makes a folder one the test process cannot create files in, for the database tests of read-only
// folders: the folder loses its write permission and, when the process runs as root (who writes
// anywhere), the thread gives up the capability that overrides file permissions until the object
// goes. Works() tells whether it took; Why() says why not.
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

class UnwritableFolder {
public:
    explicit UnwritableFolder(std::filesystem::path dir) : dir_(std::move(dir))
    {
        ::stat(dir_.c_str(), &before_);
        if (::chmod(dir_.c_str(), 0555) != 0) {
            why_ = "the folder's permissions cannot be changed";
            return;
        }
        if (::geteuid() == 0 && !DropOverride()) {
            why_ = "running as root, and the capability to override permissions cannot be given up";
            return;
        }
        const std::filesystem::path probe = dir_ / ".write-probe";
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            why_ = "files can still be created in a folder without write permission here";
            return;
        }
        works_ = true;
    }
    ~UnwritableFolder()
    {
        if (dropped_)
            ::syscall(SYS_capset, &header_, saved_);
        ::chmod(dir_.c_str(), before_.st_mode & 07777);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;

    bool Works() const { return works_; }
    const std::string& Why() const { return why_; }

private:
    bool DropOverride()
    {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return false;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        if (::syscall(SYS_capset, &header_, lowered) != 0)
            return false;
        dropped_ = true;
        return true;
    }

    std::filesystem::path dir_;
    struct stat before_ {};
    bool works_ = false, dropped_ = false;
    std::string why_;
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
};
