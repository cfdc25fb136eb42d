#pragma once
// The GetApplets listing: one poke per registered applet to the host's "Quenda Applet" item.
#include "AppletPorts.h"

#include <cstdint>
#include <string>

std::string DdeTopic(int32_t receiver);  // "Korvanta #<n>"

// Pokes "<name>|<programPath>" with its NUL for each applet in list order, over `client`; nothing
// is sent when the host does not answer the connect.
void ExportAppletList(int32_t receiver, TDdeClientPort& client, const std::string& programPath);

// The running program's full path.
std::string ProgramPath();
