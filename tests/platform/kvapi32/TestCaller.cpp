// Tunes a receiver through the library from inside a loaded module, as a plug-in would.
#include "platform/kvapi32/Kvapi32.h"

extern "C" __attribute__((visibility("default"))) int32_t CallerSetFrequency(int32_t receiver, uint32_t hz)
{
    return SetFrequency(receiver, hz);
}
