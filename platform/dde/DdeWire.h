#pragma once
// The frames a conversation is made of, on a local stream socket.
// Frame: payload length (u32), then kind (u8), id (u32), format (u32), code (u32),
// name length (u16) and name, data length (u32) and data; all little-endian.
#include "platform/dde/DdeTypes.h"

#include <filesystem>
#include <optional>
#include <string>

namespace platform::dde::wire {

enum class Kind : uint8_t {
    Connect = 1,       // name = topic
    ConnectReply = 2,  // code = 1 accepted, 0 refused
    Poke = 3,          // name = item, data
    Request = 4,       // name = item
    AdviseStart = 5,   // name = item
    AdviseStop = 6,    // name = item
    Reply = 7,         // id of the transaction; code = answer; data for a request
    AdviseData = 8,    // name = item, data
    AdviseAck = 9,     // name = item, code = the client's answer
};

struct Frame {
    Kind kind = Kind::Connect;
    uint32_t id = 0;
    uint32_t format = 0;
    uint32_t code = 0;
    std::string name;
    Bytes data;
};

constexpr size_t kHeaderBytes = 4 + 1 + 4 + 4 + 4 + 2 + 4;
constexpr size_t kMaxPayload = kHeaderBytes - 4 + kMaxNameBytes + kMaxDataBytes;

// The encoded frame; names and data beyond the bounds are refused (empty result).
std::string Encode(const Frame& f);

// Collects bytes as they arrive and hands out whole frames. Once a frame is malformed (unknown kind,
// a size beyond the bounds or not adding up) the reader stays broken and the connection is to be closed.
class FrameReader {
public:
    void Append(const char* data, size_t size);
    std::optional<Frame> Next();
    bool Broken() const { return broken_; }

private:
    std::string buffer_;
    size_t start_ = 0;
    bool broken_ = false;
};

// Service, topic and item names compare without regard to ASCII case: the name in one case.
std::string Fold(std::string s);

// The socket that serves a service (names compare without regard to case).
std::filesystem::path SocketPath(const std::string& service);
// The service a socket file stands for, from its file name; nullopt when not a service socket.
std::optional<std::string> ServiceOfSocket(const std::string& fileName);

}  // namespace platform::dde::wire
