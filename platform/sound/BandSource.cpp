#include "BandSource.h"

#include "BandWire.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::sound {

bool BandSource::isServed(const std::string& path)
{
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

std::unique_ptr<BandSource> BandSource::open(const std::string& path, const WaveFormat& format,
                                             std::filesystem::path eofFile, uint32_t* code, std::string* text)
{
    *code = kWaveError;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        *text = "The simulated band's socket \"" + path + "\" is not a usable name.";
        return nullptr;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *text = std::string("The simulated band cannot be reached: ") + std::strerror(errno) + ".";
        return nullptr;
    }
    bandTimeouts(fd);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        *text = "The simulated band (" + path + ") cannot be reached: " + std::strerror(errno) + ".";
        ::close(fd);
        return nullptr;
    }
    uint8_t hello[kBandHelloSize];
    std::memcpy(hello, kBandMagic, 4);
    putLe(hello + 4, format.samplesPerSec, 4);
    putLe(hello + 8, format.channels, 2);
    uint8_t status = 0xFF;
    if (!sendAll(fd, hello, sizeof hello) || !recvAll(fd, &status, 1) || status > kBandBadFormat) {
        *text = "The simulated band (" + path + ") does not answer.";
        ::close(fd);
        return nullptr;
    }
    if (status == kBandBusy) {
        *code = kWaveAllocated;
        *text = "The simulated band is in use: another program is listening to it.";
        ::close(fd);
        return nullptr;
    }
    if (status == kBandBadFormat) {
        *code = kWaveBadFormat;
        *text = "The simulated band cannot be heard in this format (" + std::to_string(format.samplesPerSec) +
                " Hz, " + std::to_string(format.channels) + (format.channels == 1 ? " channel)." : " channels).");
        ::close(fd);
        return nullptr;
    }
    *code = kWaveNoError;
    return std::unique_ptr<BandSource>(new BandSource(fd, format, std::move(eofFile)));
}

BandSource::BandSource(int fd, const WaveFormat& format, std::filesystem::path eofFile)
    : fd_(fd), frames_(KorvantaInputHook{"Simulated band", &readFrames, &hasEnded, this, nullptr, nullptr}, format,
                       std::move(eofFile))
{
}

BandSource::~BandSource() { ::close(fd_); }

size_t BandSource::read(uint8_t* dst, size_t n) { return frames_.read(dst, n); }

void BandSource::readFrames(void* context, uint32_t, uint16_t channels, int16_t* dst, size_t frames)
{
    auto* self = static_cast<BandSource*>(context);
    size_t done = 0;
    while (done < frames && !self->gone_) {
        const size_t n = std::min<size_t>(frames - done, kBandMaxFrames);
        uint8_t ask[4];
        putLe(ask, uint32_t(n), 4);
        self->wire_.resize(1 + 2 * n * channels);
        if (!sendAll(self->fd_, ask, sizeof ask) || !recvAll(self->fd_, self->wire_.data(), self->wire_.size())) {
            self->gone_ = true;
            std::fprintf(stderr, "Wave input: the simulated band has gone; the input ends.\n");
            break;
        }
        self->ended_ = self->ended_ || self->wire_[0] != 0;
        int16_t* out = dst + done * channels;
        for (size_t i = 0; i < n * channels; ++i)
            out[i] = int16_t(uint16_t(getLe(&self->wire_[1 + 2 * i], 2)));
        done += n;
    }
    std::fill(dst + done * channels, dst + frames * channels, int16_t(0));
}

int BandSource::hasEnded(void* context)
{
    auto* self = static_cast<BandSource*>(context);
    return self->ended_ || self->gone_ ? 1 : 0;
}

}  // namespace platform::sound
