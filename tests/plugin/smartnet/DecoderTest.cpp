#include "SmartNetDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

const char* LabelName(TSmartNetLabel l)
{
    switch (l) {
    case TSmartNetLabel::SysID: return "SysID";
    case TSmartNetLabel::SysDescr: return "SysDescr";
    case TSmartNetLabel::SysType: return "SysType";
    case TSmartNetLabel::SysTime: return "SysTime";
    case TSmartNetLabel::SysSite: return "SysSite";
    case TSmartNetLabel::CtrlChan: return "CtrlChan";
    case TSmartNetLabel::CtrlChanFreq: return "CtrlChanFreq";
    case TSmartNetLabel::AccFrames: return "AccFrames";
    }
    return "?";
}

TSmartNetDateNames English()
{
    return {{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
            {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}};
}

// The window as the decoder sees it: every action kept as a line of text.
struct Client : TSmartNetDecoderClient {
    TSmartNetSystemRecord* record = nullptr;
    std::vector<std::string> events;
    bool secondary = false;
    uint32_t secondaryFrequency = 1000000;
    uint16_t secondaryStrength = 0;
    bool autoTune = false;
    TSmartNetDateNames names = English();
    int rows = 2;

    std::function<void()> onTune;  // the host's answer inside the tune command
    void TuneHost(int32_t f, bool self) override
    {
        events.push_back("tune " + std::to_string(f) + (self ? " self" : ""));
        if (onTune)
            onTune();
    }
    bool SecondaryInUse() override { return secondary; }
    uint32_t SecondaryFrequency() override { return secondaryFrequency; }
    void SecondaryFollow(uint32_t f) override
    {
        secondaryFrequency = f;
        events.push_back("follow " + std::to_string(f));
    }
    void SecondaryPark() override
    {
        secondaryFrequency = 1000000;
        events.push_back("park");
    }
    uint16_t SecondarySignalStrength() override { return secondaryStrength; }
    bool AutoTuneChecked() override { return autoTune; }
    TSmartNetLocalTime LocalTime() override { return {2026, 12, 10, 14, 5, 9}; }
    TSmartNetDateNames DateNames() override { return names; }
    void SelectSystem(uint16_t identity) override
    {
        char t[16];
        std::snprintf(t, sizeof t, "select %04X", identity);
        events.push_back(t);
        *record = TSmartNetSystemRecord{};
        record->SystemIdentity = identity;
    }
    void SaveSystem() override { events.push_back("save"); }
    void WriteLogEntry(const TSmartNetLocalTime&, uint16_t system, const TSmartNetOnAirEntry& e) override
    {
        events.push_back("log " + std::to_string(system) + " " + std::to_string(e.Identity) + " " +
                         std::to_string(e.Channel));
    }
    void SetText(TSmartNetLabel l, const std::string& text) override
    {
        events.push_back(std::string(LabelName(l)) + "=" + text);
    }
    void EnableSystemControls(bool on) override { events.push_back(on ? "enable" : "disable"); }
    void RetToCtrlChanged(bool on) override { events.push_back(on ? "ret on" : "ret off"); }
    void SetGridRows(int r) override { rows = r; }
    void RepaintGrid() override {}

    bool Has(const std::string& e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
    int Count(const std::string& prefix) const
    {
        return int(std::count_if(events.begin(), events.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
    }
};

constexpr int32_t kTuned = 851000000;

struct Sink : TSmartNetWordSink {
    void GoodWord(const TSmartNetOsw&) override {}
    void BadFrame() override {}
    void AccuracyText(const std::string&) override {}
};

struct Fixture {
    TSmartNetSystemRecord record;
    Client client;
    TSmartNetDecoder decoder{client, record};
    explicit Fixture(uint16_t system = 0x0ABC)
    {
        client.record = &record;
        record.SystemIdentity = system;
        decoder.BuffersSinceTune = 100;
        decoder.TunedFrequency = kTuned;
    }
    void Words(std::initializer_list<TSmartNetOsw> words)
    {
        for (const TSmartNetOsw& w : words)
            decoder.GoodWord(w);
    }
    // Control channel 10 known: base = tuned - 10 steps.
    void KnowControlChannel()
    {
        decoder.SetControlChannel(10);
        client.events.clear();
    }
};

TSmartNetOsw W(uint16_t command, uint16_t address = 0x2F8F, uint8_t group = 1) { return {command, address, group}; }
const TSmartNetOsw kIdle = W(0x2F8);

// The decision on the oldest of three words, row by row.
TEST(SmartNetDecision, TableOfWordTriples)
{
    struct Case {
        const char* name;
        TSmartNetOsw w2, w1, w0;
        int counter;          // WordsInSequence afterwards
        const char* event;    // one event that must have happened ("" none)
        int control;          // ControlChannel afterwards
        int pending;          // PendingSystemId afterwards
    } cases[] = {
        {"1 control channel word", W(0x30B, 0x2805), kIdle, kIdle, 3, "CtrlChan=5", 5, 0xFFFF},
        {"1 not a control channel", W(0x30B, 0x1805), kIdle, kIdle, 3, "", -1, 0xFFFF},
        {"2 networkable identity", W(0x100, 0x0ABD), W(0x320), W(0x30B), 0, "SysType=Networkable", -1, 0x0ABD},
        {"3 single or multicast", W(0x32B, 0x0ABE), kIdle, kIdle, 3, "SysType=Single or Multicast", -1, 0x0ABE},
        {"4 site", W(0x365), kIdle, kIdle, 2, "SysSite=5", -1, 0xFFFF},
        {"4 last site", W(0x394), kIdle, kIdle, 2, "SysSite=52", -1, 0xFFFF},
        {"5 identity and channel", W(0x308, 0x0AAA), W(0x30B, 0x2811), W(0x2F0, 0x1F00), 0, "CtrlChan=752", 752, 0x0AAA},
        {"5 wrong high byte", W(0x308, 0x0AAA), W(0x30B, 0x2811), W(0x2F0, 0x2000), 0, "", -1, 0xFFFF},
        {"6 identity, channel of W1", W(0x308, 0x0AAA), W(0x30B, 0x2811), kIdle, 1, "CtrlChan=17", 17, 0x0AAA},
        {"6 no control word", W(0x308, 0x0AAA), W(0x30B, 0x1811), kIdle, 1, "SysType=Networkable", -1, 0xFFFF},
        {"7 networkable", W(0x308), W(0x320), W(0x30B), 0, "SysType=Networkable", -1, 0xFFFF},
        {"8 0x310", W(0x308), W(0x310), kIdle, 1, "", -1, 0xFFFF},
        {"8 0x319", W(0x308), W(0x319), kIdle, 1, "", -1, 0xFFFF},
        {"9 date and time", W(0x308, 0xFD8A), W(0x322, 0x0E1E), kIdle, 1, "SysTime=26 Dec 10 Thu  14:30", -1, 0xFFFF},
        {"10 grant after 0x308", W(0x308), W(0x123, 0x4567), kIdle, 1, "", -1, 0xFFFF},
        {"11 0x308 alone", W(0x308), kIdle, kIdle, 2, "", -1, 0xFFFF},
        {"12 grant", W(0x123, 0x4567, 0), kIdle, kIdle, 3, "log 2748 17767 291", -1, 0xFFFF},
        {"12 grant to address 0", W(0x123, 0x0000), kIdle, kIdle, 2, "", -1, 0xFFFF},
        {"12 grant to the system", W(0x123, 0x0ABC), kIdle, kIdle, 2, "", -1, 0xFFFF},
        {"12 a triple's third word alone", W(0x2F0, 0x1F00), kIdle, kIdle, 2, "", -1, 0xFFFF},
        {"12 third word on another channel", W(0x064, 0x1F42), kIdle, kIdle, 2, "", -1, 0xFFFF},
        {"13 anything else", kIdle, kIdle, kIdle, 2, "", -1, 0xFFFF},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.Words({c.w2, c.w1, c.w0});
        EXPECT_EQ(f.decoder.WordsInSequence, c.counter) << c.name;
        if (*c.event) {
            EXPECT_TRUE(f.client.Has(c.event)) << c.name;
        }
        EXPECT_EQ(f.decoder.ControlChannel, c.control) << c.name;
        EXPECT_EQ(f.decoder.PendingSystemId, c.pending) << c.name;
        EXPECT_EQ(f.client.Count("select"), 0) << c.name;
        EXPECT_EQ(f.decoder.OnAir().size(), std::string(c.event).rfind("log", 0) == 0 ? 1u : 0u) << c.name;
    }
}

TEST(SmartNetDecision, NothingIsDecidedBeforeThreeWords)
{
    Fixture f;
    f.Words({W(0x32B, 0x1111), kIdle});
    EXPECT_EQ(f.decoder.WordsInSequence, 2);
    EXPECT_EQ(f.decoder.PendingSystemId, 0xFFFF);
    f.decoder.BadFrame();
    EXPECT_EQ(f.decoder.WordsInSequence, 0);
}

TEST(SmartNetSystemTime, InjectedLocaleNamesAndImpossibleDates)
{
    TSmartNetDateNames german{{"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
                              {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}};
    EXPECT_EQ(SmartNetSystemTimeText(2026, 12, 10, 14, 30, german), "26 Dez 10 Do  14:30");
    EXPECT_EQ(SmartNetSystemTimeText(2000, 2, 29, 0, 0, English()), "00 Feb 29 Tue  00:00");
    EXPECT_EQ(SmartNetSystemTimeText(1999, 3, 1, 23, 59, English()), "99 Mar 01 Mon  23:59");
    for (auto bad : {std::array<int, 5>{2026, 0, 1, 0, 0}, {2026, 13, 1, 0, 0}, {2026, 2, 29, 0, 0},
                     {2026, 4, 31, 0, 0}, {2026, 1, 0, 0, 0}, {2026, 1, 1, 24, 0}, {2026, 1, 1, 0, 60}})
        EXPECT_FALSE(SmartNetSystemTimeText(bad[0], bad[1], bad[2], bad[3], bad[4], English())) << bad[1];
    // A date word with month 0 leaves the shown time as it is.
    Fixture f;
    f.Words({W(0x308, 0xFC0A), W(0x322, 0x0E1E), kIdle});
    EXPECT_EQ(f.client.Count("SysTime="), 0);
    EXPECT_EQ(f.decoder.WordsInSequence, 1);
}

TEST(SmartNetSystemIdentity, ThirdTripleSelectsTheSystemAndItsControlChannel)
{
    Fixture f(kSmartNetNoSystem);
    f.decoder.BuffersSinceTune = 16;
    for (int triple = 1; triple <= 3; ++triple) {
        f.Words({W(0x308, 0x5A5A), W(0x30B, 0x2811), W(0x2F0, 0x1F42)});
        EXPECT_EQ(f.client.Count("select"), triple == 3 ? 1 : 0) << triple;
    }
    EXPECT_TRUE(f.client.Has("select 5A5A"));
    EXPECT_TRUE(f.client.Has("SysID=5A5A"));
    EXPECT_TRUE(f.client.Has("enable"));
    EXPECT_EQ(f.decoder.ControlChannel, 0x2F0);
    EXPECT_EQ(f.record.ControlChannelFrequency, kTuned);
    EXPECT_EQ(f.record.BaseFrequency, kTuned - 752 * 25000);
    EXPECT_TRUE(SmartNetMapBit(f.record.ControlChannelMap, 752));
    // Further triples act again but select nothing new.
    f.Words({W(0x308, 0x5A5A), W(0x30B, 0x2811), W(0x2F0, 0x1F42)});
    EXPECT_EQ(f.client.Count("select"), 1);
}

TEST(SmartNetSystemIdentity, ReportsNeedThreeInARowAndSixteenBuffers)
{
    struct Case {
        const char* name;
        std::vector<uint16_t> reports;
        int32_t buffers;
        int selections;
    } cases[] = {
        {"three equal", {0x1111, 0x1111, 0x1111}, 16, 1},
        {"two equal", {0x1111, 0x1111}, 16, 0},
        {"another between", {0x1111, 0x1111, 0x2222, 0x1111}, 16, 0},
        {"too soon after a tune", {0x1111, 0x1111, 0x1111}, 15, 0},
        {"identity 0x8000", {0x8000, 0x8000, 0x8000}, 16, 1},
    };
    for (const Case& c : cases) {
        Fixture f(kSmartNetNoSystem);
        f.decoder.BuffersSinceTune = c.buffers;
        for (uint16_t id : c.reports)
            f.decoder.ReportSystemId(id);
        EXPECT_EQ(f.client.Count("select"), c.selections) << c.name;
    }
    Fixture f(kSmartNetNoSystem);
    for (int i = 0; i < 3; ++i)
        f.decoder.ReportSystemId(0x8000);
    EXPECT_TRUE(f.client.Has("SysID=8000"));
    // A grant to the system's own identity is not a call.
    f.Words({W(0x123, 0x8000), kIdle, kIdle});
    EXPECT_TRUE(f.decoder.OnAir().empty());
}

TEST(SmartNetSystemIdentity, WhileHuntingOnlyTheCurrentSystemEndsTheHunt)
{
    Fixture f;
    f.decoder.HuntCount = 3;
    f.decoder.HostSignalLevel = 77;
    for (int i = 0; i < 3; ++i)
        f.decoder.ReportSystemId(0x0BBB);
    EXPECT_EQ(f.decoder.HuntCount, 3);
    EXPECT_EQ(f.client.Count("select"), 0);
    for (int i = 0; i < 3; ++i)
        f.decoder.ReportSystemId(0x0ABC);
    EXPECT_EQ(f.decoder.HuntCount, 0);
    EXPECT_EQ(f.decoder.ReferenceLevel, 77);
    EXPECT_EQ(f.client.Count("select"), 0);
}

TEST(SmartNetOnAir, GrantReplacementRules)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int32_t, int32_t>> grants;  // identity, channel
        std::vector<std::pair<int32_t, int32_t>> list;
    } cases[] = {
        {"same call again", {{1, 20}, {1, 20}}, {{1, 20}}},
        {"channel 400 replaces channel 20", {{1, 20}, {2, 400}}, {{2, 400}}},
        {"channel 20 keeps channel 400", {{2, 400}, {1, 20}}, {{2, 400}}},
        {"same radio on another channel", {{1, 20}, {3, 30}, {1, 40}}, {{3, 30}, {1, 40}}},
        {"another radio on the same channel", {{1, 20}, {3, 30}, {2, 20}}, {{3, 30}, {2, 20}}},
        {"different calls", {{1, 20}, {2, 21}, {3, 22}}, {{1, 20}, {2, 21}, {3, 22}}},
    };
    for (const Case& c : cases) {
        Fixture f;
        for (auto [id, ch] : c.grants)
            f.decoder.AddCall(id, ch, 1);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (const auto& e : f.decoder.OnAir())
            got.emplace_back(e.Identity, e.Channel);
        EXPECT_EQ(got, c.list) << c.name;
        EXPECT_EQ(f.client.rows, int(c.list.size()) + 1) << c.name;
    }
}

TEST(SmartNetOnAir, GrantEntersHeardRadiosTrafficMapAndLog)
{
    Fixture f;
    f.decoder.AddCall(0x4567, 291, 0);
    f.decoder.AddCall(0x4567, 291, 0);
    ASSERT_EQ(f.record.HeardRadios.size(), 1u);
    EXPECT_EQ(f.record.HeardRadios[0].Identity, 0x4567);
    EXPECT_TRUE(SmartNetMapBit(f.record.TrafficChannelMap, 291));
    EXPECT_EQ(f.client.Count("log"), 1);
    const TSmartNetOnAirEntry& e = f.decoder.OnAir().at(0);
    EXPECT_EQ(e.Hour, 14);
    EXPECT_EQ(e.Minute, 5);
    EXPECT_EQ(e.Second, 9);
    EXPECT_EQ(e.Group, 0);
    // Control channel not known: listed and logged, not followed.
    EXPECT_EQ(f.client.Count("tune"), 0);
}

// A system triple whose first word was lost: its second word gives the control channel, and its
// third, a grant-like word of the control channel to 0x1F00, must not become a call that auto tune
// follows onto the channel being decoded. A real grant after it still is one.
TEST(SmartNetOnAir, ATriplesThirdWordIsNoCallWhenItsFirstIsLost)
{
    for (bool controlKnown : {false, true}) {
        SCOPED_TRACE(controlKnown ? "control channel known" : "control channel not yet known");
        Fixture f;
        f.client.autoTune = true;
        if (controlKnown)
            f.Words({W(0x308, 0x0ABC), W(0x30B, 0x2800 | 752), W(752, 0x1F00), kIdle, kIdle});
        f.decoder.BadFrame();  // the next triple's 0x308 is lost
        f.client.events.clear();
        f.Words({W(0x30B, 0x2800 | 752), W(752, 0x1F00), kIdle, kIdle, kIdle});
        EXPECT_TRUE(f.decoder.OnAir().empty());
        EXPECT_TRUE(f.record.HeardRadios.empty());
        EXPECT_FALSE(SmartNetMapBit(f.record.TrafficChannelMap, 752));
        EXPECT_EQ(f.client.Count("log"), 0);
        EXPECT_EQ(f.client.Count("tune"), 0);
        EXPECT_EQ(f.decoder.ControlChannel, 752);
        f.Words({W(0x123, 0x4567), kIdle, kIdle});
        ASSERT_EQ(f.decoder.OnAir().size(), 1u);
        EXPECT_EQ(f.decoder.OnAir()[0].Channel, 0x123);
    }
    // Nor is any grant of the control channel itself, whoever it names.
    Fixture f;
    f.KnowControlChannel();
    f.Words({W(10, 0x4567), kIdle, kIdle});
    EXPECT_TRUE(f.decoder.OnAir().empty());
    EXPECT_EQ(f.client.Count("log"), 0);
}

TEST(SmartNetOnAir, GrantsWithoutASystemOrWhileHuntingLeaveNoTrace)
{
    for (bool hunting : {false, true}) {
        Fixture f(hunting ? 0x0ABC : kSmartNetNoSystem);
        f.decoder.HuntCount = hunting ? 1 : 0;
        f.decoder.AddCall(0x4567, 291, 0);
        EXPECT_TRUE(f.decoder.OnAir().empty());
        EXPECT_TRUE(f.record.HeardRadios.empty());
        EXPECT_FALSE(SmartNetMapBit(f.record.TrafficChannelMap, 291));
        EXPECT_TRUE(f.client.events.empty());
    }
}

// Auto tune follows one call at a time: the next waits until the followed entry leaves.
TEST(SmartNetOnAir, AutoTuneFollowsOneCallUntilItsEntryIsRemoved)
{
    Fixture f;
    f.client.autoTune = true;
    f.KnowControlChannel();
    const int32_t base = kTuned - 10 * 25000;
    f.decoder.AddCall(0x100, 100, 1);
    EXPECT_EQ(f.client.events.back(), "ret on");
    EXPECT_TRUE(f.client.Has("tune " + std::to_string(base + 100 * 25000) + " self"));
    f.client.events.clear();
    f.decoder.SelfCausedTune = true;
    f.decoder.FrequencyNotified(base + 100 * 25000);
    f.decoder.AddCall(0x200, 200, 1);
    EXPECT_EQ(f.client.Count("tune"), 0);
    // The followed radio moves: its entry goes, the host returns, the new entry is followed.
    f.decoder.AddCall(0x100, 150, 1);
    const std::vector<std::string> tunes = {"tune " + std::to_string(base + 10 * 25000) + " self",
                                            "tune " + std::to_string(base + 150 * 25000) + " self"};
    std::vector<std::string> got;
    for (const auto& e : f.client.events)
        if (e.rfind("tune", 0) == 0)
            got.push_back(e);
    EXPECT_EQ(got, tunes);
    EXPECT_TRUE(f.decoder.RetToCtrl());
}

// A user retune while a call is followed leaves the host where the user put it.
TEST(SmartNetRetune, UserRetuneWhileFollowingSendsNoTune)
{
    for (bool secondary : {false, true}) {
        Fixture f;
        f.client.autoTune = true;
        f.client.secondary = secondary;
        f.KnowControlChannel();
        f.decoder.AddCall(0x100, 100, 1);
        ASSERT_TRUE(f.decoder.RetToCtrl());
        f.client.events.clear();
        const bool discarded = f.decoder.FrequencyNotified(kTuned + 12345);
        EXPECT_TRUE(discarded);
        EXPECT_EQ(f.client.Count("tune"), 0) << secondary;
        EXPECT_EQ(f.client.Count("park"), secondary ? 1 : 0);
        EXPECT_FALSE(f.decoder.RetToCtrl());
        EXPECT_TRUE(f.decoder.OnAir().empty());
        EXPECT_TRUE(f.client.Has("select FFFF"));
        EXPECT_TRUE(f.client.Has("disable"));
        EXPECT_EQ(f.decoder.ControlChannel, -1);
        EXPECT_EQ(f.decoder.TunedFrequency, kTuned + 12345);
        EXPECT_EQ(f.decoder.BuffersSinceTune, 0);
    }
}

TEST(SmartNetRetune, SelfCausedOrSameFrequencyKeepsEverything)
{
    for (bool self : {true, false}) {
        Fixture f;
        f.KnowControlChannel();
        f.decoder.AddCall(0x100, 100, 1);
        f.decoder.WordsInSequence = 3;
        f.client.events.clear();
        f.decoder.SelfCausedTune = self;
        EXPECT_FALSE(f.decoder.FrequencyNotified(self ? kTuned + 5 : kTuned));
        EXPECT_TRUE(f.client.events.empty());
        EXPECT_EQ(f.decoder.OnAir().size(), 1u);
        EXPECT_EQ(f.decoder.ControlChannel, 10);
        EXPECT_EQ(f.decoder.WordsInSequence, 3);
        EXPECT_EQ(f.decoder.BuffersSinceTune, 0);
        EXPECT_FALSE(f.decoder.SelfCausedTune);
    }
}

// With a secondary receiver following a call, removing another call on the host's channel
// leaves the secondary receiver where it is.
TEST(SmartNetOnAir, RemoveCallWithASecondaryReceiverUsesItsChannel)
{
    Fixture f;
    f.client.secondary = true;
    f.client.autoTune = true;
    f.KnowControlChannel();
    const int32_t base = kTuned - 10 * 25000;
    f.decoder.AddCall(0x100, 100, 1);  // followed by the secondary receiver
    f.decoder.AddCall(0x200, 10, 1);   // on the host's (control) channel
    f.client.events.clear();
    f.decoder.RemoveCall(1);
    EXPECT_EQ(f.client.Count("park"), 0);
    EXPECT_EQ(f.client.secondaryFrequency, uint32_t(base + 100 * 25000));
    f.decoder.RemoveCall(0);
    EXPECT_EQ(f.client.Count("park"), 1);
    EXPECT_FALSE(f.decoder.RetToCtrl());
}

TEST(SmartNetChannels, ChannelSizeOnlyTakesTheTwoSteps)
{
    Fixture f;
    f.KnowControlChannel();
    for (int32_t bad : {0, 1, 6250, 30000, -12500})
        f.decoder.SetChannelSize(bad);
    EXPECT_EQ(f.decoder.ChannelSize, 25000);
    f.decoder.SetChannelSize(12500);
    EXPECT_EQ(f.decoder.ChannelSize, 12500);
    EXPECT_EQ(f.record.BaseFrequency, kTuned - 10 * 12500);
}

TEST(SmartNetGrid, TextsColoursHintAndDoubleClick)
{
    Fixture f;
    f.KnowControlChannel();
    f.decoder.AddCall(0x00AB, 100, 1);
    f.record.HeardRadios[0].Alias = "Fire";
    f.decoder.AddCall(0x4567, 20, 0);
    EXPECT_EQ(f.decoder.CellText(0, 0), "ID");
    EXPECT_EQ(f.decoder.CellText(1, 0), "Ch.");
    EXPECT_EQ(f.decoder.CellText(2, 0), "Time");
    EXPECT_EQ(f.decoder.CellText(0, 1), "00AB Fire");
    EXPECT_EQ(f.decoder.CellText(1, 1), "100");
    EXPECT_EQ(f.decoder.CellText(2, 2), "14:05:09");
    EXPECT_EQ(f.decoder.CellText(0, 3), "");
    EXPECT_EQ(f.decoder.CellColour(1, false), 0x008000u);
    EXPECT_EQ(f.decoder.CellColour(1, true), 0xFFFFFFu);
    EXPECT_EQ(f.decoder.HintAt(10, 18, 100, 17), "00AB Fire");
    EXPECT_EQ(f.decoder.HintAt(10, 5, 100, 17), "");
    EXPECT_EQ(f.decoder.HintAt(102, 18, 100, 17), "");
    EXPECT_EQ(f.decoder.HintAt(10, 54, 100, 17), "");
    f.decoder.DoubleClick(1);
    const int32_t frequency = kTuned - 10 * 25000 + 100 * 25000;
    EXPECT_TRUE(f.client.Has("tune " + std::to_string(frequency) + " self"));
    f.decoder.SelfCausedTune = true;
    f.decoder.FrequencyNotified(frequency);
    EXPECT_EQ(f.decoder.CellColour(1, false), 0x00FF00u);
    EXPECT_EQ(f.decoder.CellColour(1, true), 0x00FFFFu);
    EXPECT_EQ(f.decoder.CellColour(2, false), 0x008000u);
    // No control channel: a double click does nothing.
    Fixture g;
    g.decoder.AddCall(1, 2, 1);
    g.client.events.clear();
    g.decoder.DoubleClick(1);
    EXPECT_TRUE(g.client.events.empty());
}


// A fixture with the receiver attached, control channel 10 known and the reference level 100.
struct Hunt : Fixture {
    Sink sink;
    TSmartNetReceiver receiver{sink};
    Hunt()
    {
        decoder.AttachReceiver(&receiver);
        receiver.Reset();
        KnowControlChannel();
        decoder.ReferenceLevel = 100;
        decoder.HostSignalLevel = 100;
    }
    std::vector<int32_t> Tunes() const
    {
        std::vector<int32_t> t;
        for (const auto& e : client.events)
            if (e.rfind("tune ", 0) == 0)
                t.push_back(std::stoi(e.substr(5)));
        return t;
    }
    // The host follows every tune, as it notifies it back.
    void Follow()
    {
        for (int32_t f : Tunes()) {
            decoder.SelfCausedTune = true;
            decoder.FrequencyNotified(f);
        }
    }
};
constexpr int32_t kBaseFrequency = kTuned - 10 * 25000;

TEST(SmartNetHunting, WhenAFallingLevelStartsAHunt)
{
    struct Case {
        const char* name;
        bool autoFollow;
        bool baseKnown;
        bool following;
        bool secondary;
        int32_t level;
        bool hunts;
    } cases[] = {
        {"level below half", true, true, false, false, 49, true},
        {"level at half", true, true, false, false, 50, false},
        {"follow switched off", false, true, false, false, 10, false},
        {"base frequency not known", true, false, false, false, 10, false},
        {"host follows a call", true, true, true, false, 10, false},
        {"secondary receiver follows a call", true, true, true, true, 10, true},
    };
    for (const Case& c : cases) {
        Hunt h;
        h.client.secondary = c.secondary;
        h.client.autoTune = true;
        if (!c.baseKnown)
            h.record.BaseFrequency = -1;
        h.decoder.AddCall(0x100, 100, 1);
        if (!c.following)
            h.decoder.SetRetToCtrl(false);
        h.client.events.clear();
        EXPECT_EQ(h.decoder.SignalLevelNotified(c.level, c.autoFollow), c.hunts) << c.name;
        EXPECT_EQ(h.decoder.HostSignalLevel, c.level) << c.name;
        EXPECT_EQ(h.decoder.HuntCount, c.hunts ? 1 : 0) << c.name;
        if (c.hunts) {
            EXPECT_TRUE(h.decoder.OnAir().empty()) << c.name;
            EXPECT_EQ(h.decoder.BuffersSinceTune, 10000) << c.name;
            EXPECT_EQ(h.receiver.FrameCount, 100) << c.name;
            EXPECT_EQ(h.client.Count("park"), c.following && c.secondary ? 1 : 0) << c.name;
            EXPECT_FALSE(h.decoder.RetToCtrl()) << c.name;
        }
    }
}

TEST(SmartNetHunting, StepsOverTheSeenChannelsThenOverEveryChannel)
{
    Hunt h;
    h.record.ControlChannelMap = {};
    SmartNetSetMapBit(h.record.ControlChannelMap, 5);
    h.record.ControlChannelFrequency = kBaseFrequency + 5 * 25000;
    ASSERT_TRUE(h.decoder.SignalLevelNotified(10, true));
    h.client.events.clear();
    // Each tick the level reported from the new channel is still low: a step at once, always to
    // channel 5, counting a pass.
    for (int pass = 1; pass <= 19; ++pass) {
        h.decoder.TimerTick();
        h.Follow();
        h.decoder.SignalLevelNotified(10, true);
        EXPECT_EQ(h.decoder.HuntCount, 1 + pass);
        h.client.events.clear();
    }
    // From the twentieth count on, the next channel whatever the maps say.
    std::vector<int32_t> next;
    for (int i = 0; i < 3; ++i) {
        h.decoder.TimerTick();
        next.push_back(h.Tunes().at(0));
        h.Follow();
        h.decoder.SignalLevelNotified(10, true);
        h.client.events.clear();
    }
    EXPECT_EQ(next, (std::vector<int32_t>{kBaseFrequency + 6 * 25000, kBaseFrequency + 7 * 25000,
                                          kBaseFrequency + 8 * 25000}));
}

// Two stations, the first gone: the host's level reports come at their own rhythm, slower than the
// ticks. A low level measured before a step says nothing of the channel stepped to, so the hunt
// waits there for a level of its own and stays once that is good.
TEST(SmartNetHunting, OnlyALevelReportedAfterTheStepMovesTheHuntOn)
{
    Hunt h;
    SmartNetSetMapBit(h.record.TrafficChannelMap, 300);
    ASSERT_TRUE(h.decoder.SignalLevelNotified(10, true));
    h.client.events.clear();
    h.decoder.TimerTick();
    EXPECT_EQ(h.Tunes(), std::vector<int32_t>{kBaseFrequency + 300 * 25000});
    h.Follow();
    EXPECT_FALSE(h.decoder.LevelSinceTune());
    h.client.events.clear();
    for (int tick = 0; tick < 3; ++tick)
        h.decoder.TimerTick();  // the old channel's low level still stands: no step
    EXPECT_TRUE(h.Tunes().empty());
    h.decoder.SignalLevelNotified(100, true);  // the new channel's level: good, the hunt stays
    h.decoder.TimerTick();
    EXPECT_TRUE(h.Tunes().empty());
    h.decoder.SignalLevelNotified(10, true);  // and once it falls there, the next step
    h.decoder.TimerTick();
    EXPECT_EQ(h.Tunes(), std::vector<int32_t>{kBaseFrequency + 10 * 25000});

    // A level the host reports inside the tune command, as a receiver's meter moves with the tune,
    // is one from after the tune.
    Hunt g;
    SmartNetSetMapBit(g.record.TrafficChannelMap, 300);
    ASSERT_TRUE(g.decoder.SignalLevelNotified(10, true));
    g.client.onTune = [&g] { g.decoder.SignalLevelNotified(10, true); };
    g.decoder.TimerTick();
    EXPECT_TRUE(g.decoder.LevelSinceTune());
    g.client.onTune = nullptr;
    g.decoder.TimerTick();
    EXPECT_EQ(g.Tunes().size(), 2u);
}

TEST(SmartNetHunting, LaterStepsWaitOnAChannelUnlessTheLevelIsLow)
{
    Hunt h;
    SmartNetSetMapBit(h.record.TrafficChannelMap, 300);
    ASSERT_TRUE(h.decoder.SignalLevelNotified(10, true));
    h.decoder.HostSignalLevel = 100;  // the level comes back
    h.client.events.clear();
    h.decoder.TimerTick();  // BuffersSinceTune 10000 and no frames yet: first step
    EXPECT_EQ(h.Tunes(), std::vector<int32_t>{kBaseFrequency + 300 * 25000});
    h.Follow();
    h.client.events.clear();
    struct Case {
        int32_t buffers, frames, accepted;
        bool steps;
    } cases[] = {{64, 0, 0, false}, {65, 0, 0, true}, {65, 30, 10, false}, {65, 30, 9, true}, {65, 11, 11, true}};
    for (const Case& c : cases) {
        h.decoder.BuffersSinceTune = c.buffers;
        h.receiver.FrameCount = c.frames;
        h.receiver.AcceptedFrames = c.accepted;
        h.decoder.TimerTick();
        EXPECT_EQ(!h.Tunes().empty(), c.steps) << c.buffers << " " << c.frames << " " << c.accepted;
        if (c.steps) {
            EXPECT_EQ(h.decoder.BuffersSinceTune, 0);
            EXPECT_EQ(h.receiver.AcceptedFrames, 0);
            EXPECT_EQ(h.receiver.FrameCount, c.frames);
        }
        h.Follow();
        h.client.events.clear();
    }
    // Another system's identity pending also moves on.
    h.decoder.BuffersSinceTune = 65;
    h.receiver.FrameCount = 50;
    h.receiver.AcceptedFrames = 50;
    h.decoder.PendingSystemId = 0x0BBB;
    h.decoder.TimerTick();
    EXPECT_EQ(h.Tunes().size(), 1u);
}

TEST(SmartNetReturn, SixLowTicksReturnToTheControlChannel)
{
    for (bool secondary : {false, true}) {
        Hunt h;
        h.client.secondary = secondary;
        h.client.autoTune = true;
        h.decoder.AddCall(0x100, 100, 1);
        h.Follow();
        h.client.events.clear();
        h.decoder.HostSignalLevel = secondary ? 100 : 49;
        h.client.secondaryStrength = secondary ? 49 : 100;
        for (int tick = 1; tick <= 5; ++tick)
            h.decoder.TimerTick();
        EXPECT_TRUE(h.decoder.RetToCtrl()) << secondary;
        // A good tick in between starts the count again.
        h.decoder.HostSignalLevel = 100, h.client.secondaryStrength = 100;
        h.decoder.TimerTick();
        h.decoder.HostSignalLevel = secondary ? 100 : 49;
        h.client.secondaryStrength = secondary ? 49 : 100;
        for (int tick = 1; tick <= 5; ++tick)
            h.decoder.TimerTick();
        EXPECT_TRUE(h.decoder.RetToCtrl()) << secondary;
        h.decoder.TimerTick();
        EXPECT_FALSE(h.decoder.RetToCtrl()) << secondary;
        if (secondary)
            EXPECT_EQ(h.client.Count("park"), 1);
        else
            EXPECT_EQ(h.Tunes(), std::vector<int32_t>{kTuned});
    }
}

TEST(SmartNetAgeing, EntriesAgeOnlyOnTheControlChannel)
{
    struct Case {
        const char* name;
        int32_t channel;
        int ticksKept;  // ticks after which the entry is still listed; one more removes it
    } cases[] = {{"traffic channel", 100, 41}, {"control channel", 10, 201}};
    for (const Case& c : cases) {
        Hunt h;
        h.decoder.AddCall(0x100, c.channel, 1);
        for (int i = 0; i < c.ticksKept; ++i)
            h.decoder.TimerTick();
        EXPECT_EQ(h.decoder.OnAir().size(), 1u) << c.name;
        EXPECT_EQ(h.record.Occupancy[size_t(c.channel)], c.ticksKept) << c.name;
        h.decoder.TimerTick();
        EXPECT_TRUE(h.decoder.OnAir().empty()) << c.name;
        EXPECT_EQ(h.record.Ticks, c.ticksKept + 1) << c.name;
        EXPECT_EQ(h.record.Occupancy[size_t(c.channel)], c.ticksKept) << c.name;
    }
    // While the host is on a traffic channel the list stays as it is.
    Hunt h;
    h.decoder.AddCall(0x100, 100, 1);
    h.decoder.SelfCausedTune = true;
    h.decoder.FrequencyNotified(kBaseFrequency + 100 * 25000);
    for (int i = 0; i < 100; ++i)
        h.decoder.TimerTick();
    EXPECT_EQ(h.decoder.OnAir().size(), 1u);
    EXPECT_EQ(h.record.Ticks, 0);
}

// A list begun before the control channel is known still ages.
TEST(SmartNetAgeing, EntriesAgeWhileTheControlChannelIsNotKnown)
{
    Fixture f;
    f.decoder.AddCall(0x100, 100, 1);
    for (int i = 0; i < 42; ++i)
        f.decoder.TimerTick();
    EXPECT_TRUE(f.decoder.OnAir().empty());
}

}  // namespace
