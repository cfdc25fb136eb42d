// The simulated band as the process's own sound input: the plug-ins orvhost loads find it as
// their input device 0, and hold it while they have it open.
#include "Band.h"
#include "platform/sound/InputHook.h"

namespace {

Band* gBand = nullptr;

void Read(void* context, uint32_t rate, uint16_t channels, int16_t* dst, size_t frames)
{
    static_cast<Band*>(context)->read(rate, channels, dst, frames);
}

int Ended(void* context) { return static_cast<Band*>(context)->ended() ? 1 : 0; }

int Open(void* context) { return static_cast<Band*>(context)->claim() ? 1 : 0; }

void Close(void* context) { static_cast<Band*>(context)->release(); }

KorvantaInputHook gHook = {"Simulated band", &Read, &Ended, nullptr, &Open, &Close};

}  // namespace

void SetBandInput(Band* band)
{
    gBand = band;
    gHook.context = band;
}

extern "C" __attribute__((visibility("default"))) const KorvantaInputHook* korvantaInputHook()
{
    return gBand ? &gHook : nullptr;
}
