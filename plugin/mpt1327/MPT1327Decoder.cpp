#include "MPT1327Decoder.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string hex(unsigned value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

std::string twoDigits(unsigned value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02u", value);
    return buf;
}

bool inMap(int32_t channel) { return channel >= 0 && channel < kMPT1327Channels; }

}  // namespace

TMPT1327Fields MPT1327Fields(const std::array<uint16_t, 4>& w)
{
    TMPT1327Fields f{};
    f.AddressFlag = (w[0] >> 15) & 1;
    f.Prefix = (w[0] >> 8) & 0x7F;
    f.Ident1 = static_cast<uint16_t>(((w[0] & 0xFF) << 5) | (w[1] >> 11));
    f.MessageFlag = (w[1] >> 10) & 1;
    f.GrantChannel = static_cast<uint16_t>(((w[1] & 0x1FF) << 1) | (w[2] >> 15));
    f.Ident2 = (w[2] >> 2) & 0x1FFF;
    f.Cat = (w[1] >> 7) & 7;
    f.Type = (w[1] >> 5) & 3;
    f.Func = (w[1] >> 2) & 7;
    f.ChannelNumber = static_cast<uint16_t>(((w[1] & 3) << 8) | (w[2] >> 8));
    f.ClearChannel = (w[0] >> 5) & 0x3FF;
    f.ClearCont = static_cast<uint16_t>(((w[0] & 0x1F) << 5) | (w[1] >> 11));
    f.SysDef = (w[0] >> 10) & 0x1F;
    f.DataCount = (w[1] >> 4) & 0xF;
    f.SystemIdentity = w[0] & 0x7FFF;
    return f;
}

bool IsSystemCodeword(const std::array<uint16_t, 4>& w)
{
    return w[2] == kMPT1327Preamble && (w[3] == kMPT1327Sync || w[3] == kMPT1327Synt);
}

TMPT1327TextLine MPT1327CodewordLine(int input, const std::array<uint16_t, 4>& w)
{
    TMPT1327TextLine line;
    line.push_back({input == 1 ? "1 " : "0 ", kMPT1327Lime});
    for (uint16_t word : w) {
        if (word == kMPT1327Sync)
            line.push_back({" SYNC", kMPT1327Red});
        else if (word == kMPT1327Synt)
            line.push_back({" SYNT", kMPT1327Red});
        else if (word == kMPT1327Preamble)
            line.push_back({" PREAMBLE", kMPT1327Red});
        else {
            char text[8];
            std::snprintf(text, sizeof text, " %04X", word);
            line.push_back({text, kMPT1327Lime});
        }
    }
    line.push_back({"\n", 0});
    return line;
}

TMPT1327Decoder::TMPT1327Decoder(TMPT1327DecoderClient& client, TMPT1327SystemAccess& system,
                                 int32_t* buffersSinceTune, int32_t* validCodewords)
    : client_(client),
      system_(system),
      valid_(validCodewords ? *validCodewords : ownValid_),
      buffersSinceTune_(buffersSinceTune ? *buffersSinceTune : ownBuffers_)
{
}

TMPT1327Decoder::Outcome TMPT1327Decoder::Decode(const TMPT1327Codeword& codeword)
{
    const int input = codeword.Input == 1 ? 1 : 0;
    const auto& w = codeword.Words;
    if (input == 0) {
        ++total_;
        if (codeword.Valid)
            ++valid_;
        if (total_ >= 100) {
            client_.SetAccFramesText(std::to_string(valid_ * 100 / total_) + "%");
            total_ = 0;
            valid_ = 0;
        }
    }
    if (!codeword.Valid)
        return Outcome::Invalid;

    const TMPT1327Fields f = MPT1327Fields(w);
    int32_t& skip = skip_[static_cast<size_t>(input)];
    if (f.AddressFlag) {
        skip = 0;
    } else if (skip > 0) {
        --skip;
        return Outcome::Skipped;
    }

    if (IsSystemCodeword(w)) {
        systemCodeword(input, f);
        return Outcome::System;
    }

    bool print = false;
    Outcome outcome = Outcome::Dropped;
    if (!f.AddressFlag) {
        print = true;
    } else if (f.MessageFlag == 0) {
        AddCall(f.Prefix, f.Ident1, f.Ident2, f.GrantChannel);
        return Outcome::Grant;
    } else {
        switch (f.Cat) {
        case 0:
            if (f.Type == 1) {
                print = f.Func == 6;
            } else if (f.Type == 3) {
                switch (f.Func) {
                case 1:
                    if (input == 0) {
                        SetCurrentChannel(static_cast<int16_t>(f.ChannelNumber));
                        heardChannel_ = currentChannel_;
                    }
                    return Outcome::ChannelNumber;
                case 2:
                    clearDown(input, f);
                    return Outcome::ClearDown;
                case 4:
                    print = f.SysDef != 2 && f.SysDef != 3;
                    break;
                case 5:
                case 6:
                case 7:
                    print = true;
                    break;
                default:
                    break;
                }
            }
            break;
        case 1:
            if (w[1] & 0x40) {
                skip = f.DataCount;
                return Outcome::DataHeader;
            }
            print = true;
            break;
        case 2:
        case 5:
            print = true;
            break;
        default:
            break;
        }
    }
    if (print) {
        client_.PrintLine(MPT1327CodewordLine(input, w));
        outcome = Outcome::Printed;
    }
    return outcome;
}

void TMPT1327Decoder::systemCodeword(int input, const TMPT1327Fields& f)
{
    if (!system_.SystemCurrent())
        client_.EnableSystemControls();
    if (buffersSinceTune_ <= 16)
        return;
    client_.SelectSystem(f.SystemIdentity);
    if (input != 0)
        return;
    // A system the database did not know leaves the channel unknown; the channel-number message
    // heard on this frequency (perhaps before the input was found) still says which it is.
    if (currentChannel_ == -1 && heardChannel_ != -1)
        SetCurrentChannel(heardChannel_);
    if (currentChannel_ != controlChannel_) {
        controlChannel_ = currentChannel_;
        client_.SetCtrlChanText(std::to_string(controlChannel_));
    }
    if (controlChannel_ != -1) {
        // a channel number outside the maps (after retuning far off) marks nothing
        if (inMap(controlChannel_))
            system_.MarkControlChannel(static_cast<uint16_t>(controlChannel_));
        system_.SetBaseFrequency(
            static_cast<int32_t>(int64_t{tunedFrequency_} - int64_t{controlChannel_} * step()));
    }
    if (!client_.SecondaryInUse())
        SetRetToCtrl(false);
}

void TMPT1327Decoder::clearDown(int input, const TMPT1327Fields& f)
{
    uint32_t cleared;
    if (input == 0) {
        if (currentChannel_ == -1)
            SetCurrentChannel(static_cast<int16_t>(f.ClearChannel));
        else if (f.ClearChannel != currentChannel_)
            return;
        // taken before tuning: the host reports the new frequency back while it is being tuned
        cleared = static_cast<uint32_t>(currentChannel_);
        TuneHost(static_cast<int32_t>(int64_t{tunedFrequency_} +
                                      (int64_t{f.ClearCont} - currentChannel_) * step()));
    } else {
        // unsigned, so a frequency below the base gives a number that matches no call
        const uint32_t offset =
            static_cast<uint32_t>(client_.SecondaryFrequency()) - static_cast<uint32_t>(system_.BaseFrequency());
        cleared = offset / static_cast<uint32_t>(step());
        client_.SecondarySetFrequency(kMPT1327ParkFrequency);
        client_.SecondarySetMute(true);
    }
    for (size_t i = 0; i < calls_.size(); ++i) {
        if (calls_[i].Channel >= 0 && static_cast<uint32_t>(calls_[i].Channel) == cleared) {
            RemoveCall(i);
            break;
        }
    }
    SetRetToCtrl(false);
}

void TMPT1327Decoder::SetTunedFrequency(int32_t hz)
{
    if (hz == tunedFrequency_)
        return;
    if (currentChannel_ != -1)
        SetCurrentChannel(static_cast<int16_t>(currentChannel_ + (int64_t{hz} - tunedFrequency_) / step()));
    tunedFrequency_ = hz;
    heardChannel_ = -1;  // the number heard belongs to the frequency left
    buffersSinceTune_ = 0;
}

void TMPT1327Decoder::SetCurrentChannel(int16_t channel)
{
    if (channel == currentChannel_)
        return;
    currentChannel_ = channel;
    client_.RepaintGrid();
}

void TMPT1327Decoder::SetChannelSize(uint32_t hz)
{
    // the step divides every channel computation: only the two steps of the buttons are taken
    const uint16_t size = hz == 12500 ? 12500 : 25000;
    if (size == channelSize_)
        return;
    channelSize_ = size;
    client_.ChannelSizeShown(size == 12500);
    if (system_.SystemCurrent() && system_.BaseFrequency() != -1)
        system_.SetBaseFrequency(
            static_cast<int32_t>(int64_t{system_.ControlChannelFrequency()} - int64_t{controlChannel_} * size));
}

void TMPT1327Decoder::AssignChannels(uint32_t channelSize, int16_t current, int16_t control)
{
    const uint16_t size = channelSize == 12500 ? 12500 : 25000;
    if (size != channelSize_) {
        channelSize_ = size;
        client_.ChannelSizeShown(size == 12500);
    }
    controlChannel_ = control;
    SetCurrentChannel(current);
}

void TMPT1327Decoder::TuneHost(int32_t hz) { client_.TuneHost(hz, kMPT1327TuneMode); }

int16_t TMPT1327Decoder::ChannelOfFrequency(int32_t hz, int32_t base) const
{
    return static_cast<int16_t>((int64_t{hz} - base) / step());
}

int32_t TMPT1327Decoder::FrequencyOfChannel(int32_t channel) const
{
    return static_cast<int32_t>(int64_t{channel} * step() + system_.BaseFrequency());
}

void TMPT1327Decoder::SetRetToCtrl(bool enabled)
{
    if (enabled == retToCtrl_)
        return;
    retToCtrl_ = enabled;
    client_.RetToCtrlChanged(enabled);
}

void TMPT1327Decoder::AddHeardRadio(int32_t prefix, int32_t ident)
{
    const uint8_t p = static_cast<uint8_t>(prefix & 0x7F);
    const uint16_t id = static_cast<uint16_t>(ident);
    system_.MarkPrefix(p);
    for (size_t i = 0; i < system_.HeardRadioCount(); ++i)
        if (system_.HeardRadioPrefix(i) == p && system_.HeardRadioIdent(i) == id)
            return;
    system_.AppendHeardRadio(p, id);
}

void TMPT1327Decoder::AddCall(int32_t prefix, int32_t ident1, int32_t ident2, int32_t channel)
{
    if (!system_.SystemCurrent())
        return;
    AddHeardRadio(prefix, ident1);
    AddHeardRadio(prefix, ident2);
    if (inMap(channel))
        system_.MarkTrafficChannel(static_cast<uint16_t>(channel));

    const TMPT1327LocalTime now = client_.LocalTime();
    const TMPT1327LocalTime heardTime = client_.HeardTime(now);
    const int32_t heard = heardTime.Hour * 3600 + heardTime.Minute * 60 + heardTime.Second;
    for (size_t i = 0; i < calls_.size();) {
        TMPT1327Call& e = calls_[i];
        if (e.Channel == channel && e.Prefix == prefix && e.Ident1 == ident1 && e.Ident2 == ident2) {
            int32_t seconds = heard - e.HeardAt;
            if (seconds < 0)
                seconds += 24 * 3600;  // repeated after midnight
            if (seconds < 3)
                return;
            e.Hour = now.Hour;
            e.Minute = now.Minute;
            e.Second = now.Second;
            e.HeardAt = heard;
            client_.RepaintGrid();
            client_.WriteLogEntry(now, e);
            return;
        }
        const bool sharesIdent = e.Prefix == prefix && (e.Ident1 == ident1 || e.Ident1 == ident2 ||
                                                         e.Ident2 == ident1 || e.Ident2 == ident2);
        if (e.Channel == channel || sharesIdent) {
            RemoveCall(i);
            continue;
        }
        ++i;
    }

    calls_.push_back({prefix, ident1, ident2, channel, now.Hour, now.Minute, now.Second, heard});
    client_.SetGridRows(static_cast<int>(calls_.size()) + 1);
    client_.WriteLogEntry(now, calls_.back());

    if (controlChannel_ != -1 && client_.AutoTuneChecked() && !retToCtrl_ && currentChannel_ == controlChannel_) {
        const int32_t f = FrequencyOfChannel(channel);
        if (client_.SecondaryInUse()) {
            client_.SecondarySetFrequency(f);
            client_.SecondarySetMute(false);
        } else {
            TuneHost(f);
            buffersSinceTune_ = 0;
        }
        SetRetToCtrl(true);
    }
    client_.RepaintGrid();
}

void TMPT1327Decoder::RemoveCall(size_t index)
{
    if (index >= calls_.size())
        return;
    calls_.erase(calls_.begin() + static_cast<std::ptrdiff_t>(index));
    if (calls_.empty())
        calls_.shrink_to_fit();
    client_.SetGridRows(std::max(static_cast<int>(calls_.size()) + 1, 2));
    client_.RepaintGrid();
}

void TMPT1327Decoder::ClearCalls()
{
    calls_.clear();
    calls_.shrink_to_fit();
    client_.SetGridRows(2);
    client_.RepaintGrid();
}

bool TMPT1327Decoder::IsListenedTo(const TMPT1327Call& call)
{
    if (!retToCtrl_)
        return false;
    if (!client_.SecondaryInUse())
        return call.Channel == currentChannel_;
    const uint32_t offset =
        static_cast<uint32_t>(client_.SecondaryFrequency()) - static_cast<uint32_t>(system_.BaseFrequency());
    const uint16_t channel = static_cast<uint16_t>(offset / static_cast<uint32_t>(step()));
    return call.Channel == channel;
}

std::string TMPT1327Decoder::CellText(int column, int row) const
{
    static const char* const kCaptions[] = {"Radio 1", "Radio 2", "Channel", "Time"};
    if (column < 0 || column > 3 || row < 0)
        return {};
    if (row == 0)
        return kCaptions[column];
    if (static_cast<size_t>(row) > calls_.size())
        return {};
    const TMPT1327Call& e = calls_[static_cast<size_t>(row - 1)];
    switch (column) {
    case 0:
        return hex(static_cast<unsigned>(e.Prefix) & 0xFF, 2) + ":" + hex(static_cast<unsigned>(e.Ident1) & 0xFFFF, 4);
    case 1:
        return hex(static_cast<unsigned>(e.Prefix) & 0xFF, 2) + ":" + hex(static_cast<unsigned>(e.Ident2) & 0xFFFF, 4);
    case 2:
        return std::to_string(e.Channel);
    default:
        return twoDigits(e.Hour) + ":" + twoDigits(e.Minute) + ":" + twoDigits(e.Second);
    }
}

uint32_t TMPT1327Decoder::CellColour(int row, bool selected)
{
    if (row <= 0 || static_cast<size_t>(row) > calls_.size())
        return 0;
    const bool listened = IsListenedTo(calls_[static_cast<size_t>(row - 1)]);
    if (selected)
        return listened ? 0x00FFFF : 0xFFFFFF;
    return listened ? 0x00FF00 : 0x008000;
}

std::string TMPT1327Decoder::HintFor(int column, int row) const
{
    if ((column != 0 && column != 1) || row < 1 || static_cast<size_t>(row) > calls_.size())
        return {};
    const TMPT1327Call& e = calls_[static_cast<size_t>(row - 1)];
    const int32_t ident = column == 0 ? e.Ident1 : e.Ident2;
    for (size_t i = 0; i < system_.HeardRadioCount(); ++i) {
        if (system_.HeardRadioPrefix(i) != e.Prefix || system_.HeardRadioIdent(i) != ident)
            continue;
        const uint8_t prefix = system_.HeardRadioPrefix(i);
        return hex(prefix, 2) + ":" + hex(system_.HeardRadioIdent(i), 4) + " " + system_.GroupAlias(prefix) + " - " +
               system_.HeardRadioAlias(i);
    }
    return {};
}

std::string TMPT1327Decoder::HintAt(int x, int y, int columnWidth, int rowHeight, int topRow) const
{
    if (calls_.empty() || x < 0 || y < 0 || columnWidth < 0 || rowHeight < 0)
        return {};
    const int column = x / (columnWidth + 1);
    const int line = y / (rowHeight + 1);  // 0 is the fixed caption row
    if (line == 0)
        return {};
    return HintFor(column, std::max(topRow, 1) + line - 1);
}

void TMPT1327Decoder::DoubleClick(int row)
{
    if (controlChannel_ == -1 || calls_.empty() || row < 1 || static_cast<size_t>(row) > calls_.size())
        return;
    SetRetToCtrl(true);
    buffersSinceTune_ = 0;
    const int32_t f = FrequencyOfChannel(calls_[static_cast<size_t>(row - 1)].Channel);
    if (client_.SecondaryInUse()) {
        client_.SecondarySetFrequency(f);
        client_.SecondarySetMute(false);
    } else {
        TuneHost(f);
    }
    client_.RepaintGrid();
}
