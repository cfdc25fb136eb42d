// The simulated band's socket as a peer's bytes arrive, at both ends. The first byte chooses the end
// and the format. The server (a listener's hello, then frame requests) answers each whole, valid
// request with exactly its frames and stops at the first that is not; the wave input's band source
// (a server's status, then answers) hands out exactly the samples sent, then silence, and never waits
// on a server that has gone.
#include "FuzzTarget.h"

#include "BandSource.h"
#include "BandWire.h"
#include "host/Band.h"
#include "host/BandServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace fuzz {

using namespace platform::sound;

namespace {

// A folder of the run's own for the socket, gone again when the run ends.
struct SocketFolder {
    std::string path;
    SocketFolder()
    {
        char folder[] = "/tmp/band-fuzz-XXXXXX";
        Check(::mkdtemp(folder) != nullptr, "mkdtemp");
        path = folder;
    }
    ~SocketFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::string& SocketPath()
{
    static const SocketFolder folder;
    static const std::string path = folder.path + "/band";
    return path;
}

sockaddr_un Address()
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, SocketPath().c_str(), SocketPath().size());
    return addr;
}

Bytes Hello(uint32_t rate, uint16_t channels)
{
    Bytes b(kBandHelloSize);
    std::memcpy(b.data(), kBandMagic, 4);
    putLe(b.data() + 4, rate, 4);
    putLe(b.data() + 8, channels, 2);
    return b;
}

Bytes Ask(uint32_t frames)
{
    Bytes b(4);
    putLe(b.data(), frames, 4);
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// What the server must answer to a listener's bytes, in length.
size_t ServerAnswerLength(const uint8_t* data, size_t size)
{
    if (size < kBandHelloSize || std::memcmp(data, kBandMagic, 4) != 0)
        return 0;
    const uint32_t rate = getLe(data + 4, 4), channels = getLe(data + 8, 2);
    if (rate == 0 || rate > kBandMaxRate || (channels != 1 && channels != 2))
        return 1;
    size_t length = 1;
    for (size_t at = kBandHelloSize; at + 4 <= size; at += 4) {
        const uint32_t frames = getLe(data + at, 4);
        if (frames == 0 || frames > kBandMaxFrames)
            break;
        length += 1 + 2 * size_t(frames) * channels;
    }
    return length;
}

void RunServer(const uint8_t* data, size_t size)
{
    const size_t expected = ServerAnswerLength(data, size);
    if (expected > (8u << 20))  // requests of megabytes each: slow, and no new path
        return;
    ::unlink(SocketPath().c_str());
    Band band({}, ChannelChoice::Left);  // no stations: noise
    BandServer server(band);
    std::string error;
    Check(server.listen(SocketPath(), &error), "the server listens");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un addr = Address();
    Check(::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0, "connect");
    bandTimeouts(fd);
    sendAll(fd, data, size);  // a server that stops reading early has refused what came before
    ::shutdown(fd, SHUT_WR);
    Bytes answer;
    uint8_t chunk[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = 0;
        do  // libFuzzer's timer interrupts the wait
            ready = ::poll(&p, 1, kBandTimeoutMs);
        while (ready < 0 && errno == EINTR);
        Check(ready == 1, "the server hangs");
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        answer.insert(answer.end(), chunk, chunk + n);
    }
    ::close(fd);
    Check(answer.size() == expected, "the answers' length");
    if (!answer.empty())
        Check(answer[0] <= kBandBadFormat, "a status the wire has");
}

void RunSource(uint8_t how, const uint8_t* data, size_t size)
{
    ::unlink(SocketPath().c_str());
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un addr = Address();
    Check(::bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 && ::listen(listener, 1) == 0,
          "the fake server listens");
    // A server whose answers are the input: the status, then for each request as many bytes as its
    // answer takes, until the input runs out; then it is gone.
    const uint16_t channels = (how & 2) ? 2 : 1, bits = (how & 4) ? 8 : 16;
    size_t sent = 0;
    std::thread peer([&] {
        const int c = ::accept(listener, nullptr, nullptr);
        if (c < 0)
            return;
        bandTimeouts(c);
        uint8_t hello[kBandHelloSize];
        size_t want = 1;
        uint8_t ask[4];
        if (recvAll(c, hello, sizeof hello))
            do {
                const size_t n = std::min(want, size - sent);
                if (!sendAll(c, data + sent, n))
                    break;
                sent += n;
                if (n < want)
                    break;
                if (!recvAll(c, ask, sizeof ask))
                    break;
                want = 1 + 2 * size_t(getLe(ask, 4)) * channels;
            } while (sent < size);
        ::close(c);
    });
    const platform::WaveFormat format = platform::WaveFormat::pcm(11025, bits, channels);
    uint32_t code = 0;
    std::string text;
    auto source = BandSource::open(SocketPath(), format, {}, &code, &text);
    std::vector<Bytes> reads;
    if (source) {
        for (int i = 0; i < 3; ++i) {
            Bytes buffer(600);
            Check(source->read(buffer.data(), buffer.size()) == buffer.size(), "a read short of what was asked");
            reads.push_back(buffer);
        }
    }
    const bool opened = bool(source);
    source.reset();  // the server hears it go
    peer.join();
    ::close(listener);
    const bool ok = size > 0 && data[0] == kBandOk;
    Check(opened == ok, "opened exactly when the server said so");
    if (!opened) {
        Check(!text.empty() && code != 0, "a refusal without a reason");
        return;
    }
    if (bits != 16)
        return;
    // Each read asks for its frames at once; an answer cut short ends the input with silence.
    size_t at = 1;
    bool gone = false;
    for (const Bytes& buffer : reads) {
        const size_t samples = buffer.size() / 2;
        gone = gone || at + 1 + 2 * samples > sent;
        for (size_t i = 0; i < samples; ++i) {
            const uint16_t got = uint16_t(buffer[2 * i] | buffer[2 * i + 1] << 8);
            const uint16_t want = gone ? 0 : uint16_t(data[at + 1 + 2 * i] | data[at + 2 + 2 * i] << 8);
            Check(got == want, "a sample not as sent");
        }
        at += 1 + 2 * samples;
    }
}

}  // namespace

std::vector<Seed> Seeds()
{
    Bytes answers = {kBandOk};
    for (int i = 0; i < 3; ++i) {
        answers.push_back(i == 2);
        for (int k = 0; k < 600; ++k)
            answers.push_back(uint8_t(k * 37 + i));
    }
    Bytes cut = answers;
    cut.resize(700);
    auto with = [](uint8_t first, const Bytes& rest) {
        Bytes b = {first};
        b.insert(b.end(), rest.begin(), rest.end());
        return b;
    };
    return {{"server-mono", with(0, Join({Hello(11025, 1), Ask(300), Ask(1), Ask(4096)}))},
            {"server-stereo", with(0, Join({Hello(44100, 2), Ask(1000), Ask(0), Ask(5)}))},
            {"server-format", with(0, Join({Hello(11025, 3), Ask(300)}))},
            {"server-magic", with(0, Join({Bytes{'K', 'B', 'N', 'X', 0x11, 0x2B, 0, 0, 1, 0}, Ask(300)}))},
            {"server-too-many", with(0, Join({Hello(8000, 1), Ask(kBandMaxFrames + 1)}))},
            {"source-mono16", with(1, answers)},
            {"source-stereo16", with(3, answers)},
            {"source-mono8", with(5, answers)},
            {"source-cut", with(1, cut)},
            {"source-busy", with(1, Bytes{kBandBusy})},
            {"source-format", with(1, Bytes{kBandBadFormat})},
            {"source-silent", Bytes{1}}};
}

void Run(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    if (data[0] & 1)
        RunSource(data[0], data + 1, size - 1);
    else
        RunServer(data + 1, size - 1);
}

}  // namespace fuzz
