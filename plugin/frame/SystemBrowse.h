#pragma once
// Texts and channel arithmetic the plug-ins' database browsers share: frequencies in MHz, channel
// items, and the channel numbers a bit map holds.
#include "BrowseView.h"
#include "SystemDatabase.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Hz as MHz with four decimals ("450.0125").
std::string BrowseMHz(int64_t hz);
// Hz as kHz with four decimals and " kHz " ("12.5000 kHz ").
std::string BrowseKHz(int64_t hz);

// The channel numbers whose bits are set in a map (bit n: bit n mod 8 of byte n / 8), lowest first.
std::vector<int32_t> BrowseSetBits(const uint8_t* map, size_t bytes);
// The (k+1)-th of them, or -1 when the map has fewer.
int32_t BrowseNthSetBit(const uint8_t* map, size_t bytes, size_t k);

// A channel's frequency from the base frequency and the channel step, or -1 when either is not
// known (base -1, step 0) or the result leaves the 32-bit range.
int64_t BrowseChannelFrequency(int32_t channel, int32_t base, uint32_t step);
// A channel list item: the number, and " - " with its frequency in MHz when that is known.
std::string BrowseChannelItem(int32_t channel, int32_t base, uint32_t step);

// The frequency texts of a stored system: the base frequency unless it is -1; the control-channel
// frequency when it is known (above 0), with its channel index when the base and the step are known
// too; and the channel step.
void BrowseFrequencyTexts(TOrvBrowseView& view, int32_t base, int32_t control, uint32_t step);

// The stored systems' identities as the browser lists them, four hex digits each; none when the
// file is missing, locked or damaged.
std::vector<std::string> BrowseSystemIDs(const TSystemDatabase& storage);
// The stored entry of a listed identity; false when the text is no identity, the system is not
// stored or the file cannot be read.
bool BrowseReadEntry(const TSystemDatabase& storage, const std::string& id, TStoredEntry& entry);

// What every stored system shows whatever its plug-in: the description, the frequency texts and the
// control and traffic channels in channel order.
template <class Record> TOrvBrowseView BrowseSystemView(const Record& r)
{
    TOrvBrowseView v;
    v.Description = r.Description;
    BrowseFrequencyTexts(v, r.BaseFrequency, r.ControlChannelFrequency, r.ChannelSize);
    for (int32_t c : BrowseSetBits(r.ControlChannelMap.data(), r.ControlChannelMap.size()))
        v.CtrlChans.push_back(BrowseChannelItem(c, r.BaseFrequency, r.ChannelSize));
    for (int32_t c : BrowseSetBits(r.TrafficChannelMap.data(), r.TrafficChannelMap.size()))
        v.TrafficChans.push_back(BrowseChannelItem(c, r.BaseFrequency, r.ChannelSize));
    return v;
}

// Frequency of the (k+1)-th channel of a stored system's control-channel map, or -1 when there is
// none or the base frequency or channel step is not known.
template <class Record> int64_t BrowseControlChannelFrequency(const Record& r, size_t k)
{
    const int32_t c = BrowseNthSetBit(r.ControlChannelMap.data(), r.ControlChannelMap.size(), k);
    return c < 0 ? -1 : BrowseChannelFrequency(c, r.BaseFrequency, r.ChannelSize);
}
