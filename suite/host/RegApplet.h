#pragma once
// The applet registry: each applet unit registers its display name and create function at start-up;
// the list keeps the suite's order of its applets (whatever order the units' initializers run in),
// which is also the order of the GetApplets listing.
#include <cstdint>
#include <string>

// Creates the applet's window for a receiver; true when the window started.
using TAppletCreate = bool (*)(int32_t receiver);

struct TAppletInfo {
    std::string Name;
    TAppletCreate Create = nullptr;
};

void RegisterApplet(const std::string& name, TAppletCreate create);
int AppletCount();
// Empty for an index outside the list.
std::string AppletName(int i);
// False for an index outside the list.
bool RunApplet(int i, int32_t receiver);

// Registers an applet from a unit's static initialization: `static TAppletRegistrar r("Name", Create);`
struct TAppletRegistrar {
    TAppletRegistrar(const char* name, TAppletCreate create) { RegisterApplet(name, create); }
};

// Test support: empties the list.
void ClearAppletsForTest();
