#include "RegApplet.h"

#include <vector>

namespace {

// Built on first use, so registrars in other units may run before or after this one's initialization.
std::vector<TAppletInfo>& Applets()
{
    static std::vector<TAppletInfo> list;
    return list;
}

bool InRange(int i) { return i >= 0 && i < AppletCount(); }

}  // namespace

void RegisterApplet(const std::string& name, TAppletCreate create) { Applets().push_back({name, create}); }

int AppletCount() { return static_cast<int>(Applets().size()); }

std::string AppletName(int i) { return InRange(i) ? Applets()[static_cast<size_t>(i)].Name : std::string(); }

bool RunApplet(int i, int32_t receiver)
{
    if (!InRange(i))
        return false;
    TAppletCreate create = Applets()[static_cast<size_t>(i)].Create;
    return create ? create(receiver) : false;
}

void ClearAppletsForTest() { Applets().clear(); }
