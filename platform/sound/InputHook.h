#pragma once
// An input a program makes itself (orvhost's simulated band): the program exports the function
// korvantaInputHook, and every wave-input user of the process, a loaded plug-in's included, then
// lists that input as device 0.
#include <cstddef>
#include <cstdint>

extern "C" {

struct KorvantaInputHook {
    const char* name;  // the device's name
    // Fills frames frames of 16-bit samples at rate, with channels (1 or 2) interleaved; runs on the
    // device's own thread.
    void (*read)(void* context, uint32_t rate, uint16_t channels, int16_t* dst, size_t frames);
    // Non-zero once the input has come to its end (the device then makes its end-of-file mark).
    int (*ended)(void* context);
    void* context;
    // Optional (null: any number of listeners). open takes the input for one listener and returns
    // non-zero when it was free; close gives it back. Like a sound card's capture, an input whose
    // reading moves it on (the band's clocks) has one listener at a time.
    int (*open)(void* context);
    void (*close)(void* context);
};

// The hook, or null when the program has no input of its own at the moment.
typedef const KorvantaInputHook* (*KorvantaInputHookFn)(void);
}

#define KORVANTA_INPUT_HOOK_NAME "korvantaInputHook"

namespace platform::sound {
// The program's hook, looked up among the process's symbols; null when there is none.
const KorvantaInputHook* programInputHook();
}  // namespace platform::sound
