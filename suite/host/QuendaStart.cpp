#include "QuendaStart.h"

#include "AboutUnit.h"
#include "AppletList.h"
#include "AppletPorts.h"
#include "Kvapi2.h"
#include "MachinePorts.h"
#include "ProgramMain.h"
#include "SuiteBox.h"
#include "platform/instance/NamedLock.h"
#include "platform/ui/Application.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

int QuendaRun(int argc, char** argv, const std::function<void(TProgramServices&)>& adjust)
{
    TKvapiBinding kvapi;
    platform::NamedLock lock(kAppletLockName);
    std::optional<platform::GuardedApplication> app;
    std::unique_ptr<TAboutForm> about;

    std::vector<std::string> args(argv, argv + argc);
    const std::string programPath = ProgramPath();
    TProgramServices s;
    s.ProgramDir = std::filesystem::path(programPath).parent_path().string() + "/";
    s.InitApplication = [&](const std::string& title, const std::string& helpFile) {
        app.emplace(argc, argv);
        // No display name: it would be added to every applet's own caption.
        QApplication::setApplicationName(QString::fromStdString(title));
        platform::Application::SetTitle(title);
        InstallMachineServices(helpFile);
    };
    s.CreateAboutBox = [&] { about = std::make_unique<TAboutForm>(); };
    s.ExportAppletList = [&](int32_t receiver) {
        if (!AppletServices().MakeDdeClient)
            return;
        if (std::unique_ptr<TDdeClientPort> client = AppletServices().MakeDdeClient())
            ExportAppletList(receiver, *client, programPath);
    };
    s.AddAppletLock = [&] { return lock.Add(); };
    s.DeleteAppletLock = [&] { lock.Delete(); };
    s.WaveInDeviceCount = [] {
        return AppletServices().WaveInDeviceCount ? AppletServices().WaveInDeviceCount() : 1;
    };
    s.MessageBox = [](const std::string& text, const std::string& caption, unsigned flags) {
        return suitebox::Show(nullptr, text, caption, flags);
    };
    s.RunEventLoop = [&] {
        app->exec();
        platform::letPooledThreadsEnd();
    };
    s.WriteError = [](const std::string& line) { std::fprintf(stderr, "quenda: %s\n", line.c_str()); };
    if (adjust)
        adjust(s);

    try {
        return ProgramMain(args, s);
    } catch (const std::exception& e) {
        // What escapes the main block is shown as the application framework shows an unhandled error.
        if (!app)
            app.emplace(argc, argv);
        suitebox::Show(nullptr, e.what(), app ? QApplication::applicationName().toStdString() : "quenda",
                       suitebox::Ok | suitebox::IconStop);
        return 1;
    }
}
