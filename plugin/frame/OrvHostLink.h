#pragma once
// A decoder window's link to the host: the host window it serves, the callback its commands go
// through, and whether it is still attached.
#include "plugin/frame/OrvPlugin.h"

#include <string>

class TOrvHostLink {
public:
    TOrvHostLink(OrvHostWindow hostWindow, OrvHostCallback callback, OrvInstance instance, std::string name)
        : HostWindow(hostWindow), HostCallback(callback), instance_(instance), name_(std::move(name))
    {
    }

    // Sends one command. Once detached nothing reaches the host and ORV_NOT_ATTACHED comes back.
    // The instance goes with the call only once the window has started.
    int32_t CallHost(int32_t code, int32_t parameter = 0, int32_t length = 0, const char* pointer = nullptr);
    // Reads one of the host's values.
    int32_t Get(int32_t item) { return CallHost(ORV_GET, item); }
    // The last command of a window: the plug-in's name, its length counted with the terminating zero.
    void Detach();

    OrvInstance Instance() const { return instance_; }
    const OrvHostWindow HostWindow;
    const OrvHostCallback HostCallback;
    bool Attached = true;
    bool Started = false;

private:
    OrvInstance instance_;
    std::string name_;  // the display name as the host gets it (bytes of the ANSI code page)
};
