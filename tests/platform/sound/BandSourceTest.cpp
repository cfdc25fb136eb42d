// The simulated band as another process hears it, against a small server of the band's wire: the
// frames asked for arrive exactly in every format, the band's end and a server that goes away end
// the input, and a socket that is not there or a server that refuses leaves a clear failure.
#include "WaveTestKit.h"

#include "BandWire.h"
#include "TestSupport.h"
#include "WaveIn.h"
#include "WaveScript.h"

#include <gmock/gmock.h>

#include <atomic>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using namespace platform::sound;
using namespace wavetest;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using ::testing::HasSubstr;

namespace {

// Sample k of the served stream (channels interleaved): no period a buffer could hide, the whole range.
int16_t Served(size_t k) { return int16_t(uint16_t(k * 7919 + k / 13)); }

// A server of one connection at a time on path: it answers the hello with status, then serves frames
// of Served() until endAt frames (ended flag from there on) and hangs up after dropAt frames.
class FakeServer {
public:
    uint8_t status = kBandOk;
    bool answer = true;          // false: hangs up without answering the hello
    size_t endAt = SIZE_MAX;     // frames after which the band has ended
    size_t dropAt = SIZE_MAX;    // frames after which the server goes away
    std::atomic<uint32_t> rate{0}, channels{0};
    std::atomic<size_t> served{0};

    explicit FakeServer(std::string path) : path_(std::move(path))
    {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path_.c_str(), path_.size());
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
    }
    ~FakeServer()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(fd_);
    }
    void start() { thread_ = std::thread([this] { run(); }); }

private:
    void run()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0)
                continue;
            talk(c);
            ::close(c);
        }
    }
    void talk(int c)
    {
        uint8_t hello[kBandHelloSize];
        if (!recvAll(c, hello, sizeof hello) || std::memcmp(hello, kBandMagic, 4) != 0 || !answer)
            return;
        rate = getLe(hello + 4, 4);
        channels = getLe(hello + 8, 2);
        if (!sendAll(c, &status, 1) || status != kBandOk)
            return;
        size_t frame = 0;
        while (!stop_) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t ask[4];
            if (!recvAll(c, ask, 4))
                return;
            const uint32_t n = getLe(ask, 4);
            EXPECT_GE(n, 1u);
            EXPECT_LE(n, kBandMaxFrames);
            if (frame + n > dropAt)
                return;  // gone in the middle of an answer
            std::vector<uint8_t> out(1 + 2 * size_t(n) * channels);
            frame += n;
            out[0] = frame >= endAt ? 1 : 0;
            for (size_t i = 0; i < size_t(n) * channels; ++i)
                putLe(&out[1 + 2 * i], uint16_t(Served(served + i)), 2);
            served += size_t(n) * channels;
            if (!sendAll(c, out.data(), out.size()))
                return;
        }
    }

    std::string path_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class BandSourceTest : public ::testing::Test {
protected:
    void SetUp() override { setWaveScript(nullptr); }
    TempDir dir;
    std::string socket = (dir / "band").string();
    ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    ScopedEnv noFile{"WAVE_IN_FILE", ""};
    ScopedEnv band{"WAVE_IN_BAND", socket};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    ScopedEnv eof{"WAVE_IN_EOF_FILE", (dir / "ended").string()};
};

struct FormatCase {
    uint32_t rate;
    uint16_t bits, channels;
};

class BandSourceFormats : public BandSourceTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(BandSourceFormats, TheFramesAskedForArriveExactlyInTheOpenedFormat)
{
    const FormatCase c = GetParam();
    FakeServer server(socket);
    server.start();
    ASSERT_EQ(waveInDeviceName(0), "Simulated band");
    const WaveFormat f = WaveFormat::pcm(c.rate, c.bits, c.channels);
    const uint32_t frames = 1500;  // three buffers of 500 frames: nothing read beyond them
    Capture cap(3, 500 * f.blockAlign);
    cap.requeue = false;
    ASSERT_EQ(cap.open(f), kWaveNoError) << waveInErrorText(kWaveError);
    EXPECT_EQ(server.rate, c.rate) << "the hello names the opened rate";
    EXPECT_EQ(server.channels, c.channels);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= size_t(frames) * f.blockAlign; }));
    ASSERT_EQ(cap.bytes.size(), size_t(frames) * f.blockAlign);
    for (size_t k = 0; k < size_t(frames) * c.channels; ++k) {
        const int16_t v = Served(k);
        if (c.bits == 16)
            ASSERT_EQ(int16_t(sampleAt(cap.bytes, k)), v) << "sample " << k;
        else
            ASSERT_EQ(cap.bytes[k], uint8_t(std::min(255, (v + 32768 + 128) >> 8))) << "sample " << k;
    }
    EXPECT_EQ(server.served, size_t(frames) * c.channels) << "no more asked for than the buffers hold";
    EXPECT_FALSE(std::filesystem::exists(dir / "ended"));
}

INSTANTIATE_TEST_SUITE_P(Formats, BandSourceFormats,
                         ::testing::Values(FormatCase{11025, 16, 1}, FormatCase{22050, 16, 2},
                                           FormatCase{8000, 8, 1}, FormatCase{44100, 8, 2}),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.channels) +
                                    "ch" + std::to_string(info.param.rate);
                         });

TEST_F(BandSourceTest, TheEndOfTheBandEndsTheInputOnce)
{
    FakeServer server(socket);
    server.endAt = 1200;
    server.start();
    const WaveFormat f = WaveFormat::pcm(11025, 16, 1);
    Capture cap(2, 1000);  // 500 frames a buffer
    ASSERT_EQ(cap.open(f), kWaveNoError);
    cap.requeue = false;
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= 2000; }));
    EXPECT_FALSE(std::filesystem::exists(dir / "ended")) << "1000 of the band's 1200 frames heard";
    cap.requeue = true;
    for (auto& h : cap.headers)
        ASSERT_EQ(waveInAddBuffer(cap.handle, &h), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(dir / "ended"); }));
}

TEST_F(BandSourceTest, AServerThatGoesAwayEndsTheInputWithSilenceAndNoHang)
{
    FakeServer server(socket);
    server.dropAt = 3000;
    server.start();
    const WaveFormat f = WaveFormat::pcm(11025, 16, 2);
    Capture cap(3, 800);  // 200 frames a buffer
    ASSERT_EQ(cap.open(f), kWaveNoError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(dir / "ended"); }, 3000))
        << "the input ends with its server";
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= 5000 * 4; }, 3000)) << "and goes on with silence";
    for (size_t k = 0; k < 3000 * 2; ++k)
        ASSERT_EQ(int16_t(sampleAt(cap.bytes, k)), Served(k)) << "what was served before, exactly, at " << k;
    for (size_t k = 3000 * 2; k < cap.bytes.size() / 2; ++k)
        ASSERT_EQ(sampleAt(cap.bytes, k), 0) << "silence after, at " << k;
    const auto before = std::chrono::steady_clock::now();
    cap.requeue = false;
    EXPECT_EQ(waveInReset(cap.handle), kWaveNoError);
    EXPECT_EQ(waveInClose(cap.handle), kWaveNoError);
    cap.handle = 0;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
}

struct RefusalCase {
    const char* what;  // a C identifier: the case's name
    uint8_t status;
    bool answer;
    uint32_t code;
    const char* text;
};

class BandSourceRefusals : public BandSourceTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(BandSourceRefusals, TheOpenFailsWithTheReason)
{
    const RefusalCase c = GetParam();
    FakeServer server(socket);
    server.status = c.status;
    server.answer = c.answer;
    server.start();
    ASSERT_EQ(waveInDeviceName(0), "Simulated band");
    Capture cap(1, 100);
    const uint32_t rc = cap.open(WaveFormat::pcm(11025, 16, 1));
    EXPECT_EQ(rc, c.code) << c.what;
    EXPECT_EQ(cap.handle, 0u);
    EXPECT_THAT(waveInErrorText(rc), HasSubstr(c.text)) << c.what;
    EXPECT_FALSE(std::filesystem::exists(dir / "ended"));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, BandSourceRefusals,
    ::testing::Values(RefusalCase{"busy", kBandBusy, true, kWaveAllocated, "another program is listening"},
                      RefusalCase{"format", kBandBadFormat, true, kWaveBadFormat, "cannot be heard in this format"},
                      RefusalCase{"unknown_answer", 7, true, kWaveError, "does not answer"},
                      RefusalCase{"hangs_up", kBandOk, false, kWaveError, "does not answer"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(BandSourceTest, AVariableThatNamesNoSocketListsNoBand)
{
    for (const std::string& path : {(dir / "none").string(), dir.path().string(), std::string()}) {
        ScopedEnv v("WAVE_IN_BAND", path);
        for (const std::string& name : waveInDeviceNames())
            EXPECT_NE(name, "Simulated band") << "\"" << path << "\"";
    }
    testsupport::writeFile(dir / "file", "x");
    ScopedEnv v("WAVE_IN_BAND", (dir / "file").string());
    for (const std::string& name : waveInDeviceNames())
        EXPECT_NE(name, "Simulated band") << "a plain file";
}

TEST_F(BandSourceTest, ASocketNoOneServesFailsTheOpenAtOnce)
{
    {
        FakeServer gone(socket);  // leaves its socket file behind, with no one listening on it
    }
    ASSERT_EQ(waveInDeviceName(0), "Simulated band");
    Capture cap(1, 100);
    const auto before = std::chrono::steady_clock::now();
    const uint32_t rc = cap.open(WaveFormat::pcm(11025, 16, 1));
    EXPECT_EQ(rc, kWaveError);
    EXPECT_THAT(waveInErrorText(rc), HasSubstr("cannot be reached"));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
}

}  // namespace
