#include "CpuFeatures.h"

#include <cstdlib>
#include <cstring>

namespace {

bool PlainRequested()
{
    const char* v = std::getenv("QUENDA_PLAIN_DSP");
    return v && *v && std::strcmp(v, "0") != 0;
}

TCpuFeatures Read()
{
    TCpuFeatures f;
    f.PlainForced = PlainRequested();
    if (f.PlainForced)
        return f;
#ifdef QUENDA_DSP_X86
    __builtin_cpu_init();
    f.Avx2 = __builtin_cpu_supports("avx2");
    f.Fma = __builtin_cpu_supports("fma");
    f.Avx512F = __builtin_cpu_supports("avx512f");
#endif
    return f;
}

}  // namespace

const TCpuFeatures& CpuFeatures()
{
    static const TCpuFeatures features = Read();
    return features;
}
