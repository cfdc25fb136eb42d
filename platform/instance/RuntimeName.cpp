#include "platform/instance/RuntimeName.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

// Whether path is a folder of this user's, not a link, that no one else may enter or write in.
bool OwnFolder(const fs::path& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

}  // namespace

fs::path UserFolderIn(const fs::path& base)
{
    const fs::path folder = base / ("korvanta-" + std::to_string(::getuid()));
    ::mkdir(folder.c_str(), 0700);  // there already (ours, or someone's): checked below
    if (OwnFolder(folder))
        return folder;
    // The name is taken: a folder of this process's own instead, made once.
    static std::mutex mutex;
    static std::map<fs::path, fs::path> own;
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = own.find(base); it != own.end())
        return it->second;
    std::string name = (folder.string() + "-XXXXXX");
    const bool made = ::mkdtemp(name.data()) != nullptr;
    std::fprintf(stderr, "%s: %s is not a folder of this user's alone; %s\n", program_invocation_short_name,
                 folder.c_str(),
                 made ? ("using " + name + ", where other programs of this user are not found").c_str()
                      : ("and no folder of its own can be made there either: " + std::string(std::strerror(errno))).c_str());
    // Where nothing can be made: a path below a file, which no one can make either.
    return own[base] = made ? fs::path(name) : fs::path("/dev/null/korvanta");
}

namespace {

// $XDG_RUNTIME_DIR when it is an existing absolute folder; empty when not.
fs::path XdgRuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    return runtime && *runtime == '/' && fs::is_directory(runtime, ec) ? fs::path(runtime) : fs::path();
}

}  // namespace

fs::path RuntimeFolder()
{
    const fs::path runtime = XdgRuntimeFolder();
    return runtime.empty() ? UserFolderIn("/tmp") : runtime;
}

std::string RuntimeFilePrefix(const std::string& kind)
{
    std::string prefix = "korvanta-";
    if (XdgRuntimeFolder().empty())
        prefix += std::to_string(::getuid()) + "-";
    return prefix + kind + "-";
}

fs::path RuntimeFile(const std::string& kind, const std::string& name, size_t maxEncoded)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (c >= 'A' && c <= 'Z')
            out += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    if (out.size() > maxEncoded) {
        size_t h = std::hash<std::string>{}(out);
        std::string tag = "~" + std::to_string(h);
        out = out.substr(0, maxEncoded > tag.size() ? maxEncoded - tag.size() : 0) + tag;
    }
    return RuntimeFolder() / (RuntimeFilePrefix(kind) + out);
}

std::optional<std::string> DecodeRuntimeName(const std::string& encoded)
{
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < encoded.size(); ++i) {
        char c = encoded[i];
        if (c == '%') {
            if (i + 2 >= encoded.size())
                return std::nullopt;
            int hi = digit(encoded[i + 1]), lo = digit(encoded[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            out += c;
        } else {
            return std::nullopt;  // '~' marks a cut name; anything else is not ours
        }
    }
    return out;
}

}  // namespace platform
