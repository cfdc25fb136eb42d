#include "MPT1327Decoder.h"
#include "MPT1327RecordAccess.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "Mpt1327Fixtures.h"

using namespace siggen::mpt1327;
using fixture::valid;
using Outcome = TMPT1327Decoder::Outcome;

namespace {

// A record with no system current, seen through the decoder's interface, keeping which
// control-channel marks were asked for.
struct Record {
    TMPT1327SystemRecord record;
    Record()
    {
        record.SystemIdentity = MPT1327NoSystem;
        record.BaseFrequency = -1;
    }
};
struct System : Record, TMPT1327RecordAccess {
    std::vector<int> controlMarks;
    System() : TMPT1327RecordAccess(record) {}
    void MarkControlChannel(uint16_t channel) override
    {
        controlMarks.push_back(channel);
        TMPT1327RecordAccess::MarkControlChannel(channel);
    }
};

// The window as the decoder sees it: answers from fields, every action kept as a line of text.
struct Client : TMPT1327DecoderClient {
    System* system = nullptr;
    TMPT1327Decoder* decoder = nullptr;
    std::vector<std::string> events;
    std::vector<TMPT1327TextLine> printed;
    std::vector<TMPT1327Call> logged;
    bool secondary = false;
    int32_t secondaryFrequency = 0;
    bool autoTune = true;
    bool hostNotifies = false;  // the host reports a frequency change back while it is tuned
    // Selects as the window does a system its database does not hold: the record knows no
    // channel, so the current and the control channel become unknown.
    bool newSystems = false;
    TMPT1327LocalTime now{2026, 12, 9, 14, 5, 33};
    std::optional<TMPT1327LocalTime> heard;  // the sound's time, when it is not the clock's


    void note(const std::string& s) { events.push_back(s); }
    void TuneHost(int32_t f, int32_t mode) override
    {
        note("tune " + std::to_string(f) + " " + std::to_string(mode));
        if (hostNotifies)
            decoder->SetTunedFrequency(f);
    }
    bool SecondaryInUse() override { return secondary; }
    int32_t SecondaryFrequency() override { return secondaryFrequency; }
    void SecondarySetFrequency(int32_t f) override { note("secondary " + std::to_string(f)); }
    void SecondarySetMute(bool m) override { note(m ? "secondary mute" : "secondary unmute"); }
    bool AutoTuneChecked() override { return autoTune; }
    TMPT1327LocalTime LocalTime() override { return now; }
    TMPT1327LocalTime HeardTime(const TMPT1327LocalTime& n) override { return heard ? *heard : n; }
    void SelectSystem(uint16_t id) override
    {
        note("select " + std::to_string(id));
        if (newSystems && system->record.SystemIdentity != id)
            decoder->AssignChannels(decoder->ChannelSize(), -1, -1);
        system->record.SystemIdentity = id;
    }
    void WriteLogEntry(const TMPT1327LocalTime&, const TMPT1327Call& c) override { logged.push_back(c); }
    void PrintLine(const TMPT1327TextLine& line) override { printed.push_back(line); }
    void SetAccFramesText(const std::string& t) override { note("accepted " + t); }
    void SetCtrlChanText(const std::string& t) override { note("control " + t); }
    void EnableSystemControls() override { note("enable"); }
    void ChannelSizeShown(bool k12) override { note(k12 ? "step 12.5" : "step 25"); }
    void RetToCtrlChanged(bool e) override { note(e ? "return on" : "return off"); }
    void SetGridRows(int rows) override { note("rows " + std::to_string(rows)); }
    void RepaintGrid() override { note("repaint"); }

    bool saw(const std::string& e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
    std::vector<std::string> tunes() const
    {
        std::vector<std::string> t;
        for (const auto& e : events)
            if (e.rfind("tune", 0) == 0 || e.rfind("secondary", 0) == 0)
                t.push_back(e);
        return t;
    }
};

struct DecoderTest : ::testing::Test {
    System system;
    Client client;
    TMPT1327Decoder decoder{client, system};

    DecoderTest()
    {
        client.system = &system;
        client.decoder = &decoder;
        decoder.SetChannelSize(25000);
    }
    // A current system with channel 0 at 450 MHz, the host on control channel 17.
    void onControl()
    {
        system.record.SystemIdentity = 0x0ABC;
        system.record.BaseFrequency = 450000000;
        decoder.SetCurrentChannel(-1);
        decoder.SetTunedFrequency(450000000 + 17 * 25000);
        decoder.SetCurrentChannel(17);
        decoder.SetControlChannel(17);
        client.events.clear();
    }
    Outcome decode(uint64_t cw, int input = 0) { return decoder.Decode(valid(cw, input)); }
    void at(int h, int m, int s)
    {
        client.now.Hour = static_cast<uint8_t>(h);
        client.now.Minute = static_cast<uint8_t>(m);
        client.now.Second = static_cast<uint8_t>(s);
    }
    std::string callsText() const
    {
        std::ostringstream o;
        for (const auto& c : decoder.Calls())
            o << c.Prefix << ":" << c.Ident1 << "-" << c.Ident2 << "@" << c.Channel << " ";
        return o.str();
    }
};

}  // namespace

TEST(MPT1327Fields, ExtractedFromTheFourWords)
{
    const auto g = MPT1327Fields(fixture::words(goToChannel(0x55, 0x1ABC, 0x0123, 0x2F5)));
    EXPECT_EQ(g.AddressFlag, 1);
    EXPECT_EQ(g.Prefix, 0x55);
    EXPECT_EQ(g.Ident1, 0x1ABC);
    EXPECT_EQ(g.MessageFlag, 0);
    EXPECT_EQ(g.GrantChannel, 0x2F5);
    EXPECT_EQ(g.Ident2, 0x0123);

    const auto m = MPT1327Fields(fixture::words(message(0x2A, 0x1555, 5, 2, 6, 0x3FFFF)));
    EXPECT_EQ(m.MessageFlag, 1);
    EXPECT_EQ(m.Prefix, 0x2A);
    EXPECT_EQ(m.Ident1, 0x1555);
    EXPECT_EQ(m.Cat, 5);
    EXPECT_EQ(m.Type, 2);
    EXPECT_EQ(m.Func, 6);
    EXPECT_EQ(m.SysDef, 0x2A >> 2);

    EXPECT_EQ(MPT1327Fields(fixture::words(channelNumber(0x3A7))).ChannelNumber, 0x3A7);
    const auto c = MPT1327Fields(fixture::words(clearDown(0x2C5, 0x13A)));
    EXPECT_EQ(c.ClearChannel, 0x2C5);
    EXPECT_EQ(c.ClearCont, 0x13A);
    EXPECT_EQ(c.Cat, 0);
    EXPECT_EQ(c.Type, 3);
    EXPECT_EQ(c.Func, 2);

    const auto s = fixture::words(systemCodeword(0x5ABC));
    EXPECT_TRUE(IsSystemCodeword(s));
    EXPECT_EQ(MPT1327Fields(s).SystemIdentity, 0x5ABC);
    EXPECT_EQ(MPT1327Fields(s).AddressFlag, 0);
    EXPECT_TRUE(IsSystemCodeword(fixture::words(systemCodeword(1, kSynt))));
    EXPECT_FALSE(IsSystemCodeword(fixture::words(dataCodeword(0x1234))));
}

TEST(MPT1327Print, LineFormat)
{
    using L = TMPT1327TextLine;
    EXPECT_EQ(MPT1327CodewordLine(0, {0x8123, 0x00AB, 0xFFFF, 0x0000}),
              (L{{"0 ", 0x00FF00}, {" 8123", 0x00FF00}, {" 00AB", 0x00FF00}, {" FFFF", 0x00FF00},
                 {" 0000", 0x00FF00}, {"\n", 0}}));
    EXPECT_EQ(MPT1327CodewordLine(1, {0xC4D7, 0x3B28, 0xAAAA, 0xc4d6}),
              (L{{"1 ", 0x00FF00}, {" SYNC", 0x0000FF}, {" SYNT", 0x0000FF}, {" PREAMBLE", 0x0000FF},
                 {" C4D6", 0x00FF00}, {"\n", 0}}));
}

TEST_F(DecoderTest, AcceptedFramesEveryHundredControlCodewords)
{
    for (int i = 0; i < 99; ++i)
        decoder.Decode({0, fixture::words(aloha()), i < 87});
    for (int i = 0; i < 50; ++i)
        decoder.Decode({1, fixture::words(aloha()), true});  // the traffic input is not counted
    EXPECT_FALSE(client.saw("accepted 87%"));
    decoder.Decode({0, fixture::words(aloha()), false});
    EXPECT_TRUE(client.saw("accepted 87%"));
    EXPECT_EQ(decoder.ValidCodewords(), 0);
    // counters restart: the next hundred all valid
    for (int i = 0; i < 100; ++i)
        decoder.Decode({0, fixture::words(aloha()), true});
    EXPECT_TRUE(client.saw("accepted 100%"));
}

TEST_F(DecoderTest, InvalidCodewordsAreDropped)
{
    system.record.SystemIdentity = 1;
    TMPT1327Codeword cw = valid(goToChannel(1, 2, 3, 4));
    cw.Valid = false;
    EXPECT_EQ(decoder.Decode(cw), Outcome::Invalid);
    EXPECT_TRUE(decoder.Calls().empty());
}

TEST_F(DecoderTest, DispatchByCatTypeFunc)
{
    struct Case { const char* name; uint64_t cw; Outcome want; };
    const Case cases[] = {
        {"cat 0 type 0", message(0, 1, 0, 0, 1, 0), Outcome::Dropped},
        {"cat 0 type 2", message(0, 1, 0, 2, 6, 0), Outcome::Dropped},
        {"cat 0 type 1 func 6", message(0, 1, 0, 1, 6, 0), Outcome::Printed},
        {"cat 0 type 1 func 5", message(0, 1, 0, 1, 5, 0), Outcome::Dropped},
        {"cat 0 type 3 func 0", message(0, 1, 0, 3, 0, 0), Outcome::Dropped},
        {"cat 0 type 3 func 3", message(0, 1, 0, 3, 3, 0), Outcome::Dropped},
        {"channel number", channelNumber(9), Outcome::ChannelNumber},
        {"clear-down", clearDown(9, 9), Outcome::ClearDown},
        {"broadcast sysdef 2", message(2 << 2, 1, 0, 3, 4, 0), Outcome::Dropped},
        {"broadcast sysdef 3", message((3 << 2) | 3, 1, 0, 3, 4, 0), Outcome::Dropped},
        {"broadcast sysdef 6", message(6 << 2, 1, 0, 3, 4, 0), Outcome::Printed},
        {"cat 0 type 3 func 5", message(0, 1, 0, 3, 5, 0), Outcome::Printed},
        {"cat 0 type 3 func 6", message(0, 1, 0, 3, 6, 0), Outcome::Printed},
        {"cat 0 type 3 func 7", message(0, 1, 0, 3, 7, 0), Outcome::Printed},
        {"cat 1 header", message(0, 1, 1, 2, 0, 0), Outcome::DataHeader},
        {"cat 1 other", message(0, 1, 1, 1, 7, 0), Outcome::Printed},
        {"cat 2", message(0, 1, 2, 0, 0, 0), Outcome::Printed},
        {"cat 5", message(0, 1, 5, 3, 7, 0), Outcome::Printed},
        {"cat 3", message(0, 1, 3, 0, 0, 0), Outcome::Dropped},
        {"cat 4", message(0, 1, 4, 1, 1, 0), Outcome::Dropped},
        {"cat 6", message(0, 1, 6, 2, 2, 0), Outcome::Dropped},
        {"cat 7", message(0, 1, 7, 3, 3, 0), Outcome::Dropped},
        {"data codeword", dataCodeword(0x123456789AB), Outcome::Printed},
        {"grant", goToChannel(1, 2, 3, 4), Outcome::Grant},
        {"system codeword", systemCodeword(7), Outcome::System},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client.printed.clear();
        decoder.SetCurrentChannel(9);
        EXPECT_EQ(decode(c.cw), c.want);
        ASSERT_EQ(client.printed.size(), c.want == Outcome::Printed ? 1u : 0u);
        if (!client.printed.empty()) {
            EXPECT_EQ(client.printed[0], MPT1327CodewordLine(0, fixture::words(c.cw)));
        }
    }
}

TEST_F(DecoderTest, DataHeaderSkipsItsDataCodewordsOnItsInput)
{
    const uint64_t header = message(0, 1, 1, 2, 0, 0);  // count field 12
    ASSERT_EQ(MPT1327Fields(fixture::words(header)).DataCount, 12);
    const uint64_t data = dataCodeword(0x0F0F0F0F0F0);
    EXPECT_EQ(decode(header), Outcome::DataHeader);
    EXPECT_EQ(decode(data, 1), Outcome::Printed);  // the other input does not skip
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(decode(data), Outcome::Skipped) << i;
    EXPECT_EQ(decode(data), Outcome::Printed);

    // an address codeword ends the skipping
    EXPECT_EQ(decode(message(0, 1, 1, 3, 7, 0)), Outcome::DataHeader);  // count 15
    EXPECT_EQ(decode(data), Outcome::Skipped);
    EXPECT_EQ(decode(aloha()), Outcome::Dropped);
    EXPECT_EQ(decode(data), Outcome::Printed);
}

TEST_F(DecoderTest, SystemCodewordMakesTheSystemAndControlChannelKnown)
{
    decoder.SetTunedFrequency(450425000);
    decoder.SetCurrentChannel(17);
    decoder.SetBuffersSinceTune(16);
    client.events.clear();
    decode(systemCodeword(0x0ABC));
    // too soon after tuning: only the controls
    EXPECT_EQ(client.events, (std::vector<std::string>{"enable"}));
    EXPECT_EQ(decoder.ControlChannel(), -1);

    decoder.SetBuffersSinceTune(17);
    decoder.SetRetToCtrl(true);
    client.events.clear();
    decode(systemCodeword(0x0ABC));
    EXPECT_TRUE(client.saw("select 2748"));
    EXPECT_TRUE(client.saw("control 17"));
    EXPECT_TRUE(client.saw("return off"));
    EXPECT_EQ(decoder.ControlChannel(), 17);
    EXPECT_EQ(system.record.BaseFrequency, 450425000 - 17 * 25000);
    EXPECT_EQ(system.controlMarks, std::vector<int>{17});
    EXPECT_TRUE(MapBit(system.record.ControlChannelMap, 17));

    // with a secondary receiver following traffic, the return stays enabled
    client.secondary = true;
    decoder.SetRetToCtrl(true);
    client.events.clear();
    decode(systemCodeword(0x0ABC));
    EXPECT_FALSE(client.saw("enable"));
    EXPECT_FALSE(client.saw("return off"));
    EXPECT_TRUE(decoder.RetToCtrl());
}

TEST_F(DecoderTest, SystemCodewordOnTrafficInputOnlySelects)
{
    decoder.SetCurrentChannel(17);
    decoder.SetBuffersSinceTune(20);
    decode(systemCodeword(0x0ABC, kSynt), 1);
    EXPECT_TRUE(client.saw("select 2748"));
    EXPECT_EQ(decoder.ControlChannel(), -1);
    EXPECT_EQ(system.record.BaseFrequency, -1);
}

TEST_F(DecoderTest, ControlChannelOutsideTheMapMarksNothing)
{
    decoder.SetBuffersSinceTune(20);
    for (int16_t channel : {int16_t{1024}, int16_t{-5}, int16_t{32000}}) {
        SCOPED_TRACE(channel);
        decoder.SetCurrentChannel(channel);
        decode(systemCodeword(0x0ABC));
        EXPECT_EQ(decoder.ControlChannel(), channel);
        EXPECT_TRUE(system.controlMarks.empty());
    }
    for (uint8_t byte : system.record.ControlChannelMap)
        EXPECT_EQ(byte, 0);
}

TEST_F(DecoderTest, ChannelNumberMessageSetsTheCurrentChannel)
{
    decode(channelNumber(321), 1);
    EXPECT_EQ(decoder.CurrentChannel(), -1);
    decode(channelNumber(321));
    EXPECT_EQ(decoder.CurrentChannel(), 321);
    EXPECT_TRUE(client.saw("repaint"));
}

TEST(MPT1327NewSystem, TakesTheChannelNumberHeardSinceTheLastTuning)
{
    // The host sits on 450.125 MHz; the channel-number message calls it channel 5.
    struct Case {
        const char* name;
        bool numberFirst;     // the number comes before the system is selected
        bool retuned;         // the host is moved two channels up after the number
        bool numberAfter;     // the number comes again once the system is current
        int16_t control;      // the control channel the decoder then knows
    };
    const Case cases[] = {
        {"heard before the system", true, false, false, 5},
        {"heard before the system and again after", true, false, true, 5},
        {"heard only after the system", false, false, true, 5},
        {"heard on the frequency left before the system", true, true, false, -1},
        {"never heard", false, false, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        System system;
        Client client;
        TMPT1327Decoder decoder{client, system};
        client.system = &system;
        client.decoder = &decoder;
        client.newSystems = true;
        decoder.SetChannelSize(25000);
        decoder.SetTunedFrequency(450125000);
        if (c.numberFirst)
            decoder.Decode(valid(channelNumber(5)));
        if (c.retuned)
            decoder.SetTunedFrequency(450175000);
        decoder.SetBuffersSinceTune(17);
        decoder.Decode(valid(systemCodeword(0x2C5A)));
        EXPECT_TRUE(client.saw("select " + std::to_string(0x2C5A)));
        if (c.numberAfter) {
            decoder.Decode(valid(channelNumber(5)));
            decoder.Decode(valid(systemCodeword(0x2C5A)));
        }
        EXPECT_EQ(decoder.ControlChannel(), c.control);
        EXPECT_EQ(decoder.CurrentChannel(), c.control);

        // With the control channel known, auto tune follows the next grant.
        decoder.Decode(valid(goToChannel(1, 10, 11, 37)));
        EXPECT_EQ(decoder.Calls().size(), 1u);
        const std::vector<std::string> tune = {"tune " + std::to_string(450000000 + 37 * 25000) + " 2"};
        EXPECT_EQ(client.tunes(), c.control == 5 ? tune : std::vector<std::string>{});
        if (c.control == 5) {
            EXPECT_EQ(system.record.BaseFrequency, 450000000);
        }
    }
}

TEST_F(DecoderTest, CallListReplacementRules)
{
    struct Grant { int p, a, b, ch; };
    struct Case { const char* name; std::vector<Grant> before; Grant grant; std::string after; };
    const Case cases[] = {
        {"new call appended", {{1, 10, 11, 5}}, {1, 20, 21, 6}, "1:10-11@5 1:20-21@6 "},
        {"same channel replaced", {{1, 10, 11, 5}, {2, 30, 31, 7}}, {3, 40, 41, 5}, "2:30-31@7 3:40-41@5 "},
        {"caller on another channel", {{1, 10, 11, 5}}, {1, 11, 99, 6}, "1:11-99@6 "},
        {"called as caller", {{1, 10, 11, 5}}, {1, 12, 10, 6}, "1:12-10@6 "},
        {"same idents other prefix kept", {{1, 10, 11, 5}}, {2, 10, 11, 6}, "1:10-11@5 2:10-11@6 "},
        {"two in a row removed", {{1, 10, 11, 5}, {1, 20, 21, 6}, {4, 1, 2, 9}}, {1, 10, 20, 7},
         "4:1-2@9 1:10-20@7 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        decoder.ClearCalls();
        system.record.SystemIdentity = 1;
        client.autoTune = false;
        for (const Grant& g : c.before)
            decoder.AddCall(g.p, g.a, g.b, g.ch);
        client.logged.clear();
        decoder.AddCall(c.grant.p, c.grant.a, c.grant.b, c.grant.ch);
        EXPECT_EQ(callsText(), c.after);
        ASSERT_EQ(client.logged.size(), 1u);
        EXPECT_EQ(client.logged[0].Channel, c.grant.ch);
        EXPECT_EQ(client.events.back(), "repaint");
    }
}

TEST_F(DecoderTest, RepeatedGrantWithinThreeSecondsIsIgnored)
{
    struct Case { int h0, m0, s0, h1, m1, s1; bool refreshed; };
    const Case cases[] = {
        {12, 0, 0, 12, 0, 2, false},
        {12, 0, 0, 12, 0, 3, true},
        {12, 0, 59, 12, 1, 1, false},
        {12, 0, 0, 11, 59, 59, true},  // a clock set back counts as almost a day later
        // just after midnight: the day is added, so the repeat is measured, not ignored all day
        {23, 59, 59, 0, 0, 1, false},
        {23, 59, 59, 0, 0, 2, true},
        {23, 59, 59, 0, 5, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.h1 << ":" << c.m1 << ":" << c.s1);
        decoder.ClearCalls();
        system.record.SystemIdentity = 1;
        at(c.h0, c.m0, c.s0);
        decoder.AddCall(1, 10, 11, 5);
        client.logged.clear();
        at(c.h1, c.m1, c.s1);
        decoder.AddCall(1, 10, 11, 5);
        ASSERT_EQ(decoder.Calls().size(), 1u);
        const TMPT1327Call& e = decoder.Calls()[0];
        EXPECT_EQ(client.logged.size(), c.refreshed ? 1u : 0u);
        EXPECT_EQ(e.Hour, c.refreshed ? c.h1 : c.h0);
        EXPECT_EQ(e.Second, c.refreshed ? c.s1 : c.s0);
    }
}

TEST_F(DecoderTest, RepeatIsTimedByTheSoundWhileTheLineKeepsTheClocksTime)
{
    // A recording played fast (the clock stands still while the sound moves on) or slow (the clock
    // runs ahead): the repeat window follows the sound; the entry and the log line show the clock.
    struct Case { const char* name; int clock1, heard1; bool refreshed; };
    const Case cases[] = {
        {"fast: 6 s of sound in the same second", 0, 6, true},
        {"fast: 3 s of sound", 0, 3, true},
        {"fast: 2 s of sound", 0, 2, false},
        {"slow: 1 s of sound while the clock ran 10 s", 10, 1, false},
        {"slow: 4 s of sound while the clock ran 40 s", 40, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        decoder.ClearCalls();
        system.record.SystemIdentity = 1;
        at(12, 0, 0);
        client.heard = TMPT1327LocalTime{2026, 12, 9, 3, 0, 0};
        decoder.AddCall(1, 10, 11, 5);
        client.logged.clear();
        at(12, 0, c.clock1);
        client.heard->Second = uint8_t(c.heard1);
        decoder.AddCall(1, 10, 11, 5);
        ASSERT_EQ(decoder.Calls().size(), 1u);
        EXPECT_EQ(client.logged.size(), c.refreshed ? 1u : 0u);
        const TMPT1327Call& e = decoder.Calls()[0];
        EXPECT_EQ(e.Hour, 12);
        EXPECT_EQ(e.Second, c.refreshed ? c.clock1 : 0);
    }
}

TEST_F(DecoderTest, GrantsNeedASystemAndRecordTheRadios)
{
    decoder.AddCall(1, 10, 11, 5);
    EXPECT_TRUE(decoder.Calls().empty());
    EXPECT_TRUE(client.logged.empty());

    system.record.SystemIdentity = 1;
    decode(goToChannel(0x41, 10, 11, 1000));
    decode(goToChannel(0x41, 11, 12, 1001));
    ASSERT_EQ(system.record.HeardRadios.size(), 3u);  // 10, 11, 12 once each
    EXPECT_EQ(system.record.HeardRadios[1].Ident, 11);
    EXPECT_EQ(system.record.HeardRadios[1].Prefix, 0x41);
    EXPECT_TRUE(system.record.HeardRadios[1].Alias.empty());
    decoder.AddHeardRadio(0x42, 11);  // same ident, other prefix: another radio
    EXPECT_EQ(system.record.HeardRadios.size(), 4u);
    EXPECT_TRUE(MapBit(system.record.PrefixMap, 0x41));
    EXPECT_TRUE(MapBit(system.record.PrefixMap, 0x42));
    EXPECT_TRUE(MapBit(system.record.TrafficChannelMap, 1000));
    EXPECT_TRUE(MapBit(system.record.TrafficChannelMap, 1001));
    EXPECT_FALSE(MapBit(system.record.TrafficChannelMap, 5));
}

TEST_F(DecoderTest, AutoTuneConditions)
{
    struct Case { const char* name; bool autoTune, secondary, retToCtrl, known, onControl; std::vector<std::string> want; };
    const std::string f = std::to_string(450000000 + 33 * 25000);
    const Case cases[] = {
        {"host", true, false, false, true, true, {"tune " + f + " 2"}},
        {"secondary", true, true, false, true, true, {"secondary " + f, "secondary unmute"}},
        {"not checked", false, false, false, true, true, {}},
        {"already on traffic", true, false, true, true, true, {}},
        {"control channel unknown", true, false, false, false, true, {}},
        {"not on the control channel", true, false, false, true, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        decoder.ClearCalls();
        decoder.SetRetToCtrl(false);
        onControl();
        client.autoTune = c.autoTune;
        client.secondary = c.secondary;
        decoder.SetRetToCtrl(c.retToCtrl);
        if (!c.known)
            decoder.SetControlChannel(-1);
        if (!c.onControl)
            decoder.SetCurrentChannel(18);
        decoder.SetBuffersSinceTune(50);
        decode(goToChannel(1, 10, 11, 33));
        EXPECT_EQ(client.tunes(), c.want);
        const bool tuned = !c.want.empty();
        EXPECT_EQ(decoder.RetToCtrl(), tuned || c.retToCtrl);
        EXPECT_EQ(decoder.BuffersSinceTune(), tuned && !c.secondary ? 0 : 50);
    }
}

TEST_F(DecoderTest, ClearDownOnTheControlInput)
{
    // current channel unknown: CHAN 5 sets it, and CONT 1 is four channels down
    system.record.SystemIdentity = 1;
    decoder.SetTunedFrequency(460000000);
    decoder.AddCall(1, 10, 11, 7);
    decoder.AddCall(1, 20, 21, 5);
    decoder.SetRetToCtrl(true);
    client.hostNotifies = true;
    client.events.clear();
    EXPECT_EQ(decode(clearDown(5, 1)), Outcome::ClearDown);
    EXPECT_EQ(client.tunes(), std::vector<std::string>{"tune " + std::to_string(460000000 - 4 * 25000) + " 2"});
    // the host's report moved the current channel to the control channel; the call on 5 went
    EXPECT_EQ(decoder.CurrentChannel(), 1);
    EXPECT_EQ(callsText(), "1:10-11@7 ");
    EXPECT_FALSE(decoder.RetToCtrl());

    // a clear-down of another channel than the one tuned is not for us
    decoder.SetRetToCtrl(true);
    client.events.clear();
    decode(clearDown(7, 1));
    EXPECT_TRUE(client.tunes().empty());
    EXPECT_EQ(decoder.Calls().size(), 1u);
    EXPECT_TRUE(decoder.RetToCtrl());
}

TEST_F(DecoderTest, ClearDownOnTheTrafficInputParksTheSecondary)
{
    onControl();
    client.secondary = true;
    decoder.AddCall(1, 10, 11, 40);
    decoder.AddCall(1, 20, 21, 41);
    struct Case { int32_t secondaryAt; std::string callsLeft; };
    const Case cases[] = {
        {450000000 - 25000, "1:10-11@40 1:20-21@41 "},  // below the base: no channel
        {450000000 + 41 * 25000 + 12000, "1:10-11@40 "},
    };
    for (const Case& c : cases) {
        client.secondaryFrequency = c.secondaryAt;
        client.events.clear();
        decoder.SetRetToCtrl(true);
        decode(clearDown(999, 999), 1);  // CHAN and CONT do not matter here
        EXPECT_EQ(client.tunes(), (std::vector<std::string>{"secondary 1000000", "secondary mute"}));
        EXPECT_EQ(callsText(), c.callsLeft);
        EXPECT_FALSE(decoder.RetToCtrl());
    }
}

TEST_F(DecoderTest, ChannelArithmetic)
{
    decoder.SetTunedFrequency(450000000);
    EXPECT_EQ(decoder.CurrentChannel(), -1);  // unknown stays unknown
    decoder.SetCurrentChannel(10);
    struct Case { int32_t to; int16_t channel; };
    for (const Case c : {Case{450050000, 12}, Case{450020000, 11}, Case{449970000, 9}, Case{449970000, 9},
                         Case{449945000, 8}}) {
        decoder.SetBuffersSinceTune(30);
        const bool moved = c.to != decoder.TunedFrequency();
        decoder.SetTunedFrequency(c.to);
        EXPECT_EQ(decoder.CurrentChannel(), c.channel) << c.to;
        EXPECT_EQ(decoder.BuffersSinceTune(), moved ? 0 : 30);
    }
    EXPECT_EQ(decoder.ChannelOfFrequency(450012500, 450000000), 0);
    EXPECT_EQ(decoder.ChannelOfFrequency(449987500, 450000000), 0);  // toward zero
    EXPECT_EQ(decoder.ChannelOfFrequency(450050000, 450000000), 2);
}

TEST_F(DecoderTest, ChannelSizeTakesOnlyTheTwoSteps)
{
    system.record.SystemIdentity = 1;
    system.record.BaseFrequency = 1;  // known
    system.record.ControlChannelFrequency = 451000000;
    decoder.SetControlChannel(40);
    client.events.clear();
    decoder.SetChannelSize(12500);
    EXPECT_EQ(client.events, std::vector<std::string>{"step 12.5"});
    EXPECT_EQ(system.record.BaseFrequency, 451000000 - 40 * 12500);
    decoder.SetChannelSize(12500);
    EXPECT_EQ(client.events.size(), 1u);
    for (uint32_t bad : {0u, 12345u, 70000u}) {
        decoder.SetChannelSize(12500);
        decoder.SetChannelSize(bad);
        EXPECT_EQ(decoder.ChannelSize(), 25000) << bad;
    }
    EXPECT_EQ(system.record.BaseFrequency, 451000000 - 40 * 25000);
    // and nothing divides by zero
    decoder.SetCurrentChannel(3);
    decoder.SetTunedFrequency(123456789);
    decoder.ChanSizeClick(true);
    EXPECT_EQ(decoder.ChannelSize(), 12500);
    decoder.ChanSizeClick(false);
    EXPECT_EQ(decoder.ChannelSize(), 25000);
}

TEST(MPT1327DecoderStart, ChannelStepBeforeAnySettingDividesSafely)
{
    System system;
    Client client;
    client.system = &system;
    TMPT1327Decoder decoder(client, system);
    decoder.SetCurrentChannel(0);
    decoder.SetTunedFrequency(50000);
    EXPECT_EQ(decoder.CurrentChannel(), 2);
    decoder.SetChannelSize(25000);
    EXPECT_TRUE(client.saw("step 25"));  // the first setting shows on the buttons
}

TEST_F(DecoderTest, RemoveCallKeepsTwoGridRows)
{
    system.record.SystemIdentity = 1;
    decoder.AddCall(1, 10, 11, 5);
    decoder.AddCall(1, 20, 21, 6);
    EXPECT_TRUE(client.saw("rows 3"));
    client.events.clear();
    decoder.RemoveCall(0);
    decoder.RemoveCall(5);  // not there
    decoder.RemoveCall(0);
    EXPECT_EQ(client.events, (std::vector<std::string>{"rows 2", "repaint", "rows 2", "repaint"}));
    EXPECT_TRUE(decoder.Calls().empty());
}

TEST_F(DecoderTest, GridTextsAndColours)
{
    onControl();
    client.autoTune = false;
    at(9, 5, 7);
    decoder.AddCall(0x4A, 0x1ABC, 0x0012, 17);
    decoder.AddCall(0x03, 0x0001, 0x1FFF, 300);
    EXPECT_EQ(decoder.CellText(0, 0), "Radio 1");
    EXPECT_EQ(decoder.CellText(3, 0), "Time");
    EXPECT_EQ(decoder.CellText(0, 1), "4A:1ABC");
    EXPECT_EQ(decoder.CellText(1, 1), "4A:0012");
    EXPECT_EQ(decoder.CellText(2, 2), "300");
    EXPECT_EQ(decoder.CellText(3, 2), "09:05:07");
    EXPECT_EQ(decoder.CellText(0, 3), "");

    struct Case { bool ret, secondary; int32_t secondaryAt; int row; bool selected; uint32_t colour; };
    const Case cases[] = {
        {false, false, 0, 1, false, 0x008000},
        {false, false, 0, 1, true, 0xFFFFFF},
        {true, false, 0, 1, false, 0x00FF00},  // on channel 17 with the host
        {true, false, 0, 1, true, 0x00FFFF},
        {true, false, 0, 2, false, 0x008000},
        {true, true, 450000000 + 300 * 25000, 2, false, 0x00FF00},
        {true, true, 450000000 + 300 * 25000, 1, true, 0xFFFFFF},
        {true, true, 450000000 + (300 + 65536) * 25000, 2, false, 0x00FF00},  // low 16 bits of the channel
    };
    for (const Case& c : cases) {
        decoder.SetRetToCtrl(c.ret);
        client.secondary = c.secondary;
        client.secondaryFrequency = c.secondaryAt;
        EXPECT_EQ(decoder.CellColour(c.row, c.selected), c.colour) << c.row << c.selected << c.secondary;
    }
}

TEST_F(DecoderTest, HintMatchesPrefixAndIdent)
{
    onControl();
    client.autoTune = false;
    // the same ident under two prefixes
    system.record.HeardRadios = {{0x0100, 0x02, "Other fleet"}, {0x0100, 0x05, "Van 7"}, {0x0200, 0x05, "Base"}};
    system.record.GroupAliases[5] = "Depot";
    for (int ch = 1; ch <= 6; ++ch)
        decoder.AddCall(0x05, 0x0100 + ch, 0x0300 + ch, ch);
    decoder.AddCall(0x05, 0x0100, 0x0200, 40);  // row 7
    EXPECT_EQ(decoder.HintFor(0, 7), "05:0100 Depot - Van 7");
    EXPECT_EQ(decoder.HintFor(1, 7), "05:0200 Depot - Base");
    EXPECT_EQ(decoder.HintFor(2, 7), "");
    EXPECT_EQ(decoder.HintFor(0, 8), "");
    // heard radios appended by the grants have empty aliases
    EXPECT_EQ(decoder.HintFor(0, 1), "05:0101 Depot - ");

    // cells of 61 x 17 pixels with one-pixel lines; row 7 is the third shown when scrolled to row 5
    EXPECT_EQ(decoder.HintAt(10, 3 * 18 + 2, 61, 17, 5), "05:0100 Depot - Van 7");
    EXPECT_EQ(decoder.HintAt(70, 7 * 18 + 2, 61, 17, 1), "05:0200 Depot - Base");
    EXPECT_EQ(decoder.HintAt(10, 5, 61, 17, 5), "");  // the caption row
    decoder.ClearCalls();
    EXPECT_EQ(decoder.HintAt(10, 20, 61, 17, 1), "");
}

TEST_F(DecoderTest, DoubleClickTunesTheSelectedCall)
{
    onControl();
    client.autoTune = false;
    decoder.DoubleClick(1);  // empty list
    decoder.AddCall(1, 10, 11, 33);
    decoder.AddCall(1, 20, 21, 34);
    decoder.SetControlChannel(-1);
    decoder.DoubleClick(2);
    EXPECT_TRUE(client.tunes().empty());
    decoder.SetControlChannel(17);
    decoder.SetBuffersSinceTune(40);
    decoder.DoubleClick(2);
    EXPECT_EQ(client.tunes(), std::vector<std::string>{"tune " + std::to_string(450000000 + 34 * 25000) + " 2"});
    EXPECT_TRUE(decoder.RetToCtrl());
    EXPECT_EQ(decoder.BuffersSinceTune(), 0);
    client.secondary = true;
    client.events.clear();
    decoder.DoubleClick(1);
    EXPECT_EQ(client.tunes(), (std::vector<std::string>{"secondary " + std::to_string(450000000 + 33 * 25000),
                                                        "secondary unmute"}));
}
