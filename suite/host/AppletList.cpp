#include "AppletList.h"

#include "RegApplet.h"

#include <filesystem>

std::string DdeTopic(int32_t receiver) { return "Korvanta #" + std::to_string(receiver); }

void ExportAppletList(int32_t receiver, TDdeClientPort& client, const std::string& programPath)
{
    client.Initialize([](const TDdeTransaction&) -> uint32_t { return 0; }, dde::APPCLIENT_LISTING);
    const TDdeConv conv = client.Connect("Korvanta", DdeTopic(receiver));
    if (conv != 0) {
        for (int i = 0; i < AppletCount(); ++i) {
            const std::string text = AppletName(i) + "|" + programPath;
            std::vector<uint8_t> data(text.begin(), text.end());
            data.push_back(0);  // the NUL is part of the data
            client.Poke(conv, "Quenda Applet", data, 30000);
        }
        client.Disconnect(conv);
    }
    client.Uninitialize();
}

std::string ProgramPath()
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}
