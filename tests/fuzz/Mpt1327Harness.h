#pragma once
// The codeword interpreter with a window that takes everything and does nothing, for the targets that
// feed MPT1327 off the air: selecting a system starts an empty record, as the window does for a
// system it has not met.
#include "MPT1327Decoder.h"
#include "MPT1327Log.h"
#include "MPT1327RecordAccess.h"
#include "MPT1327SystemRecord.h"

namespace fuzz {

struct Mpt1327Window : TMPT1327DecoderClient {
    TMPT1327SystemRecord record;
    TMPT1327RecordAccess access{record};
    TMPT1327Decoder decoder{*this, access};
    int32_t secondary = kMPT1327ParkFrequency;
    size_t lines = 0;

    Mpt1327Window()
    {
        record.SystemIdentity = MPT1327NoSystem;
        decoder.SetTunedFrequency(450012500);
        decoder.SetChannelSize(12500);
    }
    void TuneHost(int32_t frequency, int32_t) override { decoder.SetTunedFrequency(frequency); }
    bool SecondaryInUse() override { return true; }
    int32_t SecondaryFrequency() override { return secondary; }
    void SecondarySetFrequency(int32_t frequency) override { secondary = frequency; }
    void SecondarySetMute(bool) override {}
    bool AutoTuneChecked() override { return true; }
    TMPT1327LocalTime LocalTime() override { return {2026, 12, 10, 14, 30, 5}; }
    void SelectSystem(uint16_t identity) override
    {
        if (identity == record.SystemIdentity)
            return;
        record = TMPT1327SystemRecord{};
        record.SystemIdentity = identity;
        record.BaseFrequency = -1;
        record.ChannelSize = decoder.ChannelSize();
    }
    void WriteLogEntry(const TMPT1327LocalTime&, const TMPT1327Call& call) override
    {
        const TSystemTime t{2026, 12, 4, 10, 14, 30, 5, 0};
        lines += !MPT1327LogLine(0, t, record.SystemIdentity, call, ',').empty();
        lines += !MPT1327LogLine(1, t, record.SystemIdentity, call, ';').empty();
    }
    void PrintLine(const TMPT1327TextLine& line) override { lines += !line.empty(); }
    void SetAccFramesText(const std::string&) override {}
    void SetCtrlChanText(const std::string&) override {}
    void EnableSystemControls() override {}
    void ChannelSizeShown(bool) override {}
    void RetToCtrlChanged(bool) override {}
    void SetGridRows(int) override {}
    void RepaintGrid() override {}
};

}  // namespace fuzz
