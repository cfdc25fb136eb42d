// The four functions the host looks up in libmarlet.so.
#include "MPT1327Form.h"
#include "OrvPluginExports.h"

ORV_PLUGIN_EXPORTS(TMPT1327Form, "MPT1327")
