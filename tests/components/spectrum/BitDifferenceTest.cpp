#include "QelBitDifference.h"

#include <gtest/gtest.h>

TEST(QelBitDifference, CountsDifferingLowBits) {
    struct Case {
        uint32_t targetLo, targetHi, bitsNum;
        uint64_t value;
        bool wide;  // which overload: 64-bit value, or its low 32 bits
        uint32_t expected;
    };
    const Case cases[] = {
        {0, 0, 64, ~0ull, true, 64},
        {0, 0, 64, 0, true, 0},
        {0, 0, 64, 0, false, 0},
        {0, 0, 24, 0xFF000001u, true, 1},
        {0, 0, 24, 0xFF000001u, false, 1},
        {0, 0, 64, 0xFFFFFFFFu, false, 32},           // the 32-bit overload never counts past bit 31
        {0, 0, 64, ~0ull, false, 32},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 64, 0, true, 64},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 33, 0, true, 33},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 33, 0, false, 32},
        {0, 1, 32, 0, true, 0},                        // the high word only counts beyond bit 31
        {0, 1, 33, 0, true, 1},
        {0, 0, 64, 1ull << 63, true, 1},
        {0, 0, 63, 1ull << 63, true, 0},
        {0, 0, 1, 3, true, 1},
        {0, 0, 1, 3, false, 1},
        {0x12345678u, 0x9ABCDEF0u, 64, 0x9ABCDEF012345678ull, true, 0},
        {0x12345678u, 0x9ABCDEF0u, 64, 0x9ABCDEF012345679ull ^ (1ull << 40), true, 2},
        {0x0000FFFFu, 0, 16, 0x00FF00FFu, false, 8},
    };
    for (const Case& c : cases) {
        TQelBitDifference bd;
        bd.TargetLo = c.targetLo;
        bd.TargetHi = c.targetHi;
        bd.SetBitsNum(c.bitsNum);
        const uint32_t got = c.wide ? bd.ErrorBits(c.value) : bd.ErrorBits(static_cast<uint32_t>(c.value));
        EXPECT_EQ(got, c.expected) << std::hex << "target " << c.targetHi << ":" << c.targetLo << " value "
                                   << c.value << std::dec << " bits " << c.bitsNum << (c.wide ? " (64)" : " (32)");
    }
}
