#pragma once
// Records what one power source signals: 's' for suspending, 'r' for resumed.
#include "platform/power/PowerEvents.h"

#include <string>

struct PowerRecorder {
    std::string seen;
    explicit PowerRecorder(platform::PowerEvents& source)
    {
        QObject::connect(&source, &platform::PowerEvents::suspending, [this] { seen += 's'; });
        QObject::connect(&source, &platform::PowerEvents::resumed, [this] { seen += 'r'; });
    }
};
