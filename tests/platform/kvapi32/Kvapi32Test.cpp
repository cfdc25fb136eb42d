#include "platform/kvapi32/CallTrace.h"
#include "platform/kvapi32/Kvapi32.h"
#include "platform/kvapi32/RigConfig.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace platform::kvapi;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

const std::vector<std::string> kEntryNames = {
    "OpenRadioDevice", "CloseRadioDevice", "GetRadioDeviceInfo", "GetSignalStrength", "SetFrequency", "SetMode",
    "SetVolume", "SetAtten", "SetMute", "SetPower", "SetScanMode", "SetBFOOffset", "SetIFShift", "SetAudioSource",
    "SetDSPSource", "SetAGC", "SetIFGain", "EnableRFPreamp", "ForceMono", "GetFrequency", "GetMode", "GetVolume",
    "GetAtten", "GetMute", "GetPower", "GetScanMode", "GetBFOOffset", "GetIFShift", "GetAudioSource",
    "GetDSPSource", "GetAGC", "GetIFGain", "IsRFPreampEnabled", "IsStereo", "dspOpen", "dspClose", "dspSendByte",
    "dspReadByte", "dspOutWrite", "dspInAddBuffer", "dspPause", "dspResume", "dspOutReset", "dspInReset",
    "dspInOpen", "dspOutOpen", "EnableRadioNotification", "GetModeStringA", "GetModeStringW", "GetInterruptCount",
    "OpenRadioCount"};

using Fn0 = int32_t (*)();
using Fn1 = int32_t (*)(int32_t);
using Fn2 = int32_t (*)(int32_t, int32_t);

// The built library, loaded once for the whole program as a plug-in's process would have it.
void* Library()
{
    static void* handle = ::dlopen(testsupport::libPath("libkvapi32.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle;
}

template <class F>
F Entry(const char* name)
{
    void* p = Library() ? ::dlsym(Library(), name) : nullptr;
    if (!p)
        ADD_FAILURE() << "missing entry " << name;
    return reinterpret_cast<F>(p);
}

int32_t Open(int32_t n) { return Entry<Fn1>("OpenRadioDevice")(n); }
int32_t Close(int32_t n) { return Entry<Fn1>("CloseRadioDevice")(n); }
int32_t Call1(const char* name, int32_t r) { return Entry<Fn1>(name)(r); }
int32_t Call2(const char* name, int32_t r, int32_t v) { return Entry<Fn2>(name)(r, v); }

std::vector<int32_t> OpenAll()
{
    std::vector<int32_t> got;
    for (int i = 0; i < 8; ++i) {
        got.push_back(Open(0));
        if (got.back() == 0)
            break;
    }
    return got;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Each test starts and ends with every receiver closed, so the next one's configuration applies.
class Kvapi32 : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Library(), nullptr) << ::dlerror(); }
    void TearDown() override
    {
        for (int r = 1; r <= 8; ++r)
            Close(r);
        EXPECT_EQ(Entry<Fn0>("OpenRadioCount")(), 0);
    }
};

TEST_F(Kvapi32, ExportsExactlyTheReceiverEntryPoints)
{
    std::string out;
    ASSERT_EQ(testsupport::runProgram({"/usr/bin/nm", "-D", "--defined-only", testsupport::libPath("libkvapi32.so").string()},
                                      {}, &out),
              0);
    std::set<std::string> exported;
    for (const std::string& line : Lines(out)) {
        std::istringstream words(line);
        std::string address, type, name;
        if (words >> address >> type >> name)
            exported.insert(name);
    }
    EXPECT_EQ(exported, std::set<std::string>(kEntryNames.begin(), kEntryNames.end()));
    EXPECT_EQ(kEntryNames.size(), 51u);
    EXPECT_EQ(::dlsym(Library(), "StrengthFromDb"), nullptr);
}

TEST_F(Kvapi32, OpensEachFreeReceiverOnceAndReusesAClosedNumber)
{
    ScopedEnv rigs("KVAPI32_RIGS", "");
    EXPECT_EQ(OpenAll(), (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(Entry<Fn0>("OpenRadioCount")(), 2);
    EXPECT_EQ(Close(1), 1);
    EXPECT_EQ(Close(1), 0);  // already closed
    EXPECT_EQ(Open(0), 1);
    EXPECT_EQ(Open(2), 0);  // asked for by number while open
    EXPECT_EQ(Close(2), 1);
    EXPECT_EQ(Open(2), 2);
    EXPECT_EQ(Open(-1), 0);
    EXPECT_EQ(Open(3), 0);  // not in the pool
}

TEST_F(Kvapi32, HostHoldsTheFirstReceiverAndAPluginGetsTheNext)
{
    ScopedEnv rigs("KVAPI32_RIGS", "1,1,1");
    ASSERT_EQ(Open(0), 1);  // the host's primary
    EXPECT_EQ(Open(0), 2);
    EXPECT_EQ(Open(0), 3);
    EXPECT_EQ(Close(2), 1);
    EXPECT_EQ(Open(0), 2);
}

TEST_F(Kvapi32, BadRigEntriesLeaveOnlyThoseReceiversUnavailable)
{
    struct Case {
        const char* rigs;
        std::vector<int32_t> opened;
    } cases[] = {
        {"1,99999,1", {1, 3, 0}}, {"1,abc", {1, 0}},     {",,,", {0}},        {"0,-1,1", {3, 0}},
        {" 1 , 1 ", {1, 2, 0}},   {"1:", {0}},           {"1x,1", {2, 0}},    {"99999999999,1", {2, 0}},
    };
    for (const Case& c : cases) {
        ScopedEnv rigs("KVAPI32_RIGS", c.rigs);
        EXPECT_EQ(OpenAll(), c.opened) << c.rigs;
        for (int r = 1; r <= 4; ++r)
            Close(r);
    }
    ScopedEnv rigs("KVAPI32_RIGS", "1,99999");
    EXPECT_EQ(Call2("GetRadioDeviceInfo", 1, 0), 1);
    EXPECT_EQ(Call2("GetRadioDeviceInfo", 2, 0), 0);
}

TEST(RigList, ParsesModelsAndPorts)
{
    const auto rigs = ParseRigList("1:/dev/ttyUSB0, 2 ,bad,3:");
    ASSERT_EQ(rigs.size(), 4u);
    ASSERT_TRUE(rigs[0] && rigs[1]);
    EXPECT_EQ(rigs[0]->model, 1);
    EXPECT_EQ(rigs[0]->port, "/dev/ttyUSB0");
    EXPECT_EQ(rigs[1]->model, 2);
    EXPECT_EQ(rigs[1]->port, "");
    EXPECT_FALSE(rigs[2]);
    EXPECT_FALSE(rigs[3]);
    EXPECT_EQ(ParseRigList(nullptr).size(), 2u);
}

TEST_F(Kvapi32, DummyRigKeepsWhatItIsGiven)
{
    ScopedEnv rigs("KVAPI32_RIGS", "1,1");
    ASSERT_EQ(Open(0), 1);
    ASSERT_EQ(Open(0), 2);
    EXPECT_EQ(Call2("SetFrequency", 2, 450137500), 1);
    EXPECT_EQ(uint32_t(Call1("GetFrequency", 2)), 450137500u);
    EXPECT_NE(uint32_t(Call1("GetFrequency", 1)), 450137500u);  // each receiver has its own rig
    // Above 2^31 Hz the frequency is still unsigned.
    EXPECT_EQ(Call2("SetFrequency", 2, int32_t(3000000000u)), 1);
    EXPECT_EQ(uint32_t(Call1("GetFrequency", 2)), 3000000000u);

    struct Case {
        const char* set;
        const char* get;
        int32_t value, result, after;
    } cases[] = {
        {"SetMode", "GetMode", 2, 1, 2},         {"SetMode", "GetMode", 9, 0, 2},
        {"SetVolume", "GetVolume", 200, 1, 200}, {"SetVolume", "GetVolume", 256, 0, 200},
        {"SetVolume", "GetVolume", -1, 0, 200},  {"SetMute", "GetMute", 1, 1, 1},
        {"SetPower", "GetPower", 1, 1, 1},       {"SetAtten", "GetAtten", 1, 1, 1},
        {"SetAtten", "GetAtten", 0, 1, 0},       {"SetScanMode", "GetScanMode", 1, 1, 1},
        {"SetAGC", "GetAGC", 3, 1, 3},           {"EnableRFPreamp", "IsRFPreampEnabled", 5, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Call2(c.set, 1, c.value), c.result) << c.set << " " << c.value;
        EXPECT_EQ(Call1(c.get, 1), c.after) << c.get;
    }

    // A reopened receiver starts afresh.
    Close(1);
    ASSERT_EQ(Open(1), 1);
    EXPECT_EQ(Call1("GetVolume", 1), 0);
}

TEST_F(Kvapi32, ClosedReceiverDoesNothing)
{
    ScopedEnv rigs("KVAPI32_RIGS", "1");
    for (const char* set : {"SetFrequency", "SetMode", "SetVolume", "SetMute", "SetPower", "SetScanMode"})
        EXPECT_EQ(Call2(set, 1, 2), 0) << set;
    for (const char* get : {"GetFrequency", "GetSignalStrength", "GetMode", "GetPower"})
        EXPECT_EQ(Call1(get, 1), 0) << get;
    EXPECT_EQ(Call1("GetFrequency", 0), 0);
}

TEST(Strength, DecibelsRelativeToS9OnTheSixteenBitScale)
{
    struct Case {
        int db;
        int32_t v;
    } cases[] = {{-200, 0}, {-64, 0}, {-63, 512}, {-47, 8704}, {0, 32768}, {63, 65024}, {64, 65535}, {1000, 65535}};
    for (const Case& c : cases)
        EXPECT_EQ(StrengthFromDb(c.db), c.v) << c.db;
}

TEST_F(Kvapi32, DummyRigStrengthIsAWeakSignal)
{
    ScopedEnv rigs("KVAPI32_RIGS", "1");
    ASSERT_EQ(Open(0), 1);
    for (int i = 0; i < 5; ++i) {
        const int32_t s = Call1("GetSignalStrength", 1);
        EXPECT_GT(s, 0);
        EXPECT_LT(s, KVAPI32_STRENGTH_S9);
    }
}

TEST_F(Kvapi32, FakePoolReadsScriptedStrengthsInTurn)
{
    TempDir dir;
    const auto script = dir / "pool.txt";
    testsupport::writeFile(script, "receivers 3   # three receivers\n"
                                   "strength 2 450137500 30000 30000 100\n"
                                   "strength 2 * 7\n"
                                   "bogus line\n");
    ScopedEnv fake("KVAPI32_FAKE", script.string());
    ScopedEnv rigs("KVAPI32_RIGS", "99999");  // the fake wins
    EXPECT_EQ(OpenAll(), (std::vector<int32_t>{1, 2, 3, 0}));
    Call2("SetFrequency", 2, 450137500);
    std::vector<int32_t> read;
    for (int i = 0; i < 4; ++i)
        read.push_back(Call1("GetSignalStrength", 2));
    EXPECT_EQ(read, (std::vector<int32_t>{30000, 30000, 100, 100}));
    Call2("SetFrequency", 2, 450150000);
    EXPECT_EQ(Call1("GetSignalStrength", 2), 7);
    EXPECT_EQ(Call1("GetSignalStrength", 1), 0);

    // A changed script takes effect at the next read, its sequences from the start.
    testsupport::writeFile(script, "receivers 3\nstrength 2 450150000 12345 54321\n");
    EXPECT_EQ(Call1("GetSignalStrength", 2), 12345);
    EXPECT_EQ(Call1("GetSignalStrength", 2), 54321);
}

TEST(FakeScript, SkipsMalformedLines)
{
    const FakeScript s = ParseFakeScript("receivers 0\nreceivers 65\nreceivers 4\nstrength 1 * 70000\n"
                                         "strength 0 * 1\nstrength 1 x 1\nstrength 1 -5 1\nstrength 1 100\n"
                                         "strength 1 100 5\n\n   # note\n");
    EXPECT_EQ(s.receivers, 4);
    EXPECT_EQ(s.errors.size(), 7u);
    ASSERT_EQ(s.strengths.size(), 1u);
    EXPECT_EQ(s.strengths.begin()->second, std::vector<int32_t>{5});
}

TEST_F(Kvapi32, TraceRecordsEveryCallWithItsCaller)
{
    TempDir dir;
    const auto trace = dir / "kvapi32.jsonl";
    ScopedEnv on("KVAPI32_TRACE", trace.string());
    ScopedEnv rigs("KVAPI32_RIGS", "1,1");
    ASSERT_EQ(Open(0), 1);
    ASSERT_EQ(Open(0), 2);

    void* caller = ::dlopen(testsupport::libPath("libkvapi32_test_caller.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(caller, nullptr) << ::dlerror();
    auto tune = reinterpret_cast<int32_t (*)(int32_t, uint32_t)>(::dlsym(caller, "CallerSetFrequency"));
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune(2, 450137500), 1);
    EXPECT_EQ(Entry<Fn2>("dspSendByte")(4, 5), 0);
    Entry<Fn0>("OpenRadioCount")();
    EXPECT_EQ(Close(2), 1);
    ::dlclose(caller);

    const std::vector<std::string> expected = {
        R"("dir":"host->kvapi32","call":"OpenRadioDevice","receiver":0,"args":[],"result":1})",
        R"("dir":"host->kvapi32","call":"OpenRadioDevice","receiver":0,"args":[],"result":2})",
        R"("dir":"plugin->kvapi32","call":"SetFrequency","receiver":2,"args":[450137500],"result":1})",
        R"("dir":"host->kvapi32","call":"dspSendByte","args":[4,5],"result":0})",
        R"("dir":"host->kvapi32","call":"OpenRadioCount","args":[],"result":2})",
        R"("dir":"host->kvapi32","call":"CloseRadioDevice","receiver":2,"args":[],"result":1})",
    };
    const std::vector<std::string> lines = Lines(testsupport::readFile(trace));
    ASSERT_EQ(lines.size(), expected.size());
    const std::regex stamp(R"(^\{"t":[0-9]+\.[0-9]{3},(.*)$)");
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, stamp)) << lines[i];
        EXPECT_EQ(m[1].str(), expected[i]);
    }
}

TEST(CallTrace, LineShape)
{
    EXPECT_EQ(CallTraceLine(2.0, "plugin->kvapi32", "SetFrequency", 2, {450137500}, 1),
              R"({"t":2.000,"dir":"plugin->kvapi32","call":"SetFrequency","receiver":2,"args":[450137500],"result":1})");
    EXPECT_EQ(CallTraceLine(0.25, "host->kvapi32", "GetFrequency", 1, {}, 3000000000),
              R"({"t":0.250,"dir":"host->kvapi32","call":"GetFrequency","receiver":1,"args":[],"result":3000000000})");
}

// Hamlib's own network daemon with its simulated rig on a free local port, as users share a receiver
// between programs; the daemon ends with the object.
class RigDaemon {
public:
    static constexpr const char* kProgram = "/usr/bin/rigctld";

    RigDaemon()
    {
        port_ = FreePort();
        if (port_ == 0 || ::access(kProgram, X_OK) != 0)
            return;
        const std::string port = std::to_string(port_);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(kProgram, kProgram, "-m", "1", "-T", "127.0.0.1", "-t", port.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Listening within a few seconds, however busy the machine.
        for (int i = 0; i < 1000 && !Ask("f").has_value(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~RigDaemon() { Stop(); }

    bool Running() { return pid_ > 0 && Ask("f").has_value(); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    void Stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // One command of the daemon's own protocol on a connection of its own: the first line of the answer.
    std::optional<std::string> Ask(const std::string& command) const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port_);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::optional<std::string> answer;
        const std::string line = command + "\n";
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size())) {
            std::string got;
            pollfd p{fd, POLLIN, 0};
            char c;
            while (::poll(&p, 1, 5000) == 1 && ::read(fd, &c, 1) == 1 && c != '\n')
                got += c;
            answer = got;
        }
        ::close(fd);
        return answer;
    }

private:
    static uint16_t FreePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        uint16_t port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

    uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// Hamlib's network rig, the model that talks to the daemon.
constexpr int kNetworkRigModel = 2;

// Runs a call and tells how long it took.
template <class F>
double Seconds(F f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(Kvapi32, DrivesAReceiverThroughHamlibsNetworkDaemon)
{
    RigDaemon daemon;
    ASSERT_TRUE(daemon.Running()) << RigDaemon::kProgram << " did not start (scripts/deps installs it)";
    ScopedEnv rigs("KVAPI32_RIGS", std::to_string(kNetworkRigModel) + ":" + daemon.Address());
    ASSERT_EQ(Open(0), 1);
    EXPECT_EQ(Call2("SetFrequency", 1, 145500000), 1);
    EXPECT_EQ(uint32_t(Call1("GetFrequency", 1)), 145500000u);
    EXPECT_EQ(daemon.Ask("f"), "145500000") << "the daemon's rig is tuned";
    const struct { int32_t mode; const char* rig; } modes[] = {
        {KVAPI32_MODE_NFM, "FM"}, {KVAPI32_MODE_USB, "USB"}, {KVAPI32_MODE_AM, "AM"}, {KVAPI32_MODE_WFM, "WFM"}};
    for (const auto& m : modes) {
        EXPECT_EQ(Call2("SetMode", 1, m.mode), 1) << m.rig;
        EXPECT_EQ(Call1("GetMode", 1), m.mode) << m.rig;
        EXPECT_EQ(daemon.Ask("m"), m.rig);
    }
    // A frequency another program sets on the daemon is what the library reads (Hamlib may answer
    // from what it last knew for a moment).
    EXPECT_EQ(daemon.Ask("F 433920000"), "RPRT 0");
    uint32_t read = 0;
    for (int i = 0; i < 300 && (read = uint32_t(Call1("GetFrequency", 1))) != 433920000u; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read, 433920000u);
    const int32_t s = Call1("GetSignalStrength", 1);
    EXPECT_GT(s, 0);
    EXPECT_LT(s, KVAPI32_STRENGTH_S9);
    EXPECT_EQ(Close(1), 1);
}

TEST_F(Kvapi32, AMissingDaemonOrOneThatGoesAwayGivesTheLibrarysErrorAtOnce)
{
    {
        RigDaemon absent;  // a free port with nothing behind it
        absent.Stop();
        ScopedEnv rigs("KVAPI32_RIGS", std::to_string(kNetworkRigModel) + ":" + absent.Address());
        int32_t opened = -1;
        EXPECT_LT(Seconds([&] { opened = Open(0); }), 5.0);
        EXPECT_EQ(opened, 0) << "no receiver without its daemon";
        EXPECT_EQ(Call1("GetFrequency", 1), 0);
    }
    RigDaemon daemon;
    ASSERT_TRUE(daemon.Running()) << RigDaemon::kProgram << " did not start (scripts/deps installs it)";
    ScopedEnv rigs("KVAPI32_RIGS", std::to_string(kNetworkRigModel) + ":" + daemon.Address());
    ASSERT_EQ(Open(0), 1);
    ASSERT_EQ(Call2("SetFrequency", 1, 145500000), 1);
    daemon.Stop();
    const struct { const char* call; int32_t arg; bool set; } calls[] = {
        {"SetFrequency", 145600000, true}, {"GetFrequency", 0, false}, {"GetSignalStrength", 0, false},
        {"SetMode", KVAPI32_MODE_USB, true}, {"SetFrequency", 145700000, true}};
    for (const auto& c : calls) {
        int32_t got = -1;
        EXPECT_LT(Seconds([&] { got = c.set ? Call2(c.call, 1, c.arg) : Call1(c.call, 1); }), 5.0) << c.call;
        EXPECT_EQ(got, 0) << c.call << " after the daemon went away";
    }
    EXPECT_LT(Seconds([&] { Close(1); }), 5.0);
}

}  // namespace
