#include "TrafficScan.h"

bool TTrafficScan::CallOn(TTrafficScanContext& context, int32_t channel)
{
    for (size_t i = 0, n = context.CallCount(); i < n; ++i)
        if (context.CallChannel(i) == channel)
            return true;
    return false;
}

void TTrafficScan::Tick(TSecondaryReceiver& secondary, TTrafficScanContext& context)
{
    // Without a known base frequency the channel's frequency would be made up.
    if (!secondary.InUse() || context.RetToCtrlEnabled() || !context.SystemCurrent() ||
        context.ControlChannel() < 0 || context.BaseFrequency() < 0) {
        LowSignalTicks = 0;
        ScanChannel = -1;
        return;
    }
    context.CountScanTick();

    // A level of 0 or less from the host makes nothing quiet.
    if (ScanChannel >= 0 && int32_t(secondary.SignalStrength()) < context.HostSignalLevel() / 2) {
        if (LowSignalTicks == kScanLowTicksToRemove - 1) {
            for (size_t i = 0, n = context.CallCount(); i < n; ++i) {
                if (context.CallChannel(i) == ScanChannel) {
                    context.RemoveCall(i);
                    break;
                }
            }
            LowSignalTicks = 0;
        } else {
            ++LowSignalTicks;
        }
    } else {
        LowSignalTicks = 0;
    }

    for (size_t i = 0, n = context.CallCount(); i < n; ++i) {
        const int32_t channel = context.CallChannel(i);
        if (channel >= 0 && channel < kScanChannels)
            context.CountOccupancy(channel);
    }

    if (LowSignalTicks != 0 || context.CallCount() == 0)
        return;

    // From the channel itself, at most once round: the first traffic channel with a listed call.
    for (int step = 0; step < kScanChannels; ++step) {
        if (ScanChannel >= 0 && context.IsTrafficChannel(ScanChannel) && CallOn(context, ScanChannel))
            break;
        ScanChannel = static_cast<int16_t>((ScanChannel + 1) % kScanChannels);
    }
    const int64_t hz = int64_t(ScanChannel) * context.ChannelSize() + context.BaseFrequency();
    secondary.SetFrequency(static_cast<uint32_t>(hz));
}
