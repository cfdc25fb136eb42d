#include "SmartNetDatabase.h"

#include <cstdio>

TSmartNetDatabase::TSmartNetDatabase(std::filesystem::path file, TSmartNetSystemRecord& record)
    : storage_(SmartNetLayout(), std::move(file)), record_(record), utcNow_(UtcSystemTime)
{
}

void TSmartNetDatabase::SetTimeSource(std::function<TSystemTime()> localNow, std::function<TSystemTime()> utcNow)
{
    storage_.SetTimeSource(std::move(localNow));
    utcNow_ = std::move(utcNow);
}

TDatabaseStatus TSmartNetDatabase::SaveSystem(int16_t controlChannel, uint16_t channelSize)
{
    if (record_.SystemIdentity == kSmartNetNoSystem)
        return TDatabaseStatus::dsOk;
    if (controlChannel != -1 && record_.BaseFrequency != -1)
        record_.ControlChannelFrequency =
            int32_t(uint32_t(int64_t(controlChannel) * channelSize + record_.BaseFrequency));
    record_.ChannelSize = channelSize;
    TSmartNetSystemRecord stored = record_;
    if (stored.BaseFrequency == -1)
        stored.BaseFrequency = storedBase_;
    if (stored.ControlChannelFrequency == -1)
        stored.ControlChannelFrequency = storedControl_;
    return storage_.Save(EncodeSmartNetSystem(stored));
}

TSmartNetSelection TSmartNetDatabase::SelectSystem(uint16_t identity, int32_t tunedFrequency, uint16_t channelSize,
                                                   int16_t controlChannel)
{
    TSmartNetSelection s;
    SaveSystem(controlChannel, channelSize);
    storedBase_ = storedControl_ = -1;
    if (identity == kSmartNetNoSystem) {
        record_ = TSmartNetSystemRecord{};
        return s;
    }
    TStoredEntry entry;
    bool found = false;
    if (storage_.InUse())
        storage_.Load(identity, entry, found);
    if (found) {
        record_ = DecodeSmartNetSystem(entry);
        storedBase_ = record_.BaseFrequency;
        storedControl_ = record_.ControlChannelFrequency;
        // A step the channel arithmetic cannot use is not taken; the window's stays.
        if (record_.ChannelSize == 12500 || record_.ChannelSize == 25000)
            s.ChannelSize = record_.ChannelSize;
        else
            record_.ChannelSize = channelSize;
    } else {
        record_ = TSmartNetSystemRecord{};
        record_.Created = utcNow_();
        record_.SystemIdentity = identity;
        record_.ChannelSize = channelSize;
        record_.BaseFrequency = -1;
    }
    s.Found = found;
    char text[64];
    std::snprintf(text, sizeof text, "%04X", unsigned(identity));
    s.SysIDText = text;
    s.Description = record_.Description;
    record_.ControlChannelFrequency = tunedFrequency;
    std::snprintf(text, sizeof text, "%.4f MHz", tunedFrequency * 1e-6);
    s.CtrlChanFreqText = text;
    const uint16_t step = s.ChannelSize ? s.ChannelSize : channelSize;
    if (record_.BaseFrequency != -1)
        s.ControlChannel = int32_t((int64_t(tunedFrequency) - record_.BaseFrequency) / step);
    return s;
}
