// orvhost's script, trace and the answers it gives quenda's applets.
#include "HostCore.h"
#include "HostScanner.h"
#include "TestSupport.h"
#include "platform/clock/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gmock/gmock.h>

using ::testing::ElementsAre;

namespace {

TEST(HostScript, ParsesStepsInTimeOrderAndNamesABadLine)
{
    std::string error;
    auto s = HostScript::parse("# levels\n1.5 Squelch 40\n\n0.25 SignalStrength 90  # strong\n2 disconnect\n", &error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->steps.size(), 3u);
    EXPECT_EQ(s->steps[0].atMs, 250);
    EXPECT_EQ(s->steps[0].item, "SignalStrength");
    EXPECT_EQ(s->steps[0].value, 90);
    EXPECT_EQ(s->steps[1].atMs, 1500);
    EXPECT_EQ(s->steps[2].item, "");
    for (const char* bad : {"x Squelch 1", "1 Loudness 3", "1 Squelch", "1 Squelch 1x", "1 disconnect now", "-1 Mute 1",
                            "1 Mute 1 2", "nan Mute 1"}) {
        error.clear();
        EXPECT_FALSE(HostScript::parse(std::string("0 Mute 0\n") + bad + "\n", &error)) << bad;
        EXPECT_EQ(error, std::string("line 2: ") + bad);
    }
}

TEST(HostScript, TakesTheReceiversSettingsAndTheBandsStations)
{
    struct Case {
        const char* line;
        ScriptStep::Kind kind;
        const char* item;
        int value;
    };
    const Case good[] = {
        {"1 Frequency 451000000", ScriptStep::Kind::Set, "Frequency", 451000000},
        {"1 Volume 255", ScriptStep::Kind::Set, "Volume", 255},
        {"1 Attenuator 1", ScriptStep::Kind::Set, "Attenuator", 1},
        {"1 Power 0", ScriptStep::Kind::Set, "Power", 0},
        {"1 Mode 2", ScriptStep::Kind::Set, "Mode", 2},
        {"1 station-off 452000000", ScriptStep::Kind::StationOff, "", 452000000},
        {"1 station-on 452000000", ScriptStep::Kind::StationOn, "", 452000000},
        {"1 disconnect", ScriptStep::Kind::Disconnect, "", 0},
    };
    for (const Case& c : good) {
        std::string error;
        auto s = HostScript::parse(c.line, &error);
        ASSERT_TRUE(s) << c.line << ": " << error;
        ASSERT_EQ(s->steps.size(), 1u);
        EXPECT_EQ(s->steps[0].kind, c.kind) << c.line;
        EXPECT_EQ(s->steps[0].item, c.item) << c.line;
        EXPECT_EQ(s->steps[0].value, c.value) << c.line;
    }
    // Values outside what the receiver takes are refused, not clamped silently.
    for (const char* bad : {"1 Volume 256", "1 Attenuator 2", "1 Power -1", "1 Frequency -5", "1 station-off 0",
                            "1 station-on", "1 SignalStrength 70000"}) {
        std::string error;
        EXPECT_FALSE(HostScript::parse(bad, &error)) << bad;
        EXPECT_EQ(error, std::string("line 1: ") + bad);
    }
}

TEST(TraceWriter, WritesOneEscapedObjectPerLine)
{
    EXPECT_EQ(TraceWriter::line(0.5, {TraceWriter::text("dir", "quenda->host"), TraceWriter::text("dde", "poke"),
                                      TraceWriter::text("item", "Quenda Applet"),
                                      TraceWriter::text("data", "DTMF Decoder|/path/\"q\"\\x\n"),
                                      TraceWriter::number("length", 24)}),
              "{\"t\":0.500,\"dir\":\"quenda->host\",\"dde\":\"poke\",\"item\":\"Quenda Applet\","
              "\"data\":\"DTMF Decoder|/path/\\\"q\\\"\\\\x\\n\",\"length\":24}");
    EXPECT_EQ(TraceWriter::line(1, {TraceWriter::text("c", std::string("\x01", 1))}), "{\"t\":1.000,\"c\":\"\\u0001\"}");
}

// A DDE service that the test drives as the applets would.
struct FakeService : DdeService {
    std::vector<std::string>* log;
    explicit FakeService(std::vector<std::string>* l) : log(l) {}
    bool serve(const std::string& service, const std::string& topic) override
    {
        log->push_back("serve " + service + "|" + topic);
        return true;
    }
    void advise(const std::string& item, const Bytes& data) override
    {
        log->push_back("advise " + item + " " + std::string(data.begin(), data.end() - 1) + " +" +
                       std::to_string(data.size()));
    }
    void disconnectAll() override { log->push_back("disconnect all"); }
    int conversations() const override { return 1; }
};

TEST(HostCore, ServesTheReceiversTopicAndAnswersTheApplets)
{
    platform::FakeClock clock(1000);
    platform::ScopedClock scoped(clock);
    testsupport::TempDir dir;
    std::vector<std::string> log;
    auto service = std::make_unique<FakeService>(&log);
    FakeService* dde = service.get();
    {
        HostCore core(2, std::move(service), (dir / "trace.jsonl").string());
        EXPECT_TRUE(core.serving());
        clock.advance(500);
        const std::string poke = "DTMF Decoder|/bin/quenda";
        std::vector<uint8_t> data(poke.begin(), poke.end());
        data.push_back(0);
        EXPECT_TRUE(dde->onPoke(1, "Quenda Applet", data));
        ASSERT_EQ(core.applets().size(), 1u);
        EXPECT_EQ(core.applets()[0].name, "DTMF Decoder");
        EXPECT_EQ(core.applets()[0].path, "/bin/quenda");

        core.state().setValue("Squelch", 40);
        auto answer = dde->onRequest(1, "Squelch");
        ASSERT_TRUE(answer);
        EXPECT_EQ(std::string(answer->begin(), answer->end()), std::string("40\0", 3));
        EXPECT_FALSE(dde->onRequest(1, "Volume"));
        EXPECT_TRUE(dde->onAdvise(1, "ScanState", true));
        EXPECT_FALSE(dde->onAdvise(1, "Volume", true));
        EXPECT_TRUE(dde->onPoke(1, "ScanState", {'1', 0}));
        EXPECT_EQ(core.state().value("ScanState"), 1);
        EXPECT_FALSE(dde->onPoke(1, "ScanState", {'x', 0}));
        core.endConversations();
    }
    EXPECT_THAT(log, ElementsAre("serve Korvanta|Korvanta #2", "advise Squelch 40 +3", "advise ScanState 1 +2",
                                 "disconnect all"));
    const std::string trace = testsupport::readFile(dir / "trace.jsonl");
    EXPECT_THAT(trace, ::testing::StartsWith("{\"t\":0.500,\"dir\":\"quenda->host\",\"dde\":\"poke\",\"item\":"
                                             "\"Quenda Applet\",\"data\":\"DTMF Decoder|/bin/quenda\",\"length\":25}\n"));
}

TEST(HostCore, ScriptSetsValuesAndEndsTheConversationsOnTime)
{
    std::vector<std::string> log;
    HostCore core(1, std::make_unique<FakeService>(&log), "");
    std::string error;
    core.play(*HostScript::parse("0.02 SignalStrength 9\n0.04 disconnect\n", &error));
    QElapsedTimer t;
    t.start();
    while (log.size() < 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_THAT(log, ElementsAre("serve Korvanta|Korvanta #1", "advise SignalStrength 9 +2", "disconnect all"));
}

TEST(HostScanner, StopsWaitsForAnAppletsPokeAndResumesByItselfAfterTheTimeOut)
{
    std::vector<std::string> log;
    auto service = std::make_unique<FakeService>(&log);
    FakeService* dde = service.get();
    HostCore core(1, std::move(service), "");
    HostScanner scanner(core.state(), 600000, 600000);  // driven by expire(), not by the clock
    scanner.start();
    EXPECT_TRUE(scanner.scanning());
    scanner.expire();  // dwell over: stopped on a channel
    EXPECT_TRUE(scanner.waiting());
    EXPECT_EQ(core.state().value("ScanState"), 0);
    EXPECT_TRUE(dde->onPoke(1, "ScanState", {'1', 0}));  // the applet resumes the scan
    EXPECT_TRUE(scanner.scanning());
    EXPECT_TRUE(dde->onPoke(1, "ScanState", {'1', 0}));  // again while scanning: nothing changes
    scanner.expire();
    scanner.expire();  // no poke within the time-out
    EXPECT_TRUE(scanner.scanning());
    EXPECT_EQ(scanner.stops(), 2);
    EXPECT_EQ(scanner.timeouts(), 1);
    EXPECT_THAT(log, ElementsAre("serve Korvanta|Korvanta #1", "advise ScanState 1 +2", "advise ScanState 0 +2",
                                 "advise ScanState 1 +2", "advise ScanState 0 +2", "advise ScanState 1 +2"));
    scanner.stop();
    scanner.expire();
    EXPECT_EQ(log.size(), 6u);
}

TEST(HostScanner, KeepsItsRhythmOnItsOwnTimers)
{
    std::vector<std::string> log;
    HostCore core(1, std::make_unique<FakeService>(&log), "");
    HostScanner scanner(core.state(), 5, 15);
    scanner.start();
    QElapsedTimer t;
    t.start();
    while (scanner.timeouts() < 2 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_GE(scanner.timeouts(), 2);
    EXPECT_GE(scanner.stops(), 2);
}

}  // namespace
