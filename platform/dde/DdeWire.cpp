#include "platform/dde/DdeWire.h"

#include "platform/instance/RuntimeName.h"

namespace platform::dde::wire {

namespace {

void put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void put16(std::string& s, uint16_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

uint32_t get32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Sockets have a short path limit, so service names are kept short in the file name.
constexpr size_t kMaxEncodedService = 48;

}  // namespace

std::string Encode(const Frame& f)
{
    if (f.name.size() > kMaxNameBytes || f.data.size() > kMaxDataBytes)
        return {};
    std::string out;
    out.reserve(kHeaderBytes + f.name.size() + f.data.size());
    put32(out, static_cast<uint32_t>(kHeaderBytes - 4 + f.name.size() + f.data.size()));
    out += static_cast<char>(f.kind);
    put32(out, f.id);
    put32(out, f.format);
    put32(out, f.code);
    put16(out, static_cast<uint16_t>(f.name.size()));
    out += f.name;
    put32(out, static_cast<uint32_t>(f.data.size()));
    out.append(reinterpret_cast<const char*>(f.data.data()), f.data.size());
    return out;
}

void FrameReader::Append(const char* data, size_t size)
{
    if (broken_)
        return;
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    }
    buffer_.append(data, size);
}

std::optional<Frame> FrameReader::Next()
{
    if (broken_)
        return std::nullopt;
    size_t avail = buffer_.size() - start_;
    if (avail < 4)
        return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
    uint32_t payload = get32(p);
    if (payload < kHeaderBytes - 4 || payload > kMaxPayload) {
        broken_ = true;
        return std::nullopt;
    }
    if (avail < 4 + size_t(payload))
        return std::nullopt;
    const unsigned char* q = p + 4;
    Frame f;
    uint8_t kind = q[0];
    if (kind < uint8_t(Kind::Connect) || kind > uint8_t(Kind::AdviseAck)) {
        broken_ = true;
        return std::nullopt;
    }
    f.kind = static_cast<Kind>(kind);
    f.id = get32(q + 1);
    f.format = get32(q + 5);
    f.code = get32(q + 9);
    size_t nameLen = get16(q + 13);
    size_t rest = payload - (kHeaderBytes - 4);  // bytes left for the name and the data
    if (nameLen > kMaxNameBytes || nameLen > rest) {
        broken_ = true;
        return std::nullopt;
    }
    f.name.assign(reinterpret_cast<const char*>(q + 15), nameLen);
    size_t dataLen = get32(q + 15 + nameLen);
    if (dataLen > kMaxDataBytes || nameLen + dataLen != rest) {
        broken_ = true;
        return std::nullopt;
    }
    const unsigned char* d = q + 19 + nameLen;
    f.data.assign(d, d + dataLen);
    start_ += 4 + payload;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 64 * 1024) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    return f;
}

std::string Fold(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::filesystem::path SocketPath(const std::string& service)
{
    return RuntimeFile("dde", service, kMaxEncodedService);
}

std::optional<std::string> ServiceOfSocket(const std::string& fileName)
{
    std::string prefix = RuntimeFilePrefix("dde");
    if (fileName.rfind(prefix, 0) != 0)
        return std::nullopt;
    return DecodeRuntimeName(fileName.substr(prefix.size()));
}

}  // namespace platform::dde::wire
