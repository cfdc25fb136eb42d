#pragma once
// The sound cards through ALSA: the device lists and the capture and playback workers.
#include "WaveStream.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::sound {

struct CardDevice {
    std::string pcm;   // ALSA device name ("default", "hw:0,0")
    std::string name;  // what the device list shows
};

// The default device first, then each card's devices of that direction; with no card, only the
// default device of a configuration that defines one, else nothing.
std::vector<CardDevice> cardDevices(bool capture);
// Whether the ALSA configuration resolves a default device of that kind ("pcm", "ctl").
bool configuredDefault(const char* kind);

// Opens the device for the format; null with *code (and *text) set on failure.
std::unique_ptr<Backend> openCard(const std::string& pcm, bool capture, const WaveFormat& format, uint32_t* code,
                                  std::string* text);

}  // namespace platform::sound
