#include "platform/instance/RuntimeName.h"

#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

fs::path RuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    if (runtime && *runtime == '/' && fs::is_directory(runtime, ec))
        return runtime;
    return "/tmp";
}

std::string RuntimeFilePrefix(const std::string& kind)
{
    std::string prefix = "korvanta-";
    if (RuntimeFolder() == "/tmp")
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
