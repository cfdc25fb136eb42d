#include "Kvapi2.h"

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>

const char* const kKvapiLibraryName = "libkvapi32.so";

int32_t KvapiNullStub0() { return 0; }
int32_t KvapiNullStub1(int32_t) { return 0; }
int32_t KvapiNullStub2(int32_t, int32_t) { return 0; }
int32_t KvapiNullStub3(int32_t, int32_t, int32_t) { return 0; }
int32_t KvapiNullStub4(int32_t, int32_t, int32_t, int32_t) { return 0; }

namespace {

void* g_module = nullptr;
void* g_getModeString = nullptr;

TKvapiEntry g_entries[kKvapiEntryCount] = {
    {"OpenRadioDevice", 1, nullptr, false},   {"CloseRadioDevice", 1, nullptr, false},
    {"GetRadioDeviceInfo", 2, nullptr, false}, {"GetSignalStrength", 1, nullptr, false},
    {"SetFrequency", 2, nullptr, false},      {"SetMode", 2, nullptr, false},
    {"SetVolume", 2, nullptr, false},         {"SetAtten", 2, nullptr, false},
    {"SetMute", 2, nullptr, false},           {"SetPower", 2, nullptr, false},
    {"SetScanMode", 2, nullptr, false},       {"SetBFOOffset", 2, nullptr, false},
    {"SetIFShift", 2, nullptr, false},        {"SetAudioSource", 2, nullptr, false},
    {"SetDSPSource", 2, nullptr, false},      {"SetAGC", 2, nullptr, false},
    {"SetIFGain", 2, nullptr, false},         {"EnableRFPreamp", 2, nullptr, false},
    {"ForceMono", 2, nullptr, false},         {"GetFrequency", 1, nullptr, false},
    {"GetMode", 1, nullptr, false},           {"GetVolume", 1, nullptr, false},
    {"GetAtten", 1, nullptr, false},          {"GetMute", 1, nullptr, false},
    {"GetPower", 1, nullptr, false},          {"GetScanMode", 1, nullptr, false},
    {"GetBFOOffset", 1, nullptr, false},      {"GetIFShift", 1, nullptr, false},
    {"GetAudioSource", 1, nullptr, false},    {"GetDSPSource", 1, nullptr, false},
    {"GetAGC", 1, nullptr, false},            {"GetIFGain", 1, nullptr, false},
    {"IsRFPreampEnabled", 1, nullptr, false}, {"IsStereo", 1, nullptr, false},
    {"dspOpen", 1, nullptr, false},           {"dspClose", 1, nullptr, false},
    {"dspSendByte", 2, nullptr, false},       {"dspReadByte", 2, nullptr, false},
    {"dspOutWrite", 3, nullptr, false},       {"dspInAddBuffer", 3, nullptr, false},
    {"dspPause", 1, nullptr, false},          {"dspResume", 1, nullptr, false},
    {"dspOutReset", 1, nullptr, false},       {"dspInReset", 1, nullptr, false},
    {"dspInOpen", 4, nullptr, false},         {"dspOutOpen", 4, nullptr, false},
    {"EnableRadioNotification", 3, nullptr, false}, {"GetModeStringA", 3, nullptr, false},
    {"GetModeStringW", 3, nullptr, false},    {"GetInterruptCount", 1, nullptr, false},
    {"OpenRadioCount", 0, nullptr, false},
};

void* StubFor(int argCount)
{
    switch (argCount) {
    case 0: return reinterpret_cast<void*>(&KvapiNullStub0);
    case 1: return reinterpret_cast<void*>(&KvapiNullStub1);
    case 2: return reinterpret_cast<void*>(&KvapiNullStub2);
    case 3: return reinterpret_cast<void*>(&KvapiNullStub3);
    default: return reinterpret_cast<void*>(&KvapiNullStub4);
    }
}

void Bind()
{
    for (TKvapiEntry& e : g_entries) {
        void* fn = g_module ? ::dlsym(g_module, e.Name) : nullptr;
        e.FromLibrary = fn != nullptr;
        e.Fn = fn ? fn : StubFor(e.ArgCount);
        if (std::strcmp(e.Name, "GetModeStringA") == 0)
            g_getModeString = e.Fn;
    }
}

// The stubs are in place even before the first load, so no entry is ever null.
struct TInitialBinding {
    TInitialBinding() { Bind(); }
} g_initialBinding;

// A bare name is looked for beside the program and in the lib folder next to it before the
// system's search. The program's own run path would find the second too, but not when the
// dlopen is made on the program's behalf by an interposed library (the sanitizers' runtime).
void* OpenByName(const char* libraryName)
{
    if (!std::strchr(libraryName, '/')) {
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec)
            for (const std::filesystem::path& dir : {program.parent_path(), program.parent_path().parent_path() / "lib"}) {
                const std::filesystem::path candidate = dir / libraryName;
                if (std::filesystem::exists(candidate, ec))
                    if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL))
                        return module;
            }
    }
    return ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

bool KvapiLoad(const char* libraryName)
{
    KvapiFree();
    g_module = OpenByName(libraryName);
    Bind();
    return g_module != nullptr;
}

void KvapiFree()
{
    if (g_module) {
        ::dlclose(g_module);
        g_module = nullptr;
    }
    Bind();
}

bool KvapiLoaded() { return g_module != nullptr; }

const TKvapiEntry* KvapiEntry(int i)
{
    if (i < 0 || i >= kKvapiEntryCount)
        return nullptr;
    return &g_entries[i];
}

const TKvapiEntry* KvapiFind(const char* name)
{
    for (const TKvapiEntry& e : g_entries)
        if (std::strcmp(e.Name, name) == 0)
            return &e;
    return nullptr;
}

void* KvapiGetModeString() { return g_getModeString; }
