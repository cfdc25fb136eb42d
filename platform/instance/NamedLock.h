#pragma once
// Machine-wide named flags for the single-instance rules ("only one decoder window at a time").
//
// A name is taken by holding an exclusive flock on a file named after it in $XDG_RUNTIME_DIR (or /tmp).
// The kernel drops the lock when the holder ends in any way, so a crashed program leaves nothing
// behind. Every NamedLock has its own open file, so two holders in one process (two plug-in
// libraries, say) exclude each other as two processes do. Names compare without regard to ASCII case.
#include <filesystem>
#include <map>
#include <string>

namespace platform {

class NamedLock {
public:
    explicit NamedLock(std::string name);
    ~NamedLock();  // releases the name if this object holds it
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // True while anyone (another process, another object of this process) holds the name.
    static bool Exists(const std::string& name);
    // Takes the name; false when it is held elsewhere or the lock file cannot be opened.
    // Taking a name this object already holds succeeds.
    bool Add();
    // Releases the name if held; nothing otherwise.
    void Delete();
    bool Held() const { return fd_ >= 0; }
    const std::string& Name() const { return name_; }

    // The file that stands for a name.
    static std::filesystem::path LockFile(const std::string& name);

private:
    std::string name_;
    int fd_ = -1;
};

// Atom-style calls by name, for code that adds a name in one place and deletes it in another.
// Each module that links this library keeps its own table of the names it holds.
bool FindAtom(const std::string& name);    // the name is held by anyone
bool AddAtom(const std::string& name);     // take it; false when held elsewhere
void DeleteAtom(const std::string& name);  // release what this module holds under the name

}  // namespace platform
