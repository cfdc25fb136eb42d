// SmartNet outbound words off the air: the input's bits through the frame sync, deinterleaving,
// correction and check into the word interpreter, with a window that takes everything.
#include "FuzzTarget.h"

#include "SmartNetDecoder.h"
#include "SmartNetReceiver.h"
#include "Smartnet.h"

namespace fuzz {

namespace {

struct Window : TSmartNetDecoderClient {
    TSmartNetSystemRecord record;
    TSmartNetDecoder decoder{*this, record};
    uint32_t secondary = 1000000;
    size_t texts = 0;

    void TuneHost(int32_t, bool) override {}
    bool SecondaryInUse() override { return true; }
    uint32_t SecondaryFrequency() override { return secondary; }
    void SecondaryFollow(uint32_t frequency) override { secondary = frequency; }
    void SecondaryPark() override { secondary = 1000000; }
    uint16_t SecondarySignalStrength() override { return 100; }
    bool AutoTuneChecked() override { return true; }
    TSmartNetLocalTime LocalTime() override { return {2026, 12, 10, 14, 30, 5}; }
    TSmartNetDateNames DateNames() override
    {
        return {{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
                {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}};
    }
    void SelectSystem(uint16_t identity) override
    {
        if (identity == record.SystemIdentity)
            return;
        record = TSmartNetSystemRecord{};
        record.SystemIdentity = identity;
    }
    void SaveSystem() override {}
    void WriteLogEntry(const TSmartNetLocalTime&, uint16_t, const TSmartNetOnAirEntry&) override {}
    void SetText(TSmartNetLabel, const std::string& text) override { texts += text.size(); }
    void EnableSystemControls(bool) override {}
    void RetToCtrlChanged(bool) override {}
    void SetGridRows(int) override {}
    void RepaintGrid() override {}
};

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::smartnet;
    ChannelScript s;
    s.system = 0x1234;
    s.controlChannel = 752;
    s.seconds = 0.3;
    s.events.push_back({0.05, {grant(0x2001, 0x120)}});
    s.events.push_back({0.1, {grant(0x2002, 0x121, false)}});
    ChannelScript other = s;
    other.system = 0xBEEF;
    other.controlChannel = -1;
    other.events = {{0.0, {controlChannelWord(17), idle()}}};
    return {{"control", PackBits(controlChannelBits(s))}, {"no-triple", PackBits(controlChannelBits(other))}};
}

// The input: bits as they come off the air.
void Run(const uint8_t* data, size_t size)
{
    Window window;
    TSmartNetReceiver receiver(window.decoder);
    receiver.Reset();
    ForEachBit(data, size, [&](uint8_t bit) { receiver.PushBits(1, bit); });
}

}  // namespace fuzz
