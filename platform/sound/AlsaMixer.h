#pragma once
// Mixer devices of the sound cards, over the ALSA simple mixer (mapping in Mixer.h).
#include "Mixer.h"

namespace platform::sound {

std::vector<std::string> cardMixerNames();
std::shared_ptr<MixerDevice> openCardMixer(uint32_t index);

}  // namespace platform::sound
