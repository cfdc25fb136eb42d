#include "MPT1327Browse.h"

#include "SystemBrowse.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

constexpr size_t kGroupAliasAt = 5;   // character 6, counted from 0
constexpr size_t kRadioAliasAt = 10;  // character 11
constexpr size_t kGroupAliasMax = 255;
constexpr size_t kRadioAliasMax = 252;

std::string hex(unsigned value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

std::string from(const std::string& item, size_t at, size_t most)
{
    return item.size() > at ? item.substr(at, most) : std::string();
}

// Sorted as the list boxes sort: without regard to case.
void sortItems(std::vector<std::string>& items)
{
    std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    });
}

}  // namespace

std::string MPT1327GroupItem(int prefix, const std::string& alias) { return hex(unsigned(prefix), 2) + " - " + alias; }

std::string MPT1327RadioItem(const TMPT1327HeardRadio& radio)
{
    return hex(radio.Prefix, 2) + ":" + hex(radio.Ident, 4) + " - " + radio.Alias;
}

TMPT1327BrowseView MPT1327BrowseView(const TMPT1327SystemRecord& r)
{
    TMPT1327BrowseView v;
    v.Description = r.Description;
    if (r.BaseFrequency != -1)
        v.BaseFreq = BrowseMHz(r.BaseFrequency) + " MHz";
    if (r.ControlChannelFrequency != 0) {
        v.CtrlChanFreq = BrowseMHz(r.ControlChannelFrequency) + " MHz";
        // A channel step of 0 (a damaged record) gives no index.
        if (r.BaseFrequency != -1 && r.ChannelSize != 0)
            v.CtrlChanIdx = std::to_string((int64_t(r.ControlChannelFrequency) - r.BaseFrequency) / r.ChannelSize);
    }
    v.ChanSize = BrowseKHz(r.ChannelSize);
    for (int32_t c : BrowseSetBits(r.ControlChannelMap.data(), r.ControlChannelMap.size()))
        v.CtrlChans.push_back(BrowseChannelItem(c, r.BaseFrequency, r.ChannelSize));
    for (int32_t c : BrowseSetBits(r.TrafficChannelMap.data(), r.TrafficChannelMap.size()))
        v.TrafficChans.push_back(BrowseChannelItem(c, r.BaseFrequency, r.ChannelSize));
    for (int32_t p : BrowseSetBits(r.PrefixMap.data(), r.PrefixMap.size()))
        if (p < 128)
            v.HeardGroups.push_back(MPT1327GroupItem(p, r.GroupAliases[size_t(p)]));
    for (const TMPT1327HeardRadio& radio : r.HeardRadios)
        v.HeardRadios.push_back(MPT1327RadioItem(radio));
    sortItems(v.HeardGroups);
    sortItems(v.HeardRadios);
    return v;
}

int64_t MPT1327ControlChannelFrequency(const TMPT1327SystemRecord& r, size_t k)
{
    const int32_t c = BrowseNthSetBit(r.ControlChannelMap.data(), r.ControlChannelMap.size(), k);
    return c < 0 ? -1 : BrowseChannelFrequency(c, r.BaseFrequency, r.ChannelSize);
}

TMPT1327Editor::TMPT1327Editor(const TMPT1327SystemRecord& r) : Description(r.Description)
{
    for (int p = 0; p < 128; ++p)
        GroupItems.push_back(MPT1327GroupItem(p, r.GroupAliases[size_t(p)]));
    for (const TMPT1327HeardRadio& radio : r.HeardRadios)
        RadioItems.push_back(MPT1327RadioItem(radio));
    sortItems(RadioItems);
}

void TMPT1327Editor::GroupListClick(int row)
{
    if (row < 0 || row >= int(GroupItems.size()))
        return;
    GroupSelected = row;
    GroupEdit = from(GroupItems[size_t(row)], kGroupAliasAt, kGroupAliasMax);
}

void TMPT1327Editor::GroupUpdate()
{
    if (GroupSelected < 0 || GroupSelected >= int(GroupItems.size()))
        return;
    GroupItems[size_t(GroupSelected)] = MPT1327GroupItem(GroupSelected, GroupEdit.substr(0, kGroupAliasMax));
    GroupEdit.clear();
    GroupListClick(GroupSelected + 1 < int(GroupItems.size()) ? GroupSelected + 1 : 0);
}

void TMPT1327Editor::RadioListClick(int row)
{
    if (row < 0 || row >= int(RadioItems.size()))
        return;
    RadioSelected = row;
    RadioEdit = from(RadioItems[size_t(row)], kRadioAliasAt, kRadioAliasMax);
}

void TMPT1327Editor::RadioUpdate()
{
    if (RadioSelected < 0 || RadioSelected >= int(RadioItems.size()))
        return;
    std::string& item = RadioItems[size_t(RadioSelected)];
    item = item.substr(0, kRadioAliasAt) + RadioEdit.substr(0, kRadioAliasMax);
    RadioEdit.clear();
    RadioListClick(RadioSelected + 1 < int(RadioItems.size()) ? RadioSelected + 1 : 0);
}

void TMPT1327Editor::Apply(TMPT1327SystemRecord& r) const
{
    r.Description = Description.substr(0, 255);
    for (size_t p = 0; p < 128 && p < GroupItems.size(); ++p)
        r.GroupAliases[p] = from(GroupItems[p], kGroupAliasAt, kGroupAliasMax);
    for (const std::string& item : RadioItems) {
        // The item's own prefix and ident, as its first seven characters: an alias that happens to
        // contain another station's "PP:IIII" does not go to that station.
        for (TMPT1327HeardRadio& radio : r.HeardRadios)
            if (item.compare(0, 7, hex(radio.Prefix, 2) + ":" + hex(radio.Ident, 4)) == 0) {
                radio.Alias = from(item, kRadioAliasAt, kRadioAliasMax);
                break;
            }
    }
}
