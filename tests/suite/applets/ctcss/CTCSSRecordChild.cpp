// A CTCSS window recording the target tone through the frame's fakes, one buffer every 20 ms, for
// ever: it prints the number of buffers recorded after each, so that a test can kill it mid-way.
// Usage: ctcss_record_child <file.wav>
#include "CTCSS.h"
#include "CTCSSTone.h"
#include "SuiteFakes.h"
#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QCheckBox>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    UseFakeServices(&log, &store, &wave);
    const std::string path = argv[1];
    platform::SetDialogHandler([&](platform::TCommonDialog& d) {
        static_cast<platform::TSaveDialog&>(d).FileName = path;
        return true;
    });
    auto* form = new TCTCSSForm(1);
    form->FormCreate();
    form->ToneLabelClick(14);
    form->CheckBox1->setChecked(true);
    const std::vector<int16_t> tone = CTCSSTone(100.0);
    for (long n = 1;; ++n) {
        wave->OnData(0, tone.data(), tone.size());
        std::printf("%ld\n", n);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
