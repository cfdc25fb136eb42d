#include "ReceiverState.h"

bool ReceiverState::isItem(const std::string& item)
{
    return item == "ScanState" || item == "SignalStrength" || item == "Squelch" || item == "Mute";
}

std::optional<int32_t> ReceiverState::value(const std::string& item) const
{
    if (item == "ScanState")
        return scanState_;
    if (item == "SignalStrength")
        return signalStrength_;
    if (item == "Squelch")
        return squelch_;
    if (item == "Mute")
        return mute_;
    return std::nullopt;
}

bool ReceiverState::setValue(const std::string& item, int32_t v)
{
    int32_t* field = item == "ScanState"        ? &scanState_
                     : item == "SignalStrength" ? &signalStrength_
                     : item == "Squelch"        ? &squelch_
                     : item == "Mute"           ? &mute_
                                                : nullptr;
    if (!field)
        return false;
    if (*field != v) {
        *field = v;
        emit changed(QString::fromStdString(item), v);
    }
    return true;
}
