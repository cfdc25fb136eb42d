#include "SystemBrowse.h"

#include <cstdio>
#include <stdexcept>

std::string BrowseMHz(int64_t hz)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.4f", double(hz) / 1e6);
    return buf;
}

std::string BrowseKHz(int64_t hz)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.4f kHz ", double(hz) / 1e3);
    return buf;
}

std::vector<int32_t> BrowseSetBits(const uint8_t* map, size_t bytes)
{
    std::vector<int32_t> out;
    for (size_t n = 0; n < bytes * 8; ++n)
        if ((map[n / 8] >> (n % 8)) & 1)
            out.push_back(int32_t(n));
    return out;
}

int32_t BrowseNthSetBit(const uint8_t* map, size_t bytes, size_t k)
{
    for (size_t n = 0; n < bytes * 8; ++n)
        if ((map[n / 8] >> (n % 8)) & 1) {
            if (k == 0)
                return int32_t(n);
            --k;
        }
    return -1;
}

int64_t BrowseChannelFrequency(int32_t channel, int32_t base, uint32_t step)
{
    if (base == -1 || step == 0 || channel < 0)
        return -1;
    const int64_t f = int64_t(channel) * step + base;
    return f < 0 || f > INT32_MAX ? -1 : f;
}

std::string BrowseChannelItem(int32_t channel, int32_t base, uint32_t step)
{
    std::string item = std::to_string(channel);
    if (const int64_t f = BrowseChannelFrequency(channel, base, step); f >= 0)
        item += " - " + BrowseMHz(f);
    return item;
}

void BrowseFrequencyTexts(TOrvBrowseView& v, int32_t base, int32_t control, uint32_t step)
{
    if (base != -1)
        v.BaseFreq = BrowseMHz(base) + " MHz";
    if (control > 0) {
        v.CtrlChanFreq = BrowseMHz(control) + " MHz";
        if (base != -1 && step != 0)
            v.CtrlChanIdx = std::to_string((int64_t(control) - base) / int64_t(step));
    }
    v.ChanSize = BrowseKHz(step);
}

std::vector<std::string> BrowseSystemIDs(const TSystemDatabase& storage)
{
    std::vector<uint16_t> ids;
    std::vector<std::string> out;
    if (storage.ReadIdentities(ids) != TDatabaseStatus::dsOk)
        return out;
    char buf[8];
    for (uint16_t id : ids) {
        std::snprintf(buf, sizeof buf, "%04X", unsigned(id));
        out.push_back(buf);
    }
    return out;
}

bool BrowseReadEntry(const TSystemDatabase& storage, const std::string& id, TStoredEntry& entry)
{
    unsigned long identity = 0;
    try {
        identity = std::stoul(id, nullptr, 16);
    } catch (const std::exception&) {
        return false;
    }
    bool found = false;
    return identity <= 0xFFFF && storage.ReadEntry(uint16_t(identity), entry, found) == TDatabaseStatus::dsOk &&
           found;
}
