#pragma once
// Start-up binding of the receiver-control library. The suite talks to receivers only through the
// host, so nothing here is called; the entry points are bound by name, each missing one (or all,
// when the library is absent) to a stub that returns 0.
#include <cstdint>

using TKvapiFn0 = int32_t (*)();
using TKvapiFn1 = int32_t (*)(int32_t);
using TKvapiFn2 = int32_t (*)(int32_t, int32_t);
using TKvapiFn3 = int32_t (*)(int32_t, int32_t, int32_t);
using TKvapiFn4 = int32_t (*)(int32_t, int32_t, int32_t, int32_t);

// One bound entry point: its name, how many 32-bit arguments it takes, and where it points now.
struct TKvapiEntry {
    const char* Name;
    int ArgCount;
    void* Fn;
    bool FromLibrary;
};

constexpr int kKvapiEntryCount = 51;
extern const char* const kKvapiLibraryName;  // "libkvapi32.so"

// Loads the library and binds every entry; safe to call again. A name without a '/' is looked for
// beside the program, then in ../lib from there, then by the system's search.
// Returns true when the library loaded.
bool KvapiLoad(const char* libraryName = kKvapiLibraryName);
// Frees the library and puts the stubs back.
void KvapiFree();
bool KvapiLoaded();

// The entries in binding order; nullptr for an index outside 0 .. kKvapiEntryCount - 1.
const TKvapiEntry* KvapiEntry(int i);
// The entry of a name, nullptr when not one of the bound names.
const TKvapiEntry* KvapiFind(const char* name);
// The second variable that holds GetModeStringA's entry.
void* KvapiGetModeString();

// The stubs, by argument count.
int32_t KvapiNullStub0();
int32_t KvapiNullStub1(int32_t);
int32_t KvapiNullStub2(int32_t, int32_t);
int32_t KvapiNullStub3(int32_t, int32_t, int32_t);
int32_t KvapiNullStub4(int32_t, int32_t, int32_t, int32_t);

// Loads at construction and frees at destruction: the program holds one for its whole run.
class TKvapiBinding {
public:
    explicit TKvapiBinding(const char* libraryName = kKvapiLibraryName) { KvapiLoad(libraryName); }
    ~TKvapiBinding() { KvapiFree(); }
    TKvapiBinding(const TKvapiBinding&) = delete;
    TKvapiBinding& operator=(const TKvapiBinding&) = delete;
};
