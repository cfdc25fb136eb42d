#include "SmartNetDecoder.h"

#include "platform/text/NumberText.h"

#include <cstdio>

namespace {

std::string Hex4(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

std::string Two(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    return text;
}

bool IsGrant(uint16_t command) { return command < 0x2F8; }

// 0 = Sunday.
int DayOfWeek(int year, int month, int day)
{
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3)
        --year;
    return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::optional<std::string> SmartNetSystemTimeText(int year, int month, int day, int hour, int minute,
                                                  const TSmartNetDateNames& names)
{
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59)
        return std::nullopt;
    return Two(year % 100) + " " + names.Months[size_t(month - 1)] + " " + Two(day) + " " +
           names.Days[size_t(DayOfWeek(year, month, day))] + "  " + Two(hour) + ":" + Two(minute);
}

TSmartNetDecoder::TSmartNetDecoder(TSmartNetDecoderClient& client, TSmartNetSystemRecord& record,
                                   int32_t* buffersSinceTune)
    : BuffersSinceTune(buffersSinceTune ? *buffersSinceTune : ownBuffersSinceTune_), client_(client), record_(record)
{
}

void TSmartNetDecoder::GoodWord(const TSmartNetOsw& word)
{
    WordHistory[3] = WordHistory[2];
    WordHistory[2] = WordHistory[1];
    WordHistory[1] = WordHistory[0];
    WordHistory[0] = word;
    if (++WordsInSequence <= 2)
        return;
    decide();
}

void TSmartNetDecoder::decide()
{
    const TSmartNetOsw& w2 = WordHistory[2];
    const TSmartNetOsw& w1 = WordHistory[1];
    const TSmartNetOsw& w0 = WordHistory[0];
    const bool controlWord = (w1.Address & 0xFC00) == 0x2800;

    if (w2.Command == 0x30B) {
        if ((w2.Address & 0xFC00) == 0x2800)
            SetControlChannel(int16_t(w2.Address & 0x3FF));
    } else if (w1.Command == 0x320 && w0.Command == 0x30B && IsGrant(w2.Command)) {
        ReportSystemId(w2.Address);
        SetSystemType(1);
        WordsInSequence = 0;
    } else if (w2.Command == 0x32B) {
        ReportSystemId(w2.Address);
        SetSystemType(2);
    } else if (w2.Command >= 0x360 && w2.Command <= 0x394) {
        if (SystemCurrent())
            client_.SetText(TSmartNetLabel::SysSite, std::to_string(w2.Command - 0x360));
        WordsInSequence = 2;
    } else if (w2.Command == 0x308) {
        if (w1.Command == 0x30B && IsGrant(w0.Command)) {
            if ((w0.Address & 0xFF00) == 0x1F00 && controlWord) {
                ReportSystemId(w2.Address);
                SetControlChannel(int16_t(w0.Command));
            }
            WordsInSequence = 0;
        } else if (w1.Command == 0x30B) {
            if (controlWord) {
                ReportSystemId(w2.Address);
                SetControlChannel(int16_t(w1.Address & 0x3FF));
            } else {
                SetSystemType(1);
            }
            WordsInSequence = 1;
        } else if (w1.Command == 0x320 && w0.Command == 0x30B) {
            SetSystemType(1);
            WordsInSequence = 0;
        } else if (w1.Command == 0x310 || w1.Command == 0x319) {
            WordsInSequence = 1;
        } else if (w1.Command == 0x322) {
            const auto text = SmartNetSystemTimeText((w2.Address >> 9) + 1900, (w2.Address >> 5) & 0xF,
                                                     w2.Address & 0x1F, (w1.Address >> 8) & 0x1F, w1.Address & 0xFF,
                                                     client_.DateNames());
            // A date that does not exist leaves the shown one as it is.
            if (text)
                client_.SetText(TSmartNetLabel::SysTime, *text);
            WordsInSequence = 1;
        } else if (IsGrant(w1.Command)) {
            WordsInSequence = 1;
        } else {
            WordsInSequence = 2;
        }
    } else if (IsGrant(w2.Command) && w2.Address != 0 && w2.Address != record_.SystemIdentity &&
               !IsControlChannelAnnouncement(w2)) {
        AddCall(w2.Address, w2.Command, w2.Group);
    } else {
        WordsInSequence = 2;
    }
}

bool TSmartNetDecoder::IsControlChannelAnnouncement(const TSmartNetOsw& word) const
{
    // The third word of the system triple looks like a grant of the control channel to 0x1Fxx;
    // when the triple's first word was lost it comes here alone. No call is ever granted the
    // control channel itself.
    return (word.Address & 0xFF00) == 0x1F00 || (ControlChannel != -1 && word.Command == uint16_t(ControlChannel));
}

void TSmartNetDecoder::ReportSystemId(uint16_t identity)
{
    if (BuffersSinceTune < 16)
        return;
    ++RepeatCount;
    if (identity != PendingSystemId) {
        PendingSystemId = identity;
        RepeatCount = 0;
        return;
    }
    if (RepeatCount < 2)
        return;
    if (HuntCount != 0) {
        if (identity != record_.SystemIdentity)
            return;
        HuntCount = 0;
    }
    ReferenceLevel = HostSignalLevel;
    if (identity == record_.SystemIdentity)
        return;
    ClearCalls();
    client_.SelectSystem(identity);
    client_.SetText(TSmartNetLabel::SysID, SystemCurrent() ? Hex4(identity) : std::string());
    client_.SetText(TSmartNetLabel::SysDescr, record_.Description);
    SetSystemType(0);
    SetControlChannel(-1);
    client_.SetText(TSmartNetLabel::SysSite, "");
    client_.SetText(TSmartNetLabel::SysTime, "");
    record_.ControlChannelFrequency = -1;
    record_.BaseFrequency = -1;
    client_.EnableSystemControls(SystemCurrent());
}

void TSmartNetDecoder::SetSystemType(uint8_t type)
{
    record_.SystemType = type;
    if (type == 0 || !SystemCurrent())
        client_.SetText(TSmartNetLabel::SysType, "");
    else if (type == 1)
        client_.SetText(TSmartNetLabel::SysType, "Networkable");
    else if (type == 2)
        client_.SetText(TSmartNetLabel::SysType, "Single or Multicast");
}

void TSmartNetDecoder::SetControlChannel(int16_t number)
{
    if (HuntCount != 0 || (BuffersSinceTune >= 16 && !SystemCurrent() && number != -1))
        return;
    ControlChannel = number;
    if (number == -1) {
        client_.SetText(TSmartNetLabel::CtrlChan, "");
        client_.SetText(TSmartNetLabel::CtrlChanFreq, "");
        record_.ControlChannelFrequency = -1;
        return;
    }
    client_.SetText(TSmartNetLabel::CtrlChan, std::to_string(number));
    // Written with a point, then shown with the window's decimal separator.
    std::string shown = platform::FixedText(TunedFrequency * 1e-6, 4) + " MHz";
    for (char& c : shown)
        if (c == '.')
            c = DecimalSeparator;
    client_.SetText(TSmartNetLabel::CtrlChanFreq, shown);
    record_.ControlChannelFrequency = TunedFrequency;
    record_.BaseFrequency = int32_t(int64_t(TunedFrequency) - int64_t(ChannelSize) * number);
    SmartNetSetMapBit(record_.ControlChannelMap, number);
}

void TSmartNetDecoder::AddHeardRadio(uint16_t identity)
{
    for (const TSmartNetHeardRadio& r : record_.HeardRadios)
        if (r.Identity == identity)
            return;
    record_.HeardRadios.push_back({identity, {}});
}

std::string TSmartNetDecoder::AliasOf(int32_t identity) const
{
    for (const TSmartNetHeardRadio& r : record_.HeardRadios)
        if (r.Identity == uint16_t(identity))
            return r.Alias;
    return {};
}

void TSmartNetDecoder::AddCall(int32_t identity, int32_t channel, uint8_t group)
{
    if (!SystemCurrent() || HuntCount != 0)
        return;
    AddHeardRadio(uint16_t(identity));
    SmartNetSetMapBit(record_.TrafficChannelMap, channel);
    const TSmartNetLocalTime now = client_.LocalTime();

    // The same call again, or its other half 380 channels up, only keeps the entry alive; a radio
    // on a new channel, or another call on this channel, replaces the old entry.
    for (size_t i = 0; i < onAir_.size();) {
        TSmartNetOnAirEntry& e = onAir_[i];
        if ((e.Channel == channel && e.Identity == identity) || e.Channel - 380 == channel) {
            e.Age = 0;
            return;
        }
        if (e.Identity == identity || e.Channel + 380 == channel || e.Channel == channel)
            RemoveCall(i);
        else
            ++i;
    }
    const TSmartNetOnAirEntry entry{identity, channel, 0, now.Hour, now.Minute, now.Second, group};
    onAir_.push_back(entry);
    client_.SetGridRows(int(onAir_.size()) + 1);
    client_.WriteLogEntry(now, record_.SystemIdentity, entry);

    if (ControlChannel != -1 && client_.AutoTuneChecked() && !retToCtrl_) {
        const int32_t frequency = FrequencyOfChannel(channel);
        if (client_.SecondaryInUse())
            client_.SecondaryFollow(uint32_t(frequency));
        else
            tuneHost(frequency);
        SetRetToCtrl(true);
    }
    client_.RepaintGrid();
}

uint16_t TSmartNetDecoder::HostChannel() const
{
    return uint16_t((int64_t(TunedFrequency) - record_.BaseFrequency) / int64_t(ChannelSize));
}

int32_t TSmartNetDecoder::FrequencyOfChannel(int32_t channel) const
{
    return int32_t(uint32_t(record_.BaseFrequency) + uint32_t(channel) * uint32_t(ChannelSize));
}

void TSmartNetDecoder::RemoveCall(size_t index)
{
    if (index >= onAir_.size())
        return;
    // With a secondary receiver the call it follows is the one to return from; the host's
    // channel only counts without one.
    const TSmartNetOnAirEntry& e = onAir_[index];
    if (client_.SecondaryInUse() ? IsListenedTo(e) : HostChannel() == e.Channel)
        RetToCtrlClick();
    onAir_.erase(onAir_.begin() + std::ptrdiff_t(index));
    client_.SetGridRows(int(onAir_.size()) + 1);
    client_.RepaintGrid();
}

void TSmartNetDecoder::ClearCalls(bool returnToControl)
{
    if (!returnToControl) {
        onAir_.clear();
        client_.SetGridRows(2);
        client_.RepaintGrid();
        return;
    }
    while (!onAir_.empty())
        RemoveCall(0);
}

void TSmartNetDecoder::SetRetToCtrl(bool enabled)
{
    retToCtrl_ = enabled;
    client_.RetToCtrlChanged(enabled);
}

void TSmartNetDecoder::RetToCtrlClick()
{
    if (client_.SecondaryInUse())
        client_.SecondaryPark();
    else if (ControlChannel != -1)
        tuneHost(FrequencyOfChannel(ControlChannel));
    SetRetToCtrl(false);
    client_.RepaintGrid();
}

void TSmartNetDecoder::tuneHost(int32_t frequency)
{
    // A level the host reports from now on is the new channel's.
    levelSinceTune_ = false;
    client_.TuneHost(frequency, true);
}

bool TSmartNetDecoder::FrequencyNotified(int32_t value)
{
    bool userRetune = false;
    if (!SelfCausedTune && value != TunedFrequency) {
        userRetune = true;
        // The user tuned away from a followed call: it is not followed any more, and the host
        // stays where the user put it.
        if (retToCtrl_) {
            if (client_.SecondaryInUse())
                client_.SecondaryPark();
            SetRetToCtrl(false);
        }
        ClearCalls(false);
        if (SystemCurrent())
            client_.SelectSystem(kSmartNetNoSystem);
        for (TSmartNetLabel l : {TSmartNetLabel::SysID, TSmartNetLabel::SysType, TSmartNetLabel::SysTime,
                                 TSmartNetLabel::SysSite, TSmartNetLabel::CtrlChan, TSmartNetLabel::CtrlChanFreq,
                                 TSmartNetLabel::SysDescr})
            client_.SetText(l, "");
        SetControlChannel(-1);
        WordsInSequence = 0;
        client_.EnableSystemControls(false);
        HuntCount = 0;
    }
    BuffersSinceTune = 0;
    TunedFrequency = value;
    SelfCausedTune = false;
    return userRetune;
}

void TSmartNetDecoder::SetChannelSize(int32_t size)
{
    // Only the two steps there are; anything else (0 from a damaged setting) is refused.
    if ((size != 12500 && size != 25000) || size == ChannelSize)
        return;
    ChannelSize = uint16_t(size);
    if (SystemCurrent() && record_.BaseFrequency != -1)
        record_.BaseFrequency = int32_t(int64_t(record_.ControlChannelFrequency) - int64_t(ControlChannel) * size);
}

bool TSmartNetDecoder::IsListenedTo(const TSmartNetOnAirEntry& entry)
{
    if (!retToCtrl_)
        return false;
    uint16_t inUse;
    if (client_.SecondaryInUse())
        inUse = uint16_t((client_.SecondaryFrequency() - uint32_t(record_.BaseFrequency)) / ChannelSize);
    else
        inUse = HostChannel();
    return inUse == entry.Channel;
}

std::string TSmartNetDecoder::CellText(int column, int row) const
{
    if (row == 0) {
        static const char* const captions[] = {"ID", "Ch.", "Time"};
        return column >= 0 && column < 3 ? captions[column] : "";
    }
    if (row < 1 || size_t(row) > onAir_.size())
        return {};
    const TSmartNetOnAirEntry& e = onAir_[size_t(row - 1)];
    switch (column) {
    case 0:
        return Hex4(uint32_t(e.Identity)) + " " + AliasOf(e.Identity);
    case 1:
        return std::to_string(e.Channel);
    case 2:
        return Two(e.Hour) + ":" + Two(e.Minute) + ":" + Two(e.Second);
    default:
        return {};
    }
}

uint32_t TSmartNetDecoder::CellColour(int row, bool selected)
{
    if (row == 0)
        return 0x000000;
    const bool listened = row >= 1 && size_t(row) <= onAir_.size() && IsListenedTo(onAir_[size_t(row - 1)]);
    if (selected)
        return listened ? 0x00FFFF : 0xFFFFFF;  // yellow, white
    return listened ? 0x00FF00 : 0x008000;
}

std::string TSmartNetDecoder::HintAt(int x, int y, int column0Width, int rowHeight) const
{
    if (onAir_.empty() || x > column0Width + 1 || y < 0)
        return {};
    const int row = y / (rowHeight + 1);
    if (row < 1 || size_t(row) > onAir_.size())
        return {};
    const TSmartNetOnAirEntry& e = onAir_[size_t(row - 1)];
    return Hex4(uint32_t(e.Identity)) + " " + AliasOf(e.Identity);
}

void TSmartNetDecoder::DoubleClick(int row)
{
    if (ControlChannel == -1 || onAir_.empty() || row < 1 || size_t(row) > onAir_.size())
        return;
    SetRetToCtrl(true);
    const int32_t frequency = FrequencyOfChannel(onAir_[size_t(row - 1)].Channel);
    if (client_.SecondaryInUse())
        client_.SecondaryFollow(uint32_t(frequency));
    else
        tuneHost(frequency);
    client_.RepaintGrid();
}

int32_t TSmartNetDecoder::CurrentChannel() const
{
    return int32_t((int64_t(TunedFrequency) - record_.BaseFrequency) / int64_t(ChannelSize));
}

bool TSmartNetDecoder::SignalLevelNotified(int32_t level, bool autoFollow)
{
    const bool fire = autoFollow && (client_.SecondaryInUse() || !retToCtrl_) && SystemCurrent() &&
                      record_.BaseFrequency != -1 && HuntCount == 0 && ReferenceLevel / 2 > level;
    if (fire) {
        if (retToCtrl_)
            RetToCtrlClick();
        ClearCalls();
        HuntCount = 1;
        // The next tick steps at once, and the next frame restarts the frame counts.
        BuffersSinceTune = 10000;
        PendingSystemId = kSmartNetNoSystem;
        if (receiver_) {
            receiver_->FrameCount = 100;
            receiver_->AcceptedFrames = 0;
        }
    }
    HostSignalLevel = level;
    levelSinceTune_ = true;
    return fire;
}

void TSmartNetDecoder::TimerTick()
{
    if (HuntCount != 0)
        huntingStep();
    returnTest();
    age();
}

void TSmartNetDecoder::huntingStep()
{
    const int32_t frames = receiver_ ? receiver_->FrameCount : 0;
    const int32_t accepted = receiver_ ? receiver_->AcceptedFrames : 0;
    const bool quiet = frames < 12 || frames / 3 > accepted ||
                       (PendingSystemId != kSmartNetNoSystem && PendingSystemId != record_.SystemIdentity);
    // A level reported before the last step was measured on the channel left behind: it says
    // nothing of this one, so only a level reported since then may move the hunt on.
    const bool low = levelSinceTune_ && ReferenceLevel / 2 > HostSignalLevel;
    if (!((BuffersSinceTune > 64 && quiet) || low))
        return;
    // The next channel the system has been seen to use; after 19 passes every channel in turn.
    // Channels are taken modulo the map, so a host far outside the system's band still steps.
    int32_t n = ((CurrentChannel() + 1) % kSmartNetChannels + kSmartNetChannels) % kSmartNetChannels;
    if (HuntCount < 20) {
        for (int turn = 0; turn < kSmartNetChannels; ++turn) {
            if (SmartNetMapBit(record_.TrafficChannelMap, n) || SmartNetMapBit(record_.ControlChannelMap, n))
                break;
            n = n == kSmartNetChannels - 1 ? 0 : n + 1;
        }
    }
    const int32_t frequency = FrequencyOfChannel(n);
    tuneHost(frequency);
    if (frequency == record_.ControlChannelFrequency)
        ++HuntCount;
    if (receiver_)
        receiver_->AcceptedFrames = 0;
    BuffersSinceTune = 0;
    PendingSystemId = kSmartNetNoSystem;
}

void TSmartNetDecoder::returnTest()
{
    if (!retToCtrl_) {
        LowSignalTicks = 0;
        return;
    }
    const bool low = client_.SecondaryInUse() ? int32_t(client_.SecondarySignalStrength()) < ReferenceLevel / 2
                                              : HostSignalLevel < ReferenceLevel / 2;
    if (!low) {
        LowSignalTicks = 0;
        return;
    }
    if (++LowSignalTicks > 5)
        RetToCtrlClick();
}

void TSmartNetDecoder::age()
{
    // On the control channel, or while it is not known (else a list begun before the control
    // channel was heard would never age).
    if (ControlChannel != -1 && CurrentChannel() != ControlChannel)
        return;
    for (size_t i = 0; i < onAir_.size();) {
        TSmartNetOnAirEntry& e = onAir_[i];
        const int32_t before = e.Age++;
        const bool onControl = e.Channel == ControlChannel;
        if ((!onControl && before > 40) || (onControl && before > 200))
            RemoveCall(i);
        else
            ++i;
    }
    ++record_.Ticks;
    for (const TSmartNetOnAirEntry& e : onAir_)
        if (e.Channel >= 0 && e.Channel < kSmartNetChannels)
            ++record_.Occupancy[size_t(e.Channel)];
}
