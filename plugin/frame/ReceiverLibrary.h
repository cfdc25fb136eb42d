#pragma once
// The receiver-library operations the decoder windows use, behind one interface so that the
// secondary receiver's logic can be driven by the real library or by an in-process fake.
#include <cstdint>

// Every receiver argument is a receiver number as OpenRadioDevice returns it.
class TReceiverLibrary {
public:
    virtual ~TReceiverLibrary() = default;
    // With 0: opens the lowest-numbered receiver not yet open and returns its number; 0 when none is left.
    virtual int32_t OpenRadioDevice(int32_t receiver) = 0;
    virtual int32_t CloseRadioDevice(int32_t receiver) = 0;
    virtual int32_t SetPower(int32_t receiver, int32_t on) = 0;
    virtual int32_t SetMute(int32_t receiver, int32_t on) = 0;
    virtual int32_t SetMode(int32_t receiver, int32_t mode) = 0;
    virtual int32_t SetScanMode(int32_t receiver, int32_t mode) = 0;
    virtual int32_t SetFrequency(int32_t receiver, uint32_t hz) = 0;
    virtual uint32_t GetFrequency(int32_t receiver) = 0;
    virtual int32_t SetVolume(int32_t receiver, int32_t volume) = 0;
    virtual int32_t SetAtten(int32_t receiver, int32_t on) = 0;
    virtual int32_t GetSignalStrength(int32_t receiver) = 0;
};

// The shared receiver library libkvapi32.so.
class TKvapi32Library : public TReceiverLibrary {
public:
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
};

// The one real library of the process.
TReceiverLibrary& Kvapi32Library();
