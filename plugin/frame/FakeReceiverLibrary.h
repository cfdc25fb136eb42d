#pragma once
// An in-process receiver pool for tests: receivers 1..N, each open or not, with every call
// recorded and every call on a receiver that is not open counted.
#include "ReceiverLibrary.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class TFakeReceiverLibrary : public TReceiverLibrary {
public:
    explicit TFakeReceiverLibrary(int32_t receivers = 2) : receivers_(receivers) {}

    struct TReceiverState {
        int32_t Power = 0, Mute = 0, Mode = 0, ScanMode = 0, Volume = 0, Atten = 0;
        uint32_t Frequency = 0;
    };

    // Each call as "Name receiver arg..." with "=result" for OpenRadioDevice, in call order.
    std::vector<std::string> Calls;
    // Calls other than OpenRadioDevice that named a receiver not open at the time.
    int CallsOnClosed = 0;

    // Marks a receiver as opened by another program (the host, say).
    void Take(int32_t receiver) { open_.insert(receiver); }
    bool IsOpen(int32_t receiver) const { return open_.count(receiver) != 0; }
    size_t OpenCount() const { return open_.size(); }
    const TReceiverState& State(int32_t receiver) { return state_[receiver]; }
    // What GetSignalStrength reads on a receiver at a frequency (0 = any other): successive reads
    // take the values in turn and the last one stays; unlisted reads give 0.
    void SetStrength(int32_t receiver, uint32_t hz, std::vector<int32_t> values);
    // Forgets the recorded calls (the pool keeps its state).
    void ClearCalls() { Calls.clear(); CallsOnClosed = 0; }

    int32_t OpenRadioDevice(int32_t receiver) override;
    int32_t CloseRadioDevice(int32_t receiver) override;
    int32_t SetPower(int32_t receiver, int32_t on) override;
    int32_t SetMute(int32_t receiver, int32_t on) override;
    int32_t SetMode(int32_t receiver, int32_t mode) override;
    int32_t SetScanMode(int32_t receiver, int32_t mode) override;
    int32_t SetFrequency(int32_t receiver, uint32_t hz) override;
    uint32_t GetFrequency(int32_t receiver) override;
    int32_t SetVolume(int32_t receiver, int32_t volume) override;
    int32_t SetAtten(int32_t receiver, int32_t on) override;
    int32_t GetSignalStrength(int32_t receiver) override;

private:
    // Records a call on a receiver; false when it is not open (the call then does nothing).
    bool Record(const std::string& name, int32_t receiver, std::initializer_list<int64_t> args);

    int32_t receivers_;
    std::set<int32_t> open_;
    std::map<int32_t, TReceiverState> state_;
    struct TStrengthScript {
        std::vector<int32_t> Values;
        size_t Next = 0;
    };
    std::map<std::pair<int32_t, uint32_t>, TStrengthScript> strengths_;
};
