#include "MPT1327Database.h"

#include <cstdio>

TMPT1327Database::TMPT1327Database(std::filesystem::path file)
    : storage_(MPT1327Layout(), std::move(file)), utcNow_(UtcSystemTime)
{
    record_.SystemIdentity = MPT1327NoSystem;
}

void TMPT1327Database::SetTimeSource(std::function<TSystemTime()> localNow, std::function<TSystemTime()> utcNow)
{
    storage_.SetTimeSource(std::move(localNow));
    utcNow_ = std::move(utcNow);
}

TDatabaseStatus TMPT1327Database::OpenDatabase() { return storage_.Open(); }

TDatabaseStatus TMPT1327Database::SaveSystem(const TMPT1327Channels& channels)
{
    if (!HasSystem())
        return TDatabaseStatus::dsOk;
    // The stored copy of this system could not be read: an empty record is not saved over it.
    if (unread_)
        return TDatabaseStatus::dsCantAccess;
    if (channels.ControlChannel != -1) {
        int64_t f = int64_t{channels.ControlChannel} * channels.ChannelSize + record_.BaseFrequency;
        record_.ControlChannelFrequency = static_cast<int32_t>(static_cast<uint32_t>(f));
    }
    record_.ChannelSize = channels.ChannelSize;
    return storage_.Save(EncodeMPT1327System(record_));
}

TMPT1327Selection TMPT1327Database::SelectSystem(uint16_t identity, TMPT1327Channels& channels)
{
    TMPT1327Selection s;
    if (identity == record_.SystemIdentity)
        return s;
    s.Changed = true;
    if (HasSystem())
        SaveSystem(channels);

    TStoredEntry entry;
    bool found = false;
    unread_ = storage_.Load(identity, entry, found) == TDatabaseStatus::dsCantOpen;
    if (found) {
        record_ = DecodeMPT1327System(entry);
        // A size the decoder cannot work with is not taken; the window's size stays.
        if (record_.ChannelSize == 12500 || record_.ChannelSize == 25000)
            channels.ChannelSize = record_.ChannelSize;
        else
            record_.ChannelSize = channels.ChannelSize;
    } else {
        record_ = TMPT1327SystemRecord{};
        record_.FirstSeen = utcNow_();
        record_.SystemIdentity = identity;
        record_.ChannelSize = channels.ChannelSize;
        record_.BaseFrequency = -1;
        channels.CurrentChannel = -1;
        channels.ControlChannel = -1;
    }
    s.Found = found;

    char buf[64];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(identity));
    s.SysIDText = buf;
    s.Description = record_.Description;

    record_.ControlChannelFrequency = static_cast<int32_t>(channels.TunedFrequency);
    std::snprintf(buf, sizeof buf, "%.4f MHz", channels.TunedFrequency / 1e6);
    s.CtrlChanFreqText = buf;

    if (record_.BaseFrequency == -1 || channels.ChannelSize == 0) {
        channels.ControlChannel = channels.CurrentChannel = -1;
    } else {
        int64_t n = (int64_t{channels.TunedFrequency} - record_.BaseFrequency) / channels.ChannelSize;
        channels.ControlChannel = channels.CurrentChannel = static_cast<int16_t>(static_cast<uint16_t>(n));
        s.CtrlChanText = std::to_string(channels.ControlChannel);
    }
    return s;
}
