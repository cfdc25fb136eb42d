#pragma once
// The traffic scan of the 50 ms timer: while no call is followed, the secondary receiver sits on
// the channel of a listed call, removes the call once its channel has been quiet for six ticks in
// a row and moves on to the next channel, in ascending order with wrap-around, that carries one.
#include "SecondaryReceiver.h"

#include <cstddef>
#include <cstdint>

constexpr int kScanChannels = 1024;
constexpr int kScanLowTicksToRemove = 6;  // about 300 ms

// What the scan reads and changes in the window, its current system record and its call list.
class TTrafficScanContext {
public:
    virtual ~TTrafficScanContext() = default;
    virtual bool RetToCtrlEnabled() = 0;       // a call is being followed
    virtual bool SystemCurrent() = 0;
    virtual int32_t ControlChannel() = 0;      // -1 = not known
    virtual int32_t HostSignalLevel() = 0;     // the host's last signal-level notification
    virtual int32_t ChannelSize() = 0;         // Hz
    virtual int32_t BaseFrequency() = 0;       // Hz of channel 0 in the current record, -1 = not known
    virtual bool IsTrafficChannel(int32_t channel) = 0;  // its bit in the record's traffic-channel map
    virtual void CountScanTick() = 0;          // the record's traffic-scan tick count += 1
    virtual void CountOccupancy(int32_t channel) = 0;   // the record's occupancy count of a channel += 1
    virtual size_t CallCount() = 0;
    virtual int32_t CallChannel(size_t index) = 0;
    virtual void RemoveCall(size_t index) = 0; // through the call list's own removal
};

class TTrafficScan {
public:
    int16_t ScanChannel = -1;  // the channel the secondary receiver checks, -1 = none
    int32_t LowSignalTicks = 0;  // consecutive quiet ticks on it, 0 to 5

    // One timer tick.
    void Tick(TSecondaryReceiver& secondary, TTrafficScanContext& context);

private:
    static bool CallOn(TTrafficScanContext& context, int32_t channel);
};
