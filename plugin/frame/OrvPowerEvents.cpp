#include "OrvDecoderForm.h"
#include "platform/power/PowerEvents.h"

namespace {
// Kept beside the shared instance and gone with it, so that the source never outlives the code
// of a plug-in that is unloaded.
struct TOrvSystemPower {
    TOrvPowerEvents Events;
    platform::PowerEvents Source;
    TOrvSystemPower() { Events.Listen(Source); }
    ~TOrvSystemPower();
};

TOrvSystemPower* systemPower = nullptr;

TOrvSystemPower::~TOrvSystemPower() { systemPower = nullptr; }
}  // namespace

TOrvPowerEvents& TOrvPowerEvents::Instance()
{
    static TOrvSystemPower power;
    systemPower = &power;
    return power.Events;
}

platform::PowerEvents* TOrvPowerEvents::System() { return systemPower ? &systemPower->Source : nullptr; }

void TOrvPowerEvents::Listen(platform::PowerEvents& source)
{
    connect(&source, &platform::PowerEvents::suspending, this, [this] { Broadcast(pbtSuspend); });
    connect(&source, &platform::PowerEvents::resumed, this, [this] { Broadcast(pbtResumeSuspend); });
}
