#include "CodewordCheckRegister.h"

void CrcInit(TCodewordCheckRegister& reg, uint32_t generator)
{
    reg.Generator = generator;
    reg.TopMask = 0;
    for (int b = 31; b >= 0; --b) {
        if (generator & (uint32_t{1} << b)) {
            reg.TopMask = uint32_t{1} << b;
            break;
        }
    }
    reg.Remainder = 0;
    reg.Parity = 0;
}

void CrcAddBit(TCodewordCheckRegister& reg, uint32_t bit)
{
    bit &= 1;
    reg.Remainder <<= 1;
    if (((reg.Remainder & reg.TopMask) != 0) != (bit == 1))
        reg.Remainder ^= reg.Generator;
    reg.Parity ^= bit;
}

bool CrcValid(const TCodewordCheckRegister& reg)
{
    return (reg.Remainder & (reg.TopMask - 1)) == 0 && reg.Parity == 0;
}
