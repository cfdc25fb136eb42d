// The serial-port component against a fake port (settings, lines, queue, idle byte, teardown) and
// against a pseudo-terminal (bytes arrive whole and in order; an idle worker uses no processor time).
#include <QelCOMPort.h>
#include <algorithm>
#include <platform/serial/FakeSerialPort.h>
#include <gtest/gtest.h>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using namespace std::chrono_literals;

namespace {

struct Fixture {
    std::shared_ptr<TFakeSerialLog> log = std::make_shared<TFakeSerialLog>();
    std::unique_ptr<TQelCOMPort> port = std::make_unique<TQelCOMPort>(FakeSerialOpener(log));

    // Opens the fake port and waits until the worker has applied its settings.
    void open(const std::string& name = "/dev/ttyFAKE0")
    {
        const size_t before = written();
        port->SetCOMPortName(name);
        ASSERT_TRUE(log->WaitFor([&] { return log->Written.size() > before; }));
        ASSERT_TRUE(port->Thread().PortOpen());
    }
    size_t written()
    {
        std::lock_guard lk(log->Mutex);
        return log->Written.size();
    }
    std::vector<uint8_t> sent()
    {
        std::lock_guard lk(log->Mutex);
        return log->Sent;
    }
};

std::vector<uint8_t> pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7 + i / 256);
    return v;
}

// Processor time of the whole process, in milliseconds.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

TEST(COMPort, ANewComponentOpensNoPort)
{
    Fixture f;
    EXPECT_EQ(f.port->COMPortName(), "");
    EXPECT_EQ(f.port->Rate(), 0u);
    EXPECT_EQ(f.port->DTR(), 0u);
    EXPECT_EQ(f.port->IdleCode(), 0u);
    EXPECT_FALSE(f.port->SendIdleCode());
    f.port->SetCOMPortName("");
    std::this_thread::sleep_for(50ms);
    std::lock_guard lk(f.log->Mutex);
    EXPECT_TRUE(f.log->Opened.empty());
}

TEST(COMPort, OpeningReadsThePortsSettingsOverEarlierOnes)
{
    Fixture f;
    f.port->SetRate(4800);
    f.port->SetDTR(0);  // equal to the stored 0: nothing
    EXPECT_EQ(f.port->Rate(), 4800u);
    f.log->Initial = TSerialSettings{19200, kLineHandshake, kLineDisable};
    f.open();
    EXPECT_EQ(f.port->Rate(), 19200u);
    EXPECT_EQ(f.port->DTR(), kLineHandshake);
    std::lock_guard lk(f.log->Mutex);
    // Written once, with RTS raised for as long as the port is open.
    ASSERT_EQ(f.log->Written.size(), 1u);
    EXPECT_EQ(f.log->Written[0], (TSerialSettings{19200, kLineHandshake, kLineEnable}));
    EXPECT_TRUE(f.log->Rts);
}

TEST(COMPort, DtrStoresTheLowTwoBitsAndReachesThePort)
{
    Fixture f;
    f.open();
    const struct { uint32_t in, stored; bool line; } cases[] = {{0, 0, false}, {1, 1, true}, {2, 2, true}, {5, 1, true}, {0, 0, false}};
    for (auto c : cases) {
        const size_t before = f.written();
        int purges;
        {
            std::lock_guard lk(f.log->Mutex);
            purges = f.log->Purges;
        }
        f.port->SetDTR(c.in);
        EXPECT_EQ(f.port->DTR(), c.stored) << c.in;
        ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Written.size() > before; })) << c.in;
        std::lock_guard lk(f.log->Mutex);
        EXPECT_EQ(f.log->Written.back().DtrControl, c.stored);
        EXPECT_EQ(f.log->Dtr, c.line) << c.in;
        EXPECT_EQ(f.log->Purges, purges + 1);
    }
}

TEST(COMPort, RateChangesAreAppliedAndEqualOnesAreNot)
{
    Fixture f;
    f.open();
    f.port->SetRate(1200);
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Written.size() == 2; }));
    f.port->SetRate(1200);
    std::this_thread::sleep_for(30ms);
    std::lock_guard lk(f.log->Mutex);
    EXPECT_EQ(f.log->Written.size(), 2u);
    EXPECT_EQ(f.log->Written.back().BaudRate, 1200u);
}

TEST(COMPort, RtsFollowsItsSetterAndReadsBack)
{
    Fixture f;
    f.port->SetRTS(1);  // no port: nothing happens
    EXPECT_EQ(f.port->RTS(), 0u);
    f.open();
    EXPECT_EQ(f.port->RTS(), 1u);  // raised by the open
    const struct { uint32_t in; bool line; } cases[] = {{0, false}, {1, true}, {2, false}, {1, true}};
    for (auto c : cases) {
        f.port->SetRTS(c.in);
        EXPECT_EQ(f.port->RTS(), c.line ? 1u : 0u);
        std::lock_guard lk(f.log->Mutex);
        EXPECT_EQ(f.log->RtsCalls.back(), c.line);
        EXPECT_EQ(f.log->Rts, c.line);
    }
}

TEST(COMPort, RtsReadsTheLineAfterSettingsRaiseIt)
{
    Fixture f;
    f.log->Refused = {"/dev/ttyBAD"};
    f.open();
    f.port->SetRTS(0);
    EXPECT_EQ(f.port->RTS(), 0u);
    // Applying a new rate writes the settings, whose RTS control raises the line again.
    const size_t before = f.written();
    f.port->SetRate(1200);
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Written.size() > before; }));
    EXPECT_EQ(f.port->RTS(), 1u);
    f.port->SetCOMPortName("/dev/ttyBAD");  // refused: no port, no line
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Closed == 1 && f.log->Opened.size() == 2; }));
    EXPECT_EQ(f.port->RTS(), 0u);
}

TEST(COMPort, TwoBuffersFillOneBlockAndPartOfTheNextThenGoOutInOrder)
{
    Fixture f;
    f.log->Room = 0;  // the port takes nothing yet
    f.open();
    const auto a = pattern(600, 1), b = pattern(600, 99);
    f.port->SendBuffer(a.data(), 600);
    f.port->SendBuffer(b.data(), 600);
    EXPECT_EQ(f.port->Thread().BlockFills(), (std::vector<uint32_t>{1024, 176}));
    f.log->AddRoom(1200);
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Sent.size() == 1200; }));
    std::vector<uint8_t> want = a;
    want.insert(want.end(), b.begin(), b.end());
    EXPECT_EQ(f.sent(), want);
    // The exhausted first block is gone; the last one stays for the next bytes.
    EXPECT_EQ(f.port->Thread().BlockFills(), (std::vector<uint32_t>{176}));
    EXPECT_EQ(f.port->Thread().SendNextChar(), 1);  // nothing left
}

TEST(COMPort, BytesQueuedBeforeTheOpenGoOutAfterIt)
{
    Fixture f;
    const auto a = pattern(10, 5);
    f.port->SendBuffer(a.data(), 10);
    f.port->SendBuffer(nullptr, 10);
    f.port->SendBuffer(a.data(), -1);
    f.open();
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Sent.size() == 10; }));
    EXPECT_EQ(f.sent(), a);
}

TEST(COMPort, IdleBytesFillTheGapsAndNeverSplitTheQueue)
{
    Fixture f;
    f.log->Room = 4;
    f.open();
    f.port->SetIdleCode(0x7E);
    f.port->SetSendIdleCode(true);
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Sent.size() == 4; }));
    const uint8_t msg[] = {'A', 'B', 'C'};
    f.port->SendBuffer(msg, 3);
    f.log->AddRoom(7);
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Sent.size() == 11; }));
    f.port->SetSendIdleCode(false);
    f.log->AddRoom(5);
    std::this_thread::sleep_for(30ms);
    const std::vector<uint8_t> want = {0x7E, 0x7E, 0x7E, 0x7E, 'A', 'B', 'C', 0x7E, 0x7E, 0x7E, 0x7E};
    EXPECT_EQ(f.sent(), want);
}

TEST(COMPort, NameChangesReopenAndRefusedNamesLeaveThePortClosed)
{
    Fixture f;
    f.log->Refused = {"/dev/ttyBAD"};
    f.open("/dev/ttyA");
    f.port->SetCOMPortName("/dev/ttyA");  // same name: nothing
    f.port->SetCOMPortName("/dev/ttya");  // case counts
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Opened.size() == 2 && f.log->Closed == 1; }));
    f.port->SetCOMPortName("/dev/ttyBAD");
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Opened.size() == 3 && f.log->Closed == 2; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(f.port->Thread().PortOpen());
    const uint8_t x = 1;
    EXPECT_EQ(f.port->Thread().SendNextChar(), 0);  // no port: returns at once
    f.port->SendBuffer(&x, 1);
    f.open("/dev/ttyB");
    ASSERT_TRUE(f.log->WaitFor([&] { return f.log->Sent.size() == 1; }));
    std::lock_guard lk(f.log->Mutex);
    EXPECT_EQ(f.log->Opened, (std::vector<std::string>{"/dev/ttyA", "/dev/ttya", "/dev/ttyBAD", "/dev/ttyB"}));
}

TEST(COMPort, DestructionWithBytesWaitingClosesThePortAndReturns)
{
    Fixture f;
    f.log->Room = 0;
    f.open();
    const auto a = pattern(3000, 3);
    f.port->SendBuffer(a.data(), 3000);
    EXPECT_EQ(f.port->Thread().BlockFills(), (std::vector<uint32_t>{1024, 1024, 952}));
    const auto start = std::chrono::steady_clock::now();
    f.port.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    std::lock_guard lk(f.log->Mutex);
    EXPECT_EQ(f.log->Closed, 1);
    EXPECT_GE(f.log->Purges, 1);
}

TEST(COMPort, AnIdleWorkerWaitsInsteadOfSpinning)
{
    Fixture f;
    // No port at all, then an open port with nothing to send, then one that has no room.
    for (int step = 0; step < 3; ++step) {
        if (step == 1)
            f.open();
        if (step == 2) {
            f.log->Room = 0;
            const uint8_t x = 1;
            f.port->SendBuffer(&x, 1);
        }
        int waits;
        {
            std::lock_guard lk(f.log->Mutex);
            waits = f.log->Waits;
        }
        const double before = cpuMs();
        std::this_thread::sleep_for(300ms);
        EXPECT_LT(cpuMs() - before, 150.0) << "step " << step;  // spinning would burn all 300 ms
        std::lock_guard lk(f.log->Mutex);
        EXPECT_LE(f.log->Waits - waits, 1) << "step " << step;
    }
}

class PtyPair {
public:
    PtyPair()
    {
        char n[256];
        if (openpty(&master_, &slave_, n, nullptr, nullptr) != 0)
            return;
        name_ = n;
        // The slave is opened by the component; keeping it open here too would refuse it (exclusive).
        close(slave_);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        if (master_ >= 0)
            close(master_);
    }
    const std::string& name() const { return name_; }
    // Reads until n bytes came or the time-out passed.
    std::vector<uint8_t> read(size_t n, std::chrono::milliseconds timeout = 5000ms)
    {
        std::vector<uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (got.size() < n && std::chrono::steady_clock::now() < end) {
            uint8_t buf[512];
            const ssize_t r = ::read(master_, buf, sizeof buf);
            if (r > 0)
                got.insert(got.end(), buf, buf + r);
            else
                std::this_thread::sleep_for(2ms);
        }
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
};

TEST(COMPortOnPty, TwoBuffersArriveWholeAndInOrder)
{
    PtyPair pty;
    ASSERT_FALSE(pty.name().empty());
    TQelCOMPort port;
    port.SetCOMPortName(pty.name());
    for (int i = 0; i < 500 && !port.Thread().PortOpen(); ++i)
        std::this_thread::sleep_for(2ms);
    ASSERT_TRUE(port.Thread().PortOpen());
    const auto a = pattern(600, 1), b = pattern(600, 77);
    port.SendBuffer(a.data(), 600);
    port.SendBuffer(b.data(), 600);
    std::vector<uint8_t> want = a;
    want.insert(want.end(), b.begin(), b.end());
    EXPECT_EQ(pty.read(1200), want);
    // Then the worker idles without using the processor.
    std::this_thread::sleep_for(20ms);
    const double before = cpuMs();
    std::this_thread::sleep_for(300ms);
    EXPECT_LT(cpuMs() - before, 150.0);  // a spinning worker would burn all 300 ms
    EXPECT_TRUE(pty.read(1, 50ms).empty());
}

// A line slower than its reader: an idle byte goes only once the one before it has left, so data
// queued meanwhile is not held up behind a terminal full of idle bytes.
TEST(COMPortOnPty, QueuedDataOvertakesIdleBytesWithinOneByte)
{
    PtyPair pty;
    ASSERT_FALSE(pty.name().empty());
    TQelCOMPort port;
    port.SetIdleCode(0x55);
    port.SetSendIdleCode(true);
    port.SetCOMPortName(pty.name());
    for (int i = 0; i < 500 && !port.Thread().PortOpen(); ++i)
        std::this_thread::sleep_for(2ms);
    ASSERT_TRUE(port.Thread().PortOpen());
    port.SetRate(300);  // 33 ms a byte
    // The reader takes at most 16 bytes every 5 ms: far slower than a worker that fills the terminal,
    // faster than the line.
    auto readSlowly = [&](auto until, std::chrono::milliseconds timeout) {
        std::vector<uint8_t> got;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!until(got) && std::chrono::steady_clock::now() < end) {
            const auto chunk = pty.read(16, 5ms);
            got.insert(got.end(), chunk.begin(), chunk.end());
        }
        return got;
    };
    const auto idle = readSlowly([](const std::vector<uint8_t>&) { return false; }, 400ms);
    ASSERT_FALSE(idle.empty()) << "idle bytes go out";
    for (uint8_t b : idle)
        ASSERT_EQ(b, 0x55);
    const uint8_t msg[] = {'D', 'A', 'T', 'A'};
    const auto sent = std::chrono::steady_clock::now();
    port.SendBuffer(msg, 4);
    const auto got = readSlowly(
        [&](const std::vector<uint8_t>& g) { return std::search(g.begin(), g.end(), msg, msg + 4) != g.end(); }, 3000ms);
    const auto at = std::search(got.begin(), got.end(), msg, msg + 4);
    ASSERT_NE(at, got.end()) << "the data did not arrive within 3 s: " << got.size() << " idle bytes came first";
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
    // One idle byte may be on the line when the data is queued; a few more may wait for a reader
    // held up by a busy machine (each is 33 ms of the reader's delay, so 16 is half a second of it).
    // A worker that sends idle bytes as fast as the terminal takes them puts thousands ahead.
    EXPECT_LE(at - got.begin(), 16) << "idle bytes ahead of the data (" << ms << " ms)";
    for (auto it = got.begin(); it != at; ++it)
        ASSERT_EQ(*it, 0x55);
}

TEST(COMPortOnPty, IdleBytesWaitForRoomWithoutSpinning)
{
    PtyPair pty;
    ASSERT_FALSE(pty.name().empty());
    TQelCOMPort port;
    port.SetIdleCode(0x55);
    port.SetSendIdleCode(true);
    port.SetCOMPortName(pty.name());
    const auto got = pty.read(64);
    ASSERT_GE(got.size(), 64u);
    for (uint8_t b : got)
        ASSERT_EQ(b, 0x55);
    // Nobody reads: the terminal fills up and the worker waits for room.
    std::this_thread::sleep_for(200ms);
    const double before = cpuMs();
    std::this_thread::sleep_for(300ms);
    // A spinning worker would burn the whole 300 ms; a waiting one a few, more under a loaded sanitizer run.
    EXPECT_LT(cpuMs() - before, 150.0);
}

} // namespace
