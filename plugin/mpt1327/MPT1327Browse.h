#pragma once
// What the MPT1327 database browser shows of a stored system, and the system editor's lists of
// group and station aliases with their edits, as plain state the windows display.
#include <cstdint>
#include <string>
#include <vector>

#include "AliasEditor.h"
#include "BrowseView.h"
#include "MPT1327SystemRecord.h"

// "PP - alias": a group by its prefix (2 hex digits); the alias starts at character 6.
std::string MPT1327GroupItem(int prefix, const std::string& alias);
// "PP:IIII - alias": a station by prefix and ident; the alias starts at character 11.
std::string MPT1327RadioItem(const TMPT1327HeardRadio& radio);

// The browser's texts and lists for one stored system (groups and stations sorted).
TOrvBrowseView MPT1327BrowseView(const TMPT1327SystemRecord& record);

// Frequency of the (k+1)-th control channel of the record, or -1 when there is none or the record's
// base frequency or channel step is not known.
int64_t MPT1327ControlChannelFrequency(const TMPT1327SystemRecord& record, size_t k);

// The editor's lists, filled from the current record; nothing reaches the record before Apply.
class TMPT1327Editor : public TOrvAliasEditor {
public:
    explicit TMPT1327Editor(const TMPT1327SystemRecord& record);
    // OK: description, the 128 group aliases and the station aliases into the record. A station item
    // belongs to the radio whose prefix and ident it starts with.
    void Apply(TMPT1327SystemRecord& record) const;
};
