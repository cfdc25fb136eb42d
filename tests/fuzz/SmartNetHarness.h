#pragma once
// The SmartNet word interpreter in a window that behaves as the decoder window does around it, for
// the targets that feed SmartNet off the air: its buffers of 8192 frames at 44100 Hz count as the
// window counts them, its 50 ms timer ages the on-air list and hunts, every tune comes back as the
// host's frequency notification, and selecting a system stores the current record in a database
// that gives back what was stored. Everything the decoder shows or logs is checked as it comes:
// the grid, its hints and colours, the window's texts and the call-log lines.
//
// An input starts with three bytes: the options (bit 0 a secondary receiver in use, bit 1 automatic
// tuning, bit 2 automatic following, bits 3 to 7 the buffers the settled window had already heard
// on this channel), the host's signal level at each of eight timer ticks in turn (bit set: S9,
// clear: a faded S9 - 40 dB), and the user's action on the grid at a timer tick (GridAction).
#include "FuzzTarget.h"

#include "SmartNetDecoder.h"
#include "SmartNetLog.h"
#include "SmartNetReceiver.h"
#include "SmartNetSystemRecord.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace fuzz {

struct SmartNetWindow : TSmartNetDecoderClient {
    static constexpr uint32_t kRate = TSmartNetReceiver::kSampleRate;
    static constexpr uint32_t kBufferFrames = 8192;  // the window's 32768-byte stereo buffers
    static constexpr uint32_t kTickFrames = kRate / 20;
    static constexpr int32_t kStrong = 32768, kFaded = 32768 - 40 * 512;
    static constexpr int kRowHeight = 15, kColumn0Width = 100;

    int32_t BuffersSinceTune = 0;
    int32_t ValidCount = 0;
    TSmartNetSystemRecord record;
    TSmartNetDecoder decoder{*this, record, &BuffersSinceTune};
    TSmartNetReceiver receiver{decoder, &ValidCount};
    std::map<uint16_t, TSmartNetSystemRecord> stored;  // the database

    bool secondaryInUse = false, autoTune = false, autoFollow = false;
    uint8_t levels = 0xFF;
    GridAction user;
    uint32_t secondary = 1000000;
    int gridRows = 2;
    uint64_t frames = 0;  // since the start, at kRate
    uint64_t ticks = 0;
    size_t logged = 0;
    uint64_t nextBuffer_ = kBufferFrames, nextTick_ = kTickFrames;

    // Takes the three option bytes off the input.
    SmartNetWindow(const uint8_t*& data, size_t& size)
    {
        uint8_t options = 0;
        if (size >= 3) {
            options = data[0];
            levels = data[1];
            user = GridAction(data[2]);
            data += 3;
            size -= 3;
        }
        secondaryInUse = options & 1;
        autoTune = options & 2;
        autoFollow = options & 4;
        decoder.AttachReceiver(&receiver);
        decoder.SetChannelSize(25000);
        decoder.SelfCausedTune = true;
        decoder.FrequencyNotified(851012500);
        receiver.Reset();
        BuffersSinceTune = options >> 3;
    }

    // Time moves on by n frames: each buffer that begins is counted, each timer tick that falls runs.
    void Advance(uint64_t n)
    {
        const uint64_t end = frames + n;
        while (std::min(nextBuffer_, nextTick_) <= end) {
            if (nextBuffer_ <= nextTick_) {
                frames = nextBuffer_;
                nextBuffer_ += kBufferFrames;
                ++BuffersSinceTune;
            } else {
                frames = nextTick_;
                nextTick_ += kTickFrames;
                Tick();
            }
        }
        frames = end;
    }

    void Tick()
    {
        user.Take(ticks, decoder, decoder.OnAir());
        const int32_t level = (levels >> (ticks++ % 8)) & 1 ? kStrong : kFaded;
        decoder.SignalLevelNotified(level, autoFollow);
        decoder.TimerTick();
        CheckShown();
    }

    // What the grid and the record hold, as the window paints and stores them.
    void CheckShown()
    {
        const auto& onAir = decoder.OnAir();
        Check(gridRows >= int(onAir.size()) + 1, "a call the grid has no row for");
        std::set<int32_t> radios;
        for (size_t i = 0; i < onAir.size(); ++i) {
            const TSmartNetOnAirEntry& e = onAir[i];
            Check(radios.insert(e.Identity).second, "one radio twice in the on-air list");
            Check(e.Age >= 0 && e.Age <= 202, "a call older than the list keeps one");
            const int row = int(i) + 1;
            char id[8];
            std::snprintf(id, sizeof id, "%04X", unsigned(e.Identity) & 0xFFFF);
            const std::string radio = decoder.CellText(0, row);
            Check(WholeText(radio) && radio.rfind(std::string(id) + " ", 0) == 0, "the radio's cell");
            Check(decoder.CellText(1, row) == std::to_string(e.Channel), "the channel's cell");
            const std::string time = decoder.CellText(2, row);
            Check(time.size() == 8 && time[2] == ':' && time[5] == ':' && WholeText(time), "the time's cell");
            Check(decoder.HintAt(0, row * (kRowHeight + 1), kColumn0Width, kRowHeight) == radio,
                  "the hint of a row is not its radio");
            for (bool selected : {false, true})
                Check(GridColour(decoder.CellColour(row, selected), selected), "a colour the grid does not have");
        }
        Check(decoder.CellText(0, int(onAir.size()) + 1).empty(), "a cell below the list");
        std::set<uint16_t> heard;
        for (const TSmartNetHeardRadio& r : record.HeardRadios)
            Check(heard.insert(r.Identity).second, "a radio heard twice");
    }

    // The record as the database stores it and reads it back.
    void Store()
    {
        const TSmartNetSystemRecord back = DecodeSmartNetSystem(EncodeSmartNetSystem(record));
        Check(back == record, "a stored system does not read back the same");
        stored[record.SystemIdentity] = back;
    }

    TSmartNetLocalTime LocalTime() override { return NearMidnight<TSmartNetLocalTime>(frames, kRate); }
    void TuneHost(int32_t frequency, bool selfCaused) override
    {
        // The host notifies every tune before the command returns.
        decoder.SelfCausedTune = selfCaused;
        decoder.FrequencyNotified(frequency);
    }
    bool SecondaryInUse() override { return secondaryInUse; }
    uint32_t SecondaryFrequency() override { return secondary; }
    void SecondaryFollow(uint32_t frequency) override { secondary = frequency; }
    void SecondaryPark() override { secondary = 1000000; }
    uint16_t SecondarySignalStrength() override { return (levels >> (ticks % 8)) & 1 ? kStrong : kFaded; }
    bool AutoTuneChecked() override { return autoTune; }
    TSmartNetDateNames DateNames() override
    {
        return {{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
                {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}};
    }
    void SelectSystem(uint16_t identity) override
    {
        if (identity == record.SystemIdentity)
            return;
        if (record.SystemIdentity != kSmartNetNoSystem)
            Store();
        if (auto it = stored.find(identity); it != stored.end()) {
            record = it->second;
        } else {
            record = TSmartNetSystemRecord{};
            record.SystemIdentity = identity;
        }
    }
    void SaveSystem() override
    {
        if (record.SystemIdentity != kSmartNetNoSystem)
            Store();
    }
    void WriteLogEntry(const TSmartNetLocalTime& time, uint16_t system, const TSmartNetOnAirEntry& entry) override
    {
        const TSystemTime t{time.Year, time.Month, 0, time.Day, time.Hour, time.Minute, time.Second, 0};
        Check(WholeLine(SmartNetLogLine(lfText, t, system, entry, ',')), "a text log line that is not whole");
        const std::string line = SmartNetLogLine(lfCommaSeparated, t, system, entry, ';');
        Check(WholeLine(line), "a comma-separated log line that is not whole");
        // Date;time;system;radio;channel, read back.
        const std::vector<std::string> fields = Fields(line.substr(0, line.size() - 2), ';');
        char radio[16];
        std::snprintf(radio, sizeof radio, "%04X%s", unsigned(entry.Identity) & 0xFFFF, entry.Group ? "-grp" : "");
        Check(fields.size() == 5 && fields[3] == radio && fields[4] == std::to_string(entry.Channel),
              "a comma-separated log line that does not read back as its call");
        ++logged;
    }
    void SetText(TSmartNetLabel, const std::string& text) override { Check(WholeText(text), "a label's text"); }
    void EnableSystemControls(bool) override {}
    void RetToCtrlChanged(bool) override {}
    void SetGridRows(int rows) override { gridRows = rows; }
    void RepaintGrid() override {}

    // The end of the input: what the window shows, and the record as it would be saved on closing.
    void Finish()
    {
        CheckShown();
        SaveSystem();
    }
};

}  // namespace fuzz
