// The secondary receiver and the scan on the shared receiver library with its scripted pool.
#include "SecondaryFixtures.h"

#include "platform/kvapi32/Kvapi32.h"

#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

using ::testing::ElementsAre;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

struct TTraced {
    std::string call;
    int32_t receiver = 0;
    std::string args;
    int64_t result = 0;
};

std::vector<TTraced> ReadTrace(const std::filesystem::path& file)
{
    static const std::regex call(R"re("call":"(\w+)")re"), receiver(R"re("receiver":(-?\d+))re"),
        args(R"re("args":\[([^\]]*)\])re"), result(R"re("result":(-?\d+))re");
    std::vector<TTraced> out;
    std::istringstream in(std::filesystem::exists(file) ? testsupport::readFile(file) : std::string());
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        TTraced t;
        if (std::regex_search(line, m, call))
            t.call = m[1];
        if (t.call == "OpenRadioCount")
            continue;
        if (std::regex_search(line, m, receiver))
            t.receiver = std::stoi(m[1]);
        if (std::regex_search(line, m, args))
            t.args = m[1];
        if (std::regex_search(line, m, result))
            t.result = std::stoll(m[1]);
        out.push_back(t);
    }
    return out;
}

// "Name receiver [args]" per traced call, OpenRadioDevice with "=result".
std::vector<std::string> Names(const std::vector<TTraced>& trace)
{
    std::vector<std::string> out;
    for (const TTraced& t : trace) {
        std::string s = t.call + " " + std::to_string(t.receiver);
        if (!t.args.empty())
            s += " " + t.args;
        if (t.call == "OpenRadioDevice")
            s += "=" + std::to_string(t.result);
        out.push_back(s);
    }
    return out;
}

// Every receiver call the library refused: the library answers 0 to a call on a receiver
// that is not open.
int Refused(const std::vector<TTraced>& trace)
{
    int n = 0;
    for (const TTraced& t : trace)
        if (t.call != "OpenRadioDevice" && t.result == 0 && t.call != "GetSignalStrength")
            ++n;
    return n;
}

class Kvapi32Secondary : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path script = dir / "pool.txt";
    std::filesystem::path trace = dir / "trace.jsonl";
    std::unique_ptr<ScopedEnv> fake, traced;
    TRecordingWindow window;

    void Pool(const std::string& text)
    {
        testsupport::writeFile(script, text);
        fake = std::make_unique<ScopedEnv>("KVAPI32_FAKE", script.string());
        traced = std::make_unique<ScopedEnv>("KVAPI32_TRACE", trace.string());
        ASSERT_EQ(OpenRadioCount(), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(OpenRadioCount(), 0) << "a receiver was left open";
        for (int32_t n = 1; n <= 8; ++n)  // so that the next test's pool applies
            CloseRadioDevice(n);
    }
};

TEST_F(Kvapi32Secondary, OpenSetUpSuspendResumeAndCloseOnTheLibrary)
{
    Pool("receivers 3\n");
    TSecondaryReceiver secondary(Kvapi32Library(), window);
    window.Volume = 200;
    window.Attenuator = 0;

    const std::vector<TSecondaryMenuItem> items = secondary.ListReceivers();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(OpenRadioCount(), 0);
    secondary.None1Click(items[2]);
    EXPECT_EQ(OpenRadioCount(), 1);
    EXPECT_EQ(GetFrequency(2), 1000000u);
    EXPECT_EQ(GetMute(2), 1);
    EXPECT_EQ(GetMode(2), 2);
    EXPECT_EQ(GetScanMode(2), 1);
    EXPECT_EQ(GetVolume(2), 200);
    EXPECT_EQ(GetPower(2), 1);

    secondary.StartSecondaryReceiver();  // power-on again: nothing more opened
    EXPECT_EQ(OpenRadioCount(), 1);
    secondary.StopSecondaryReceiver();   // suspend
    EXPECT_EQ(OpenRadioCount(), 0);
    secondary.Follow(450012500);         // nothing reaches the closed receiver
    secondary.StartSecondaryReceiver();  // resume
    EXPECT_EQ(OpenRadioCount(), 1);
    EXPECT_EQ(GetFrequency(2), 1000000u);
    secondary.None1Click(items[0]);
    EXPECT_EQ(OpenRadioCount(), 0);

    const std::vector<TTraced> calls = ReadTrace(trace);
    const std::vector<std::string> setUp = {"SetPower 2 1",    "SetMute 2 1",   "SetMode 2 2",
                                            "SetScanMode 2 1", "SetFrequency 2 1000000",
                                            "SetVolume 2 200", "SetAtten 2 0"};
    std::vector<std::string> expected = {
        // the menu
        "OpenRadioDevice 0=1", "OpenRadioDevice 0=2", "OpenRadioDevice 0=3", "OpenRadioDevice 0=0",
        "CloseRadioDevice 1", "CloseRadioDevice 2", "CloseRadioDevice 3",
        // receiver 2 chosen
        "OpenRadioDevice 0=1", "OpenRadioDevice 0=2", "CloseRadioDevice 1"};
    expected.insert(expected.end(), setUp.begin(), setUp.end());
    for (const char* c : {"GetFrequency 2", "GetMute 2", "GetMode 2", "GetScanMode 2", "GetVolume 2", "GetPower 2"})
        expected.push_back(c);
    expected.insert(expected.end(), {"SetPower 2 0", "CloseRadioDevice 2", "OpenRadioDevice 0=1",
                                     "OpenRadioDevice 0=2", "CloseRadioDevice 1"});
    expected.insert(expected.end(), setUp.begin(), setUp.end());
    expected.insert(expected.end(), {"GetFrequency 2", "SetPower 2 0", "CloseRadioDevice 2"});
    EXPECT_EQ(Names(calls), expected);
    EXPECT_EQ(Refused(calls), 0);
}

TEST_F(Kvapi32Secondary, ReceiverTakenByTheHostLeavesNoneOpenAbove)
{
    Pool("receivers 3\n");
    ASSERT_EQ(OpenRadioDevice(2), 2);  // the host holds receiver 2
    TSecondaryReceiver secondary(Kvapi32Library(), window);
    secondary.None1Click({SecondaryCaption(2), 2});
    EXPECT_FALSE(secondary.IsOpen());
    EXPECT_EQ(OpenRadioCount(), 1);
    secondary.Park();
    secondary.StopSecondaryReceiver();
    EXPECT_EQ(CloseRadioDevice(2), 1);
    EXPECT_EQ(Refused(ReadTrace(trace)), 0);
}

TEST_F(Kvapi32Secondary, ScanRemovesTheQuietCallAndMovesToTheNextChannel)
{
    TScanFixture record;
    record.AddCalls({7, 300});
    std::ostringstream pool;
    pool << "receivers 2\n"
         << "strength 1 " << record.Hz(7) << " 100\n"
         << "strength 1 * 30000\n";
    Pool(pool.str());
    TSecondaryReceiver secondary(Kvapi32Library(), window);
    secondary.None1Click({SecondaryCaption(1), 1});
    TTrafficScan scan;
    scan.ScanChannel = 301;
    const size_t before = ReadTrace(trace).size();

    for (int i = 0; i < 7; ++i)
        scan.Tick(secondary, record);

    EXPECT_THAT(record.Removed, ElementsAre(7));
    EXPECT_EQ(scan.ScanChannel, 300);
    EXPECT_EQ(GetFrequency(1), record.Hz(300));
    secondary.StopSecondaryReceiver();

    std::vector<std::string> tunes;
    const std::vector<TTraced> calls = ReadTrace(trace);
    for (size_t i = before; i < calls.size(); ++i)
        if (calls[i].call == "SetFrequency")
            tunes.push_back(calls[i].args);
    EXPECT_THAT(tunes, ElementsAre(std::to_string(record.Hz(7)), std::to_string(record.Hz(300))));
    EXPECT_EQ(Refused(calls), 0);
}

}  // namespace
