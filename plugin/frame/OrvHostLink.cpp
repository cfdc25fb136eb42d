#include "OrvHostLink.h"

int32_t TOrvHostLink::CallHost(int32_t code, int32_t parameter, int32_t length, const char* pointer)
{
    if (!Attached || !HostCallback)
        return ORV_NOT_ATTACHED;
    // Cleared first, so the detach itself still goes out but nothing after it.
    if (code == ORV_DETACH)
        Attached = false;
    return HostCallback(Started ? instance_ : ORV_NO_INSTANCE, code, parameter, length, pointer);
}

void TOrvHostLink::Detach()
{
    CallHost(ORV_DETACH, 0, int32_t(name_.size() + 1), name_.c_str());
}
