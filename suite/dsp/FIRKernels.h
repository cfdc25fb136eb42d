#pragma once
// The inner loop of FIRFilter in the widest vector form the processor has: outputs side by side,
// each summed in the same order as the plain loop with separate multiplications and additions, so
// that every kernel gives the plain loop's results to the bit.
#include <cstdint>

// out[n] for n = 0..block-1 from in[e-half .. e+half] with e = start - half + n.
using TFIRKernel = void (*)(const int32_t* in, int32_t start, const double* c, int32_t half, int32_t block, int32_t* out);

void FIRKernelPlain(const int32_t* in, int32_t start, const double* c, int32_t half, int32_t block, int32_t* out);
// Null where the processor or the compiler does not have them.
TFIRKernel FIRKernelAvx2();
TFIRKernel FIRKernelAvx512();
// Groups of four outputs anywhere in a block, summed as the kernels sum them: out[4 g + j] is output
// first[g] + j (g = 0..groups-1, j = 0..3) of the kernel's numbering above. In vectors where the
// processor has them.
void FIRKernelGroups(const int32_t* in, int32_t start, const double* c, int32_t half, const int32_t* first,
                     int32_t groups, int32_t* out);
// The widest kernel this processor runs, chosen once.
TFIRKernel FIRKernelBest();
