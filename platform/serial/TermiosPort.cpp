#include "TermiosPort.h"
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

struct SpeedEntry {
    uint32_t rate;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

class TermiosPort : public TSerialPort {
public:
    TermiosPort(int fd, int wake) : fd_(fd), wake_(wake)
    {
        termios t{};
        if (::tcgetattr(fd_, &t) == 0)
            byteNs_ = ByteTimeNs(t);
        rts_ = lines().Rts;
    }
    ~TermiosPort() override
    {
        ::close(fd_);
        ::close(wake_);
    }

    TSerialSettings GetSettings() override
    {
        termios t{};
        ::tcgetattr(fd_, &t);
        return SettingsFromTermios(t, lines());
    }

    void SetSettings(const TSerialSettings& s) override
    {
        termios t{};
        if (::tcgetattr(fd_, &t) == 0) {
            SettingsToTermios(s, t);
            ::tcsetattr(fd_, TCSANOW, &t);
            byteNs_ = ByteTimeNs(t);
        }
        const TModemLines want = SettingsToLines(s, lines());
        setLine(TIOCM_DTR, want.Dtr);
        if (s.RtsControl != kLineHandshake)
            setLine(TIOCM_RTS, want.Rts);
    }

    void Purge() override
    {
        ::tcflush(fd_, TCIOFLUSH);
        lineFreeNs_ = nowNs();
    }
    void SetRTS(bool on) override { setLine(TIOCM_RTS, on); }

    // A port without modem lines (a pseudo-terminal) answers with the state it was last put in.
    bool GetRTS() override { return lines().Rts; }

    bool TransmitChar(uint8_t b) override
    {
        for (;;) {
            const ssize_t n = ::write(fd_, &b, 1);
            if (n == 1) {
                // The byte is on the line for one character time after whatever went before it.
                const int64_t now = nowNs();
                lineFreeNs_ = std::max<int64_t>(lineFreeNs_, now) + byteNs_;
                return true;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // No room now (or the port failed, which stays silent): the caller waits and tries again.
            return false;
        }
    }

    void WaitEvent() override
    {
        pollfd p[2] = {{fd_, POLLOUT | POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(p, 2, -1) <= 0)
            return;
        if (p[1].revents & POLLIN)
            drainWake();
        // Nothing reads what the port receives: drop it so that it does not wake every wait.
        if (p[0].revents & POLLIN)
            ::tcflush(fd_, TCIFLUSH);
        // A port that hung up or failed would wake every poll at once: give the processor a rest.
        if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            ::poll(p + 1, 1, 50);
    }

    void WaitSent() override
    {
        // Empty means the driver's queue has run dry (its output count) and the last byte written has
        // had its character time on the line; a pseudo-terminal has no count, so the time alone counts.
        for (;;) {
            int queued = 0;
            if (::ioctl(fd_, TIOCOUTQ, &queued) != 0)
                queued = 0;
            const int64_t left = std::max<int64_t>(lineFreeNs_ - nowNs(), int64_t(queued) * byteNs_);
            if (left <= 0)
                return;
            const int64_t waitNs = std::clamp<int64_t>(left, 100000, 100000000);
            const timespec ts{time_t(waitNs / 1000000000), long(waitNs % 1000000000)};
            pollfd p[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
            if (::ppoll(p, 2, &ts, nullptr) < 0 && errno != EINTR)
                return;
            if (p[1].revents & POLLIN) {
                drainWake();
                return;
            }
            if (p[0].revents & POLLIN)
                ::tcflush(fd_, TCIFLUSH);
            if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                ::poll(p + 1, 1, 50);
                return;
            }
        }
    }

    void Wake() override
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(wake_, &one, sizeof one);
    }

private:
    static int64_t nowNs()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void drainWake()
    {
        uint64_t v;
        [[maybe_unused]] ssize_t r = ::read(wake_, &v, sizeof v);
    }
    TModemLines lines()
    {
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0)
            return TModemLines{false, rts_};
        return TModemLines{(bits & TIOCM_DTR) != 0, (bits & TIOCM_RTS) != 0};
    }
    void setLine(int bit, bool on)
    {
        ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit);
        if (bit == TIOCM_RTS)
            rts_ = on;
    }

    int fd_;
    int wake_;
    // The owner's thread and the worker both send and wait, so what they share is atomic.
    std::atomic<int64_t> byteNs_{10 * 1000000000LL / 9600};  // until the port tells its own
    std::atomic<int64_t> lineFreeNs_{0};  // steady-clock time at which the bytes written have left
    std::atomic<bool> rts_{false};
};

}  // namespace

speed_t TermiosSpeed(uint32_t rate)
{
    for (const auto& e : kSpeeds)
        if (e.rate == rate)
            return e.speed;
    return B0;
}

uint32_t TermiosRate(speed_t speed)
{
    for (const auto& e : kSpeeds)
        if (e.speed == speed)
            return e.rate;
    return 0;
}

int64_t ByteTimeNs(const termios& t)
{
    uint32_t rate = TermiosRate(::cfgetospeed(&t));
    if (rate == 0)
        rate = 9600;
    int bits = 1 + 1;  // start and stop
    switch (t.c_cflag & CSIZE) {
    case CS5: bits += 5; break;
    case CS6: bits += 6; break;
    case CS7: bits += 7; break;
    default: bits += 8; break;
    }
    if (t.c_cflag & PARENB)
        bits += 1;
    if (t.c_cflag & CSTOPB)
        bits += 1;
    return int64_t(bits) * 1000000000 / rate;
}

void SettingsToTermios(const TSerialSettings& s, termios& t)
{
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (s.RtsControl == kLineHandshake)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (const speed_t sp = TermiosSpeed(s.BaudRate); sp != B0) {
        ::cfsetispeed(&t, sp);
        ::cfsetospeed(&t, sp);
    }
}

TModemLines SettingsToLines(const TSerialSettings& s, TModemLines current)
{
    TModemLines l = current;
    l.Dtr = s.DtrControl != kLineDisable;
    if (s.RtsControl != kLineHandshake)
        l.Rts = s.RtsControl != kLineDisable;
    return l;
}

TSerialSettings SettingsFromTermios(const termios& t, TModemLines lines)
{
    TSerialSettings s;
    s.BaudRate = TermiosRate(::cfgetospeed(&t));
    s.DtrControl = lines.Dtr ? kLineEnable : kLineDisable;
    s.RtsControl = (t.c_cflag & CRTSCTS) ? kLineHandshake : lines.Rts ? kLineEnable : kLineDisable;
    return s;
}

std::unique_ptr<TSerialPort> OpenSerialPort(const std::string& name)
{
    if (name.empty())
        return nullptr;
    // Not the controlling terminal; writes never block the caller (a full port is waited for).
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    // No sharing: a second opener of the same port is refused (the lock also holds for the superuser,
    // whom exclusive mode lets through).
    if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return nullptr;
    }
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<TermiosPort>(fd, wake);
}

}  // namespace platform
