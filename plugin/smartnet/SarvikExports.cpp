// The four functions the host looks up in libsarvik.so.
#include "OrvPluginExports.h"
#include "SmartNetForm.h"

ORV_PLUGIN_EXPORTS(TSmartNetForm, "Motorola SmartNet\xAE")
