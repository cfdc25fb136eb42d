#pragma once
// What a database browser shows of one stored system: five texts and four lists.
#include <string>
#include <vector>

struct TOrvBrowseView {
    std::string Description, BaseFreq, ChanSize, CtrlChanIdx, CtrlChanFreq;
    std::vector<std::string> CtrlChans, TrafficChans, HeardGroups, HeardRadios;
};
