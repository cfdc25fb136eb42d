#include "platform/version/VersionInfo.h"

extern "C" const char* probeProductName()
{
    static std::string name;
    const platform::VersionTable* t = platform::VersionTable::Module();
    name = t ? t->String("ProductName").value_or("") : "";
    return name.c_str();
}

extern "C" uint32_t probeFileFlags()
{
    const platform::VersionTable* t = platform::VersionTable::Module();
    return t ? t->Fixed().fileFlags : 0xFFFFFFFFu;
}
