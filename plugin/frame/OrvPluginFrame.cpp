#include "OrvPluginFrame.h"

#include "OrvDecoderForm.h"
#include "OrvSound.h"
#include "platform/instance/NamedLock.h"
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <cstring>

namespace {

// Created by the first successful init and kept as long as the library is loaded.
std::vector<TOrvDecoderForm*>* windowList = nullptr;

}  // namespace

void OrvCopyName(const std::string& text, char* buffer, uint32_t length)
{
    if (!buffer)
        return;
    for (uint32_t i = 0; i < length; ++i)
        buffer[i] = i < text.size() ? text[i] : '\0';
}

bool OrvWindowListExists() { return windowList != nullptr; }

const std::vector<TOrvDecoderForm*>& OrvWindows()
{
    static const std::vector<TOrvDecoderForm*> none;
    return windowList ? *windowList : none;
}

void OrvRemoveWindow(TOrvDecoderForm* form)
{
    if (windowList)
        std::erase(*windowList, form);
}

OrvInstance TOrvHandleTable::Allocate()
{
    for (;;) {
        const OrvInstance h = next_;
        next_ = next_ == INT32_MAX ? 1 : next_ + 1;
        if (h != ORV_NO_INSTANCE && h != ORV_START_FAILED && !InUse(h)) {
            used_.push_back(h);
            return h;
        }
    }
}

void TOrvHandleTable::Release(OrvInstance handle) { std::erase(used_, handle); }

bool TOrvHandleTable::InUse(OrvInstance handle) const
{
    return std::find(used_.begin(), used_.end(), handle) != used_.end();
}

TOrvHandleTable& OrvHandles()
{
    static TOrvHandleTable table;
    return table;
}

namespace {

// This library's hold on the machine-wide flag.
platform::NamedLock& SingleInstance()
{
    static platform::NamedLock lock(kOrvSingleInstanceAtom);
    return lock;
}

// Looks for the flag and takes it in one step, so that of two windows starting at the same moment
// exactly one gets it; a window of this library already holding it counts as taken too.
bool TakeSingleInstance() { return !SingleInstance().Held() && SingleInstance().Add(); }

}  // namespace

void OrvReleaseSingleInstance() { SingleInstance().Delete(); }

int32_t OrvFrameInit(const TOrvPluginInfo& plugin, int32_t hostVersion, char* name, uint32_t nameLength)
{
    if (hostVersion < ORV_INTERFACE_VERSION)
        return 0;
    if (OrvSoundInputDeviceCount() == 0)
        return 0;
    if (!windowList)
        windowList = new std::vector<TOrvDecoderForm*>;
    OrvCopyName(plugin.Name, name, nameLength);
    return ORV_INTERFACE_VERSION;
}

int32_t OrvFrameStart(const TOrvPluginInfo& plugin, OrvHostWindow hostWindow, const OrvReceiverInfo* info,
                      OrvHostCallback callback, uint32_t* flags)
{
    // Refused before anything is taken: a host that has not initialised us, or hands us nothing.
    if (!windowList || !info || !callback || !flags || !plugin.CreateWindow)
        return ORV_START_FAILED;
    if (!TakeSingleInstance()) {
        platform::MessageBox::Show(kOrvAlreadyRunningText, kOrvAlreadyRunningCaption,
                                   platform::MB_OK | platform::MB_ICONERROR | platform::MB_TASKMODAL);
        return ORV_START_FAILED;
    }
    const OrvInstance handle = OrvHandles().Allocate();
    TOrvDecoderForm* form = nullptr;
    try {
        form = plugin.CreateWindow(hostWindow, info, callback, flags, handle);
    } catch (...) {
        // The window's own clean-up has run; only the flag and the handle are left to give back.
        OrvReleaseSingleInstance();
        OrvHandles().Release(handle);
        return ORV_START_FAILED;
    }
    if (form && form->Started()) {
        windowList->push_back(form);
        return handle;
    }
    // Never started (its sound input did not open): the normal close sequence, without a message.
    if (form)
        form->DestroyNow();
    OrvReleaseSingleInstance();
    OrvHandles().Release(handle);
    return ORV_START_FAILED;
}

int32_t OrvFrameNotify(OrvHostWindow hostWindow, int32_t code, int32_t value)
{
    if (!windowList)
        return 0;
    const std::vector<TOrvDecoderForm*> windows = *windowList;
    for (TOrvDecoderForm* form : windows)
        if (form->HostNotify(hostWindow, code, value))
            return 1;
    return 0;
}

void OrvFrameDone() {}

void OrvFrameResetForTest()
{
    delete windowList;
    windowList = nullptr;
    OrvHandles() = TOrvHandleTable();
    OrvReleaseSingleInstance();
}
