#include "OrvFrameLogic.h"

bool TOrvInputChannelTest::Step(int32_t& buffersSinceTune, int32_t& validCount, TOrvHostLink& link)
{
    switch (State) {
    case 0:
        if (buffersSinceTune >= 5) {
            buffersSinceTune = 0;
            if (validCount > Threshold) {
                State = 1;
                TestFrequency = link.Get(ORV_FREQUENCY);
                link.CallHost(ORV_CODE_0801, 500000);
            } else {
                DataChannel = 1 - DataChannel;
            }
            validCount = 0;
        }
        return true;
    case 1:
        if (buffersSinceTune >= 13) {
            buffersSinceTune = 0;
            if (validCount > Threshold)
                State = 2;
            else
                DataChannel = 1 - DataChannel;
            link.CallHost(ORV_CODE_0801, TestFrequency);
        }
        return true;
    case 2:
        return true;
    default:
        --State;
        return false;
    }
}

void TOrvInputChannelTest::Restart(int32_t& validCount)
{
    State = 0;
    DataChannel = 0;
    validCount = 0;
}

void TOrvInputChannelTest::SkipBuffers(int n)
{
    if (State == 2 && n > 0)
        State = 2 + n;
}

TOrvOutputChoice ChooseOutput(bool mixerLinked, bool secondaryInUse, bool followingTraffic, bool muteData,
                              bool dataOut, int32_t dataChannel)
{
    if (!mixerLinked && secondaryInUse) {
        // The data is read from sample 1 - DataChannel, so that is the speaker channel to silence.
        const int32_t data = DataSampleIndex(dataChannel);
        return {TOrvOutputChoice::PerChannel, dataOut ? 1 : 0, data, muteData ? -1 : 1 - data};
    }
    if (followingTraffic || !muteData)
        return {TOrvOutputChoice::Unmuted, 0};
    return {TOrvOutputChoice::Muted, dataOut ? 1 : 0};
}

int32_t AutoVolumeStep(int32_t valueMax, int32_t max, int32_t position)
{
    const int64_t v = int64_t(valueMax) * 10;
    if (v < int64_t(max) * 6)
        return position + 1;
    if (v > int64_t(max) * 7)
        return position - 1;
    return position;
}

int32_t ScaledSoundVolume(int32_t rxPosition, int32_t rxMax, int32_t soundMax)
{
    if (rxMax <= 0)
        return 0;
    return int32_t(int64_t(rxPosition) * soundMax / rxMax);
}

uint16_t ValidChannelSize(int32_t value) { return value == 12500 ? 12500 : 25000; }
