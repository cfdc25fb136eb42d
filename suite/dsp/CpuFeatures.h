#pragma once
// The processor features that the vector kernels of the signal units need, tested in this one place
// and read once. Setting QUENDA_PLAIN_DSP (to anything but empty or 0) before the first call makes
// every feature absent, so that each unit takes its plain loop: the outputs are the same, only
// slower; for tests of the plain path and for comparing the two.
//
// QUENDA_DSP_X86 is defined where the vector kernels are compiled at all (x86-64 with a compiler
// that takes per-function targets); elsewhere every feature reads absent.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUENDA_DSP_X86 1
#endif

struct TCpuFeatures {
    bool Avx2 = false;
    bool Fma = false;
    bool Avx512F = false;
    bool PlainForced = false;  // QUENDA_PLAIN_DSP was set: the others are false whatever the processor has
};

const TCpuFeatures& CpuFeatures();
