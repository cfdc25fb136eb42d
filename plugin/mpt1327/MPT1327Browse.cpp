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


}  // namespace

std::string MPT1327GroupItem(int prefix, const std::string& alias) { return hex(unsigned(prefix), 2) + " - " + alias; }

std::string MPT1327RadioItem(const TMPT1327HeardRadio& radio)
{
    return hex(radio.Prefix, 2) + ":" + hex(radio.Ident, 4) + " - " + radio.Alias;
}

TOrvBrowseView MPT1327BrowseView(const TMPT1327SystemRecord& r)
{
    TOrvBrowseView v = BrowseSystemView(r);
    for (int32_t p : BrowseSetBits(r.PrefixMap.data(), r.PrefixMap.size()))
        if (p < 128)
            v.HeardGroups.push_back(MPT1327GroupItem(p, r.GroupAliases[size_t(p)]));
    for (const TMPT1327HeardRadio& radio : r.HeardRadios)
        v.HeardRadios.push_back(MPT1327RadioItem(radio));
    TOrvAliasEditor::Sort(v.HeardGroups);
    TOrvAliasEditor::Sort(v.HeardRadios);
    return v;
}

int64_t MPT1327ControlChannelFrequency(const TMPT1327SystemRecord& r, size_t k)
{
    return BrowseControlChannelFrequency(r, k);
}

TMPT1327Editor::TMPT1327Editor(const TMPT1327SystemRecord& r)
    : TOrvAliasEditor(kGroupAliasAt, kGroupAliasMax, kRadioAliasAt, kRadioAliasMax)
{
    Description = r.Description;
    for (int p = 0; p < 128; ++p)
        GroupItems.push_back(MPT1327GroupItem(p, r.GroupAliases[size_t(p)]));
    for (const TMPT1327HeardRadio& radio : r.HeardRadios)
        RadioItems.push_back(MPT1327RadioItem(radio));
    Sort(RadioItems);
}

void TMPT1327Editor::Apply(TMPT1327SystemRecord& r) const
{
    r.Description = Description.substr(0, 255);
    for (size_t p = 0; p < 128 && p < GroupItems.size(); ++p)
        r.GroupAliases[p] = GroupAlias(p);
    for (const std::string& item : RadioItems) {
        // The item's own prefix and ident, as its first seven characters: an alias that happens to
        // contain another station's "PP:IIII" does not go to that station.
        for (TMPT1327HeardRadio& radio : r.HeardRadios)
            if (item.compare(0, 7, hex(radio.Prefix, 2) + ":" + hex(radio.Ident, 4)) == 0) {
                radio.Alias = item.size() > kRadioAliasAt ? item.substr(kRadioAliasAt, kRadioAliasMax) : std::string();
                break;
            }
    }
}
