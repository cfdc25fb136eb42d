#include "platform/instance/NamedLock.h"
#include "platform/instance/RuntimeName.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

int openLockFile(const std::string& name)
{
    fs::path file = NamedLock::LockFile(name);
    return ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
}

}  // namespace

NamedLock::NamedLock(std::string name) : name_(std::move(name)) {}

NamedLock::~NamedLock() { Delete(); }

fs::path NamedLock::LockFile(const std::string& name)
{
    fs::path f = RuntimeFile("atom", name);
    f += ".lock";
    return f;
}

bool NamedLock::Exists(const std::string& name)
{
    int fd = openLockFile(name);
    if (fd < 0)
        return true;  // a lock file we may not open could be someone's: treat the name as taken
    bool held = false;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        held = true;
        break;
    }
    ::close(fd);  // also drops the probe's lock
    return held;
}

bool NamedLock::Add()
{
    if (fd_ >= 0)
        return true;
    int fd = openLockFile(name_);
    if (fd < 0)
        return false;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void NamedLock::Delete()
{
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

namespace {
std::mutex atomsMutex;
std::map<std::string, std::unique_ptr<NamedLock>>& atoms()
{
    static std::map<std::string, std::unique_ptr<NamedLock>> table;
    return table;
}
}  // namespace

bool FindAtom(const std::string& name) { return NamedLock::Exists(name); }

bool AddAtom(const std::string& name)
{
    std::lock_guard lock(atomsMutex);
    auto key = NamedLock::LockFile(name).string();
    auto& slot = atoms()[key];
    if (!slot)
        slot = std::make_unique<NamedLock>(name);
    if (slot->Add())
        return true;
    atoms().erase(key);
    return false;
}

void DeleteAtom(const std::string& name)
{
    std::lock_guard lock(atomsMutex);
    atoms().erase(NamedLock::LockFile(name).string());
}

}  // namespace platform
