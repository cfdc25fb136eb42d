#pragma once
// The sound-input opener every applet captures through: retries a busy device, then asks the user.
#include "AppletPorts.h"

class QWidget;

extern const char* const kSoundCardBusyText;  // "The sound card is currently being used, try again?"
constexpr int kWaveFormatError = 32;

// Opens `input` in `format`; true when it opened. Six attempts with 200 ms pauses; then, for a busy
// device, the user is asked whether to try again (each Yes tries once more at once); any other error
// is shown with its text. Boxes are owned by `window`.
bool OpenWaveIn(TWaveInPort& input, const TPcmFormat& format, QWidget* window);
