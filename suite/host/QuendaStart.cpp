#include "QuendaStart.h"

#include "AboutUnit.h"
#include "AppletList.h"
#include "AppletPorts.h"
#include "Kvapi2.h"
#include "ProgramMain.h"
#include "SuiteBox.h"

#include <QApplication>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The single-applet lock: a file lock, so a program that crashed leaves none behind.
class TAppletLock {
public:
    ~TAppletLock() { Delete(); }
    static std::string Path()
    {
        const char* dir = std::getenv("XDG_RUNTIME_DIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/" + kAppletLockName + ".lock";
    }
    bool Exists() const
    {
        if (fd_ >= 0)
            return true;
        int fd = ::open(Path().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return held;
    }
    bool Add()
    {
        if (fd_ >= 0)
            return true;
        fd_ = ::open(Path().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
        return fd_ >= 0;
    }
    void Delete()
    {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

}  // namespace

int QuendaRun(int argc, char** argv)
{
    TKvapiBinding kvapi;
    TAppletLock lock;
    std::optional<QApplication> app;
    std::unique_ptr<TAboutForm> about;

    std::vector<std::string> args(argv, argv + argc);
    const std::string programPath = ProgramPath();
    TProgramServices s;
    s.ProgramDir = std::filesystem::path(programPath).parent_path().string() + "/";
    s.InitApplication = [&](const std::string& title, const std::string& helpFile) {
        app.emplace(argc, argv);
        QApplication::setApplicationName(QString::fromStdString(title));
        QApplication::setApplicationDisplayName(QString::fromStdString(title));
        app->setProperty("helpFile", QString::fromStdString(helpFile));
    };
    s.CreateAboutBox = [&] { about = std::make_unique<TAboutForm>(); };
    s.ExportAppletList = [&](int32_t receiver) {
        if (!AppletServices().MakeDdeClient)
            return;
        if (std::unique_ptr<TDdeClientPort> client = AppletServices().MakeDdeClient())
            ExportAppletList(receiver, *client, programPath);
    };
    s.AppletLockExists = [&] { return lock.Exists(); };
    s.AddAppletLock = [&] { return lock.Add(); };
    s.DeleteAppletLock = [&] { lock.Delete(); };
    s.WaveInDeviceCount = [] {
        return AppletServices().WaveInDeviceCount ? AppletServices().WaveInDeviceCount() : 1;
    };
    s.MessageBox = [](const std::string& text, const std::string& caption, unsigned flags) {
        return suitebox::Show(nullptr, text, caption, flags);
    };
    s.RunEventLoop = [&] { app->exec(); };

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
