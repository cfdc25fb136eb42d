// How the port settings map onto termios and the modem lines; the Linux port on a pseudo-terminal.
#include <platform/serial/TermiosPort.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace platform;

namespace {

TEST(TermiosMapping, RatesRoundTripAndUnknownRatesKeepTheOldSpeed)
{
    const struct { uint32_t rate; speed_t speed; } cases[] = {
        {300, B300}, {1200, B1200}, {9600, B9600}, {19200, B19200}, {115200, B115200}, {4000000, B4000000}};
    for (auto c : cases) {
        EXPECT_EQ(TermiosSpeed(c.rate), c.speed) << c.rate;
        EXPECT_EQ(TermiosRate(c.speed), c.rate) << c.rate;
        termios t{};
        SettingsToTermios(TSerialSettings{c.rate, kLineEnable, kLineEnable}, t);
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
    }
    EXPECT_EQ(TermiosSpeed(12345), B0);
    EXPECT_EQ(TermiosSpeed(0), B0);
    termios t{};
    cfsetospeed(&t, B2400);
    SettingsToTermios(TSerialSettings{12345, kLineEnable, kLineEnable}, t);
    EXPECT_EQ(cfgetospeed(&t), B2400);
}

TEST(TermiosMapping, RawEightBitsAndFlowControlFromTheRtsMode)
{
    termios t{};
    t.c_oflag = OPOST | ONLCR;  // a terminal's usual output processing must go
    t.c_lflag = ICANON | ECHO;
    SettingsToTermios(TSerialSettings{9600, kLineEnable, kLineEnable}, t);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, unsigned(CS8));
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    SettingsToTermios(TSerialSettings{9600, kLineEnable, kLineHandshake}, t);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    SettingsToTermios(TSerialSettings{9600, kLineHandshake, kLineDisable}, t);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
}

TEST(TermiosMapping, ModemLinesOfEachControlMode)
{
    const struct {
        uint32_t dtr, rts;
        TModemLines before, after;
    } cases[] = {
        {kLineDisable, kLineDisable, {true, true}, {false, false}},
        {kLineEnable, kLineEnable, {false, false}, {true, true}},
        // DTR handshake: the port never stops taking input, so DTR stays raised.
        {kLineHandshake, kLineEnable, {false, false}, {true, true}},
        {3, kLineEnable, {false, false}, {true, true}},
        // RTS handshake leaves the line to the driver's flow control.
        {kLineEnable, kLineHandshake, {false, true}, {true, true}},
        {kLineEnable, kLineHandshake, {false, false}, {true, false}},
    };
    for (auto c : cases)
        EXPECT_EQ(SettingsToLines(TSerialSettings{9600, c.dtr, c.rts}, c.before), c.after)
            << "DTR mode " << c.dtr << ", RTS mode " << c.rts;
}

TEST(TermiosMapping, SettingsReadBackFromAPort)
{
    termios t{};
    cfsetospeed(&t, B4800);
    EXPECT_EQ(SettingsFromTermios(t, {true, false}), (TSerialSettings{4800, kLineEnable, kLineDisable}));
    EXPECT_EQ(SettingsFromTermios(t, {false, true}), (TSerialSettings{4800, kLineDisable, kLineEnable}));
    t.c_cflag |= CRTSCTS;
    EXPECT_EQ(SettingsFromTermios(t, {false, false}), (TSerialSettings{4800, kLineDisable, kLineHandshake}));
}

TEST(TermiosPort, OpensTerminalsOnlyAndOnlyOnce)
{
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    EXPECT_EQ(OpenSerialPort(""), nullptr);
    EXPECT_EQ(OpenSerialPort("/nonexistent/tty"), nullptr);
    EXPECT_EQ(OpenSerialPort("/dev/null"), nullptr);  // not a terminal
    auto port = OpenSerialPort(name);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(OpenSerialPort(name), nullptr) << "a second opener shares the port";
    // Settings written are read back.
    port->SetSettings(TSerialSettings{19200, kLineEnable, kLineEnable});
    EXPECT_EQ(port->GetSettings().BaudRate, 19200u);
    // A byte goes out unchanged (raw: no newline translation).
    ASSERT_TRUE(port->TransmitChar('\n'));
    char got[4] = {};
    for (int i = 0; i < 100 && read(master, got, sizeof got) <= 0; ++i)
        usleep(10000);
    EXPECT_EQ(got[0], '\n');
    EXPECT_EQ(got[1], 0);
    port->Wake();
    port->WaitEvent();  // returns: woken (and room to send)
    port.reset();
    close(master);
}

// A port opened and closed again and again, and opens refused, leave no descriptor behind.
TEST(TermiosPort, OpeningAndClosingLeavesNoDescriptorOpen)
{
    auto open = [] {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            ++n;
        return n;
    };
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    const int before = open();
    for (int i = 0; i < 10; ++i) {
        auto port = OpenSerialPort(name);
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(OpenSerialPort(name), nullptr);
        EXPECT_EQ(OpenSerialPort("/dev/null"), nullptr);
        port->Wake();
    }
    EXPECT_EQ(open(), before);
    close(master);
}

} // namespace
