#include "AppletPorts.h"

TAppletServices& AppletServices()
{
    static TAppletServices services;
    return services;
}
