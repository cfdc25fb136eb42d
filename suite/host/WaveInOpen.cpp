#include "WaveInOpen.h"

#include "SuiteBox.h"
#include "platform/clock/Clock.h"

const char* const kSoundCardBusyText = "The sound card is currently being used, try again?";

bool OpenWaveIn(TWaveInPort& input, const TPcmFormat& format, QWidget* window)
{
    int pauses = 0;
    for (;;) {
        const int error = input.Open(format);
        if (error == 0)
            return true;
        if (pauses < 5) {
            platform::clock().sleepMs(200);
            ++pauses;
            continue;
        }
        if (error == kWaveFormatError) {
            if (suitebox::Show(window, kSoundCardBusyText, "Warning", suitebox::YesNo | suitebox::IconExclamation) ==
                suitebox::IdYes)
                continue;
            return false;
        }
        std::string text = input.ErrorText(error);
        if (text.size() > 127)  // the error text buffer holds 128 characters with its NUL
            text.resize(127);
        suitebox::Show(window, text, "Wave In Error", suitebox::Ok | suitebox::IconStop);
        return false;
    }
}
