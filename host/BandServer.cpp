#include "BandServer.h"

#include "platform/sound/BandWire.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform::sound;

namespace {

// The peer has closed its end (a listener whose program closed the input or ended).
bool HungUp(int fd)
{
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLRDHUP | POLLNVAL));
}

}  // namespace

BandServer::BandServer(Band& band) : band_(band) {}

BandServer::~BandServer()
{
    if (thread_.joinable()) {
        const char stop = 1;
        while (::write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
        }
        thread_.join();
    }
    for (int fd : {listen_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
    if (listen_ >= 0)
        ::unlink(path_.c_str());
}

bool BandServer::listen(const std::string& path, std::string* error)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        *error = "the socket's path \"" + path + "\" is too long";
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (::pipe2(wake_, O_CLOEXEC) != 0) {
        *error = std::string("no pipe: ") + std::strerror(errno);
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    listen_ = fd;
    path_ = path;
    thread_ = std::thread([this] { run(); });
    return true;
}

void BandServer::run()
{
    for (;;) {
        pollfd fds[3] = {{wake_[0], POLLIN, 0}, {listen_, POLLIN, 0}, {client_, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[2].revents && !serve())
            drop();
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                greet(fd);
        }
    }
    drop();
}

void BandServer::greet(int fd)
{
    // A caller that says nothing holds up the server for a second at most.
    bandTimeouts(fd, 1000);
    uint8_t hello[kBandHelloSize];
    if (!recvAll(fd, hello, sizeof hello) || std::memcmp(hello, kBandMagic, 4) != 0) {
        ::close(fd);
        return;
    }
    bandTimeouts(fd);
    const uint32_t rate = getLe(hello + 4, 4);
    const uint32_t channels = getLe(hello + 8, 2);
    uint8_t status = kBandBadFormat;
    if (rate > 0 && rate <= kBandMaxRate && (channels == 1 || channels == 2)) {
        if (client_ >= 0 && HungUp(client_))  // closed just now, before its hang-up was seen
            drop();
        status = band_.claim() ? kBandOk : kBandBusy;
    }
    const bool sent = sendAll(fd, &status, 1);
    if (status != kBandOk || !sent) {
        if (status == kBandOk)
            band_.release();
        ::close(fd);
        return;
    }
    client_ = fd;
    rate_ = rate;
    channels_ = uint16_t(channels);
}

bool BandServer::serve()
{
    uint8_t ask[4];
    if (!recvAll(client_, ask, sizeof ask))
        return false;
    const uint32_t frames = getLe(ask, 4);
    if (frames == 0 || frames > kBandMaxFrames)
        return false;
    const size_t samples = size_t(frames) * channels_;
    frames_.resize(samples);
    band_.read(rate_, channels_, frames_.data(), frames);
    // The band leaves its samples as little-endian 16-bit bytes, as the wire carries them.
    wire_.resize(1 + 2 * samples);
    wire_[0] = band_.ended() ? 1 : 0;
    std::memcpy(&wire_[1], frames_.data(), 2 * samples);
    return sendAll(client_, wire_.data(), wire_.size());
}

void BandServer::drop()
{
    if (client_ < 0)
        return;
    ::close(client_);
    client_ = -1;
    band_.release();
}
