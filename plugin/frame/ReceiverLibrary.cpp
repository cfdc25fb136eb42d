#include "ReceiverLibrary.h"

#include "platform/kvapi32/Kvapi32.h"

int32_t TKvapi32Library::OpenRadioDevice(int32_t receiver) { return ::OpenRadioDevice(receiver); }
int32_t TKvapi32Library::CloseRadioDevice(int32_t receiver) { return ::CloseRadioDevice(receiver); }
int32_t TKvapi32Library::SetPower(int32_t receiver, int32_t on) { return ::SetPower(receiver, on); }
int32_t TKvapi32Library::SetMute(int32_t receiver, int32_t on) { return ::SetMute(receiver, on); }
int32_t TKvapi32Library::SetMode(int32_t receiver, int32_t mode) { return ::SetMode(receiver, mode); }
int32_t TKvapi32Library::SetScanMode(int32_t receiver, int32_t mode) { return ::SetScanMode(receiver, mode); }
int32_t TKvapi32Library::SetFrequency(int32_t receiver, uint32_t hz) { return ::SetFrequency(receiver, hz); }
uint32_t TKvapi32Library::GetFrequency(int32_t receiver) { return ::GetFrequency(receiver); }
int32_t TKvapi32Library::SetVolume(int32_t receiver, int32_t volume) { return ::SetVolume(receiver, volume); }
int32_t TKvapi32Library::SetAtten(int32_t receiver, int32_t on) { return ::SetAtten(receiver, on); }
int32_t TKvapi32Library::GetSignalStrength(int32_t receiver) { return ::GetSignalStrength(receiver); }

TReceiverLibrary& Kvapi32Library()
{
    static TKvapi32Library library;
    return library;
}
