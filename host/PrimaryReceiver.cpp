#include "PrimaryReceiver.h"

#include "platform/kvapi32/Kvapi32.h"

PrimaryReceiver::PrimaryReceiver(ReceiverState& state, QObject* parent) : QObject(parent), state_(state)
{
    connect(&state_, &ReceiverState::changed, this, &PrimaryReceiver::apply);
}

PrimaryReceiver::~PrimaryReceiver() { close(); }

bool PrimaryReceiver::open()
{
    if (number_ != 0)
        return true;
    number_ = OpenRadioDevice(0);
    if (number_ <= 0) {
        number_ = 0;
        return false;
    }
    for (const char* name : {"Power", "Mode", "Frequency", "Volume", "Attenuator", "Mute"})
        apply(name, state_.get(name));
    return true;
}

void PrimaryReceiver::close()
{
    if (number_ == 0)
        return;
    CloseRadioDevice(number_);
    number_ = 0;
}

void PrimaryReceiver::apply(const QString& name, int value)
{
    if (number_ == 0)
        return;
    if (name == QLatin1String("Frequency"))
        SetFrequency(number_, uint32_t(value));
    else if (name == QLatin1String("Mode"))
        SetMode(number_, value);
    else if (name == QLatin1String("Volume"))
        SetVolume(number_, value);
    else if (name == QLatin1String("Attenuator"))
        SetAtten(number_, value);
    else if (name == QLatin1String("Power"))
        SetPower(number_, value);
    else if (name == QLatin1String("Mute"))
        SetMute(number_, value);
}
