#pragma once
// What passes on the local socket over which orvhost serves its simulated band to other processes
// (WAVE_IN_BAND names the socket). Every field little-endian.
//   client -> server, once:      hello: magic "KBND" (4 bytes), rate (u32), channels (u16)
//   server -> client, once:      one status byte (kBandOk, kBandBusy, kBandBadFormat)
//   client -> server, each read: frames wanted (u32, 1..kBandMaxFrames)
//   server -> client, each read: ended (u8, 1 once the band has come to its end), then the frames as
//                                16-bit samples, channels interleaved
// The band is heard by one listener at a time: the server answers kBandBusy while another holds it.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sys/socket.h>
#include <sys/time.h>

namespace platform::sound {

constexpr uint8_t kBandMagic[4] = {'K', 'B', 'N', 'D'};
constexpr size_t kBandHelloSize = 10;
constexpr uint8_t kBandOk = 0;
constexpr uint8_t kBandBusy = 1;
constexpr uint8_t kBandBadFormat = 2;
constexpr uint32_t kBandMaxFrames = 1u << 16;
constexpr uint32_t kBandMaxRate = 384000;
// How long either side waits for the other's answer before it takes the other as gone.
constexpr int kBandTimeoutMs = 5000;

inline void putLe(uint8_t* p, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

inline uint32_t getLe(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

// Sends and receives on a socket whose time-outs bandTimeouts set; false when the peer has gone,
// failed or said nothing in time.
inline void bandTimeouts(int fd, int ms = kBandTimeoutMs)
{
    const timeval tv{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

inline bool sendAll(int fd, const void* data, size_t n)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        p += k;
        n -= size_t(k);
    }
    return true;
}

inline bool recvAll(int fd, void* data, size_t n)
{
    auto* p = static_cast<uint8_t*>(data);
    while (n > 0) {
        const ssize_t k = ::recv(fd, p, n, 0);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        p += k;
        n -= size_t(k);
    }
    return true;
}

}  // namespace platform::sound
