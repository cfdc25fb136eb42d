// The recorder as its own program for the kill test: a host in the same process answers the
// conversation, the sound input is the recording WAVE_IN_FILE names, the save dialog answers the
// path given as the one argument, and Record is pressed at once. It runs until it is killed.
#include "MachinePorts.h"
#include "Recorder2.h"
#include "platform/dde/FakeDdeServer.h"
#include "platform/ui/Dialogs.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    QApplication app(argc, argv);
    platform::dde::FakeDdeServer host("Korvanta", {"Korvanta #3"});
    if (!host.Register())
        return 3;
    host.SetItem("Korvanta #3", "SignalStrength", "30");
    host.SetItem("Korvanta #3", "Squelch", "20");
    InstallMachineServices("QUENDA.HLP");
    const std::string file = argv[1];
    platform::SetDialogHandler([file](platform::TCommonDialog& d) {
        static_cast<platform::TOpenDialog&>(d).FileName = file;
        return true;
    });
    if (!CreateRecorderApplet(3))
        return 4;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TRecorder2Form*>(w))
            form->RecordButtonClick();
    std::puts("recording");
    std::fflush(stdout);
    return app.exec();
}
