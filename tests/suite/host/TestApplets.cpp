// A quenda with two applets of its own, for runs of the program's start-up from the tests.
#include "AppletPorts.h"
#include "QuendaStart.h"
#include "RegApplet.h"
#include "WaveInOpen.h"

namespace {

bool CreateFirst(int32_t) { return false; }

// Opens the sound input as every applet does, lets it go again and does not start.
bool CreateSecond(int32_t)
{
    if (!AppletServices().MakeWaveIn)
        return false;
    std::unique_ptr<TWaveInPort> input = AppletServices().MakeWaveIn();
    if (OpenWaveIn(*input, TPcmFormat(), nullptr))
        input->Close();
    return false;
}

TAppletRegistrar first("First Test Applet", CreateFirst);
TAppletRegistrar second("Second Test Applet", CreateSecond);

}  // namespace

int main(int argc, char** argv) { return QuendaRun(argc, argv); }
