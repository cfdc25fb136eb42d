#pragma once
// The codeword interpreter in a window that behaves as the decoder window does around it, for the
// targets that feed MPT1327 off the air: its buffers of 2048 frames at 11025 Hz count as the window
// counts them, every tune comes back as the host's frequency notification, and selecting a system
// clears the call list and stores the current record in a database that gives back what was stored.
// Everything the interpreter prints, shows or logs is checked as it comes: the message lines, the
// grid with its hints and colours, and the call-log lines, read back against the grid.
//
// An input starts with two bytes: the options (bit 0 a secondary receiver in use, bit 1 automatic
// tuning, bit 2 the traffic input for the targets that feed one input only, bits 3 to 7 the buffers
// the settled window had already heard on this channel) and the user's action on the grid at a
// buffer (GridAction).
#include "FuzzTarget.h"

#include "MPT1327Decoder.h"
#include "MPT1327Log.h"
#include "MPT1327RecordAccess.h"
#include "MPT1327SystemRecord.h"

#include <map>
#include <set>
#include <utility>

namespace fuzz {

struct Mpt1327Window : TMPT1327DecoderClient {
    static constexpr uint32_t kRate = 11025;
    static constexpr uint32_t kBufferFrames = 2048;  // the window's 8192-byte stereo buffers
    static constexpr int kColumnWidth = 60, kRowHeight = 15;

    int32_t BuffersSinceTune = 0;
    int32_t ValidCount = 0;
    TMPT1327SystemRecord record;
    TMPT1327RecordAccess access{record};
    TMPT1327Decoder decoder{*this, access, &BuffersSinceTune, &ValidCount};
    std::map<uint16_t, TMPT1327SystemRecord> stored;  // the database

    bool secondaryInUse = false, autoTune = false, trafficInput = false;
    GridAction user;
    int32_t secondary = kMPT1327ParkFrequency;
    int gridRows = 2;
    uint64_t frames = 0;  // since the start, at kRate
    size_t lines = 0;

    // Takes the two option bytes off the input.
    Mpt1327Window(const uint8_t*& data, size_t& size)
    {
        uint8_t options = 0;
        if (size >= 2) {
            options = data[0];
            user = GridAction(data[1]);
            data += 2;
            size -= 2;
        }
        secondaryInUse = options & 1;
        autoTune = options & 2;
        trafficInput = options & 4;
        record.SystemIdentity = MPT1327NoSystem;
        decoder.SetTunedFrequency(450012500);
        decoder.SetChannelSize(12500);
        BuffersSinceTune = options >> 3;
    }

    // Time moves on by n frames: each buffer that begins is counted, and the window is looked at.
    void Advance(uint64_t n)
    {
        const uint64_t before = frames / kBufferFrames;
        frames += n;
        for (uint64_t buffer = before + 1; buffer <= frames / kBufferFrames; ++buffer) {
            ++BuffersSinceTune;
            user.Take(buffer - 1, decoder, decoder.Calls());
            CheckShown();
        }
    }

    // What the grid and the record hold, as the window paints and stores them.
    void CheckShown()
    {
        const auto& calls = decoder.Calls();
        Check(gridRows >= int(calls.size()) + 1, "a call the grid has no row for");
        for (size_t i = 0; i < calls.size(); ++i) {
            const TMPT1327Call& e = calls[i];
            const int row = int(i) + 1;
            for (size_t j = 0; j < i; ++j) {
                const TMPT1327Call& o = calls[j];
                Check(o.Channel != e.Channel, "two calls on one channel");
                const std::set<int32_t> idents{o.Ident1, o.Ident2};
                Check(o.Prefix != e.Prefix || (!idents.count(e.Ident1) && !idents.count(e.Ident2)),
                      "a radio in two calls");
            }
            for (int column = 0; column < 2; ++column) {
                const std::string radio = decoder.CellText(column, row);
                Check(radio.size() == 7 && radio[2] == ':' && WholeText(radio), "a radio's cell");
                const std::string hint = decoder.HintFor(column, row);
                Check(WholeText(hint) && (hint.empty() || hint.rfind(radio + " ", 0) == 0),
                      "a hint that is not of its radio");
                Check(decoder.HintAt(column * (kColumnWidth + 1), kRowHeight + 1, kColumnWidth, kRowHeight, row) ==
                          hint,
                      "the hint under the mouse is not the cell's");
            }
            Check(decoder.CellText(2, row) == std::to_string(e.Channel), "the channel's cell");
            const std::string time = decoder.CellText(3, row);
            Check(time.size() == 8 && time[2] == ':' && time[5] == ':' && WholeText(time), "the time's cell");
            for (bool selected : {false, true})
                Check(GridColour(decoder.CellColour(row, selected), selected), "a colour the grid does not have");
        }
        Check(decoder.CellText(0, int(calls.size()) + 1).empty(), "a cell below the list");
        std::set<std::pair<uint8_t, uint16_t>> heard;
        for (const TMPT1327HeardRadio& r : record.HeardRadios)
            Check(heard.insert({r.Prefix, r.Ident}).second, "a radio heard twice");
    }

    // The record as the database stores it and reads it back.
    void Store()
    {
        const TMPT1327SystemRecord back = DecodeMPT1327System(EncodeMPT1327System(record));
        Check(back == record, "a stored system does not read back the same");
        stored[record.SystemIdentity] = back;
    }

    TMPT1327LocalTime LocalTime() override { return NearMidnight<TMPT1327LocalTime>(frames, kRate); }
    // The host notifies every tune before the command returns.
    void TuneHost(int32_t frequency, int32_t) override { decoder.SetTunedFrequency(frequency); }
    bool SecondaryInUse() override { return secondaryInUse; }
    int32_t SecondaryFrequency() override { return secondary; }
    void SecondarySetFrequency(int32_t frequency) override { secondary = frequency; }
    void SecondarySetMute(bool) override {}
    bool AutoTuneChecked() override { return autoTune; }
    void SelectSystem(uint16_t identity) override
    {
        if (identity == record.SystemIdentity)
            return;
        if (record.SystemIdentity != MPT1327NoSystem)
            Store();
        decoder.ClearCalls();
        if (auto it = stored.find(identity); it != stored.end()) {
            record = it->second;
        } else {
            record = TMPT1327SystemRecord{};
            record.SystemIdentity = identity;
            record.BaseFrequency = -1;
            record.ChannelSize = decoder.ChannelSize();
        }
    }
    void WriteLogEntry(const TMPT1327LocalTime& time, const TMPT1327Call& call) override
    {
        const TSystemTime t{time.Year, time.Month, 0, time.Day, time.Hour, time.Minute, time.Second, 0};
        Check(WholeLine(MPT1327LogLine(lfText, t, record.SystemIdentity, call, ',')),
              "a text log line that is not whole");
        const std::string line = MPT1327LogLine(lfCommaSeparated, t, record.SystemIdentity, call, ';');
        Check(WholeLine(line), "a comma-separated log line that is not whole");
        // The call logged is one the grid shows, and the line reads back as its row.
        const auto& calls = decoder.Calls();
        size_t row = 0;
        while (row < calls.size() && !(calls[row].Channel == call.Channel && calls[row].Prefix == call.Prefix &&
                                       calls[row].Ident1 == call.Ident1 && calls[row].Ident2 == call.Ident2))
            ++row;
        Check(row < calls.size(), "a call logged that the grid does not show");
        const std::vector<std::string> fields = Fields(line.substr(0, line.size() - 2), ';');
        const int r = int(row) + 1;
        Check(fields.size() == 6 && fields[3] == "\"" + decoder.CellText(0, r) + "\"" &&
                  fields[4] == "\"" + decoder.CellText(1, r) + "\"" && fields[5] == decoder.CellText(2, r),
              "a comma-separated log line that does not read back as its call");
        ++lines;
    }
    void PrintLine(const TMPT1327TextLine& line) override
    {
        Check(line.size() >= 2 && (line.front().Text == "0 " || line.front().Text == "1 ") &&
                  line.back().Text == "\n",
              "a message line without its input or its end");
        for (size_t i = 1; i + 1 < line.size(); ++i)
            Check(!line[i].Text.empty() && WholeText(line[i].Text) &&
                      (line[i].Colour == kMPT1327Lime || line[i].Colour == kMPT1327Red),
                  "a message line's word");
        ++lines;
    }
    void SetAccFramesText(const std::string& text) override
    {
        Check(WholeText(text) && !text.empty() && text.back() == '%', "the accepted frames' text");
    }
    void SetCtrlChanText(const std::string& text) override { Check(WholeText(text), "the control channel's text"); }
    void EnableSystemControls() override {}
    void ChannelSizeShown(bool) override {}
    void RetToCtrlChanged(bool) override {}
    void SetGridRows(int rows) override { gridRows = rows; }
    void RepaintGrid() override {}

    // The end of the input: what the window shows, and the record as it would be saved on closing.
    void Finish()
    {
        CheckShown();
        if (record.SystemIdentity != MPT1327NoSystem)
            Store();
    }
};

}  // namespace fuzz
