// A receiver-control library that exports two of the bound names only.
#include <cstdint>

extern "C" int32_t SetFrequency(int32_t, int32_t) { return 7; }
extern "C" int32_t GetModeStringA(int32_t, int32_t, int32_t) { return 9; }
