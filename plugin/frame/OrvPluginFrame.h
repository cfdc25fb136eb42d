#pragma once
// What every decoder plug-in shares behind its four exported entry points: the list of open windows,
// the small instance handles the host gets, the single-instance rule and the start and notify logic.
// A plug-in's exported functions call OrvFrameInit, OrvFrameStart, OrvFrameNotify and OrvFrameDone
// with its own description.
#include "plugin/frame/OrvPlugin.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TOrvDecoderForm;

// What one plug-in brings to the shared entry points.
struct TOrvPluginInfo {
    std::string Name;  // display name, bytes of the ANSI code page ("MPT1327")
    // Builds the window and runs its construction; throws when something failed badly.
    std::function<TOrvDecoderForm*(OrvHostWindow, const OrvReceiverInfo*, OrvHostCallback, uint32_t*,
                                   OrvInstance)>
        CreateWindow;
};

// The name of the machine-wide flag that lets one decoder window of either plug-in run at a time.
inline constexpr const char* kOrvSingleInstanceAtom = "Korvanta Quenda";
inline constexpr const char* kOrvAlreadyRunningText =
    "A Korvanta Quenda/Tollan applet is already running!\r\nPlease shut it down before trying to run another applet.";
inline constexpr const char* kOrvAlreadyRunningCaption = "Korvanta Tollan";

int32_t OrvFrameInit(const TOrvPluginInfo& plugin, int32_t hostVersion, char* name, uint32_t nameLength);
int32_t OrvFrameStart(const TOrvPluginInfo& plugin, OrvHostWindow hostWindow, const OrvReceiverInfo* info,
                      OrvHostCallback callback, uint32_t* flags);
int32_t OrvFrameNotify(OrvHostWindow hostWindow, int32_t code, int32_t value);
void OrvFrameDone();

// Bounded copy of the name: at most length bytes, zeros after the name, no terminator when it
// does not fit.
void OrvCopyName(const std::string& text, char* buffer, uint32_t length);

// The open windows, in the order they started; empty (and absent) before the first successful init.
bool OrvWindowListExists();
const std::vector<TOrvDecoderForm*>& OrvWindows();
void OrvRemoveWindow(TOrvDecoderForm* form);

// Small instance values for the host: never 0 nor -1, never one in use.
class TOrvHandleTable {
public:
    OrvInstance Allocate();
    void Release(OrvInstance handle);
    bool InUse(OrvInstance handle) const;

private:
    std::vector<OrvInstance> used_;
    OrvInstance next_ = 1;
};
TOrvHandleTable& OrvHandles();

// Releases the single-instance flag (the close sequence's last but one step).
void OrvReleaseSingleInstance();

// For tests in one process: forget the window list and handles, as a newly loaded library.
void OrvFrameResetForTest();
