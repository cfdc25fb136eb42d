#include "QelCPUDetect.h"
#include "QelAFSKDemod.h"
#include "QelDelayLine.h"
#include "QelFIR.h"
#include "QelResampler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

uint32_t pack(const char* four) {
    uint32_t v = 0;
    std::memcpy(&v, four, 4);
    return v;
}

TQelCPUIDAnswers answers(const char* vendor, uint32_t family, uint32_t model, uint32_t type, uint32_t features = 0) {
    TQelCPUIDAnswers a;
    a.Available = true;
    a.Leaf0[1] = pack(vendor);      // EBX
    a.Leaf0[3] = pack(vendor + 4);  // EDX
    a.Leaf0[2] = pack(vendor + 8);  // ECX
    a.Leaf1[0] = (type << 12) | (family << 8) | (model << 4) | 0x3;
    a.Leaf1[3] = features;
    return a;
}

void setBrand(TQelCPUIDAnswers& a, uint32_t highest, const std::string& text) {
    a.Ext0[0] = highest;
    char bytes[48] = {};
    std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), 48));
    std::memcpy(a.Brand, bytes, 48);
}

TEST(CPUDetect, MatchTableRows) {
    struct Case { const char* vendor; uint32_t family, model, type; uint8_t code; const char* name; };
    const Case cases[] = {
        {"GenuineIntel", 4, 7, 0, 7, "Intel 486"},
        {"GenuineIntel", 5, 2, 0, 8, "Intel Pentium"},
        {"GenuineIntel", 6, 1, 0, 9, "Intel PentiumPro"},
        {"GenuineIntel", 6, 3, 0, 10, "Intel PentiumII"},
        {"GenuineIntel", 6, 6, 0, 11, "Intel Celeron"},
        {"GenuineIntel", 6, 5, 0, 5, "Intel CPU"},
        {"GenuineIntel", 5, 2, 1, 5, "Intel CPU"},     // a non-zero type matches only the catch-all
        {"GenuineIntel", 6, 6, 2, 5, "Intel CPU"},
        {"AuthenticAMD", 4, 9, 0, 14, "AMD 486"},
        {"AuthenticAMD", 5, 0, 0, 16, "AMD K5"},
        {"AuthenticAMD", 5, 3, 3, 16, "AMD K5"},
        {"AuthenticAMD", 5, 4, 0, 12, "AMD CPU"},
        {"AuthenticAMD", 5, 6, 0, 17, "AMD K6"},
        {"AuthenticAMD", 5, 8, 0, 17, "AMD K6"},       // not named "AMD K6-2"
        {"AuthenticAMD", 5, 9, 0, 17, "AMD K6"},
        {"AuthenticAMD", 15, 2, 0, 12, "AMD CPU"},
        {"CyrixInstead", 4, 4, 0, 26, "Cyrix MediaGX"},
        {"CyrixInstead", 5, 2, 0, 23, "Cyrix 6x86"},
        {"CyrixInstead", 5, 4, 0, 25, "Cyrix 6x86-GXm"},
        {"CyrixInstead", 6, 0, 0, 24, "Cyrix 6x86-MX"},
        {"CyrixInstead", 6, 1, 0, 20, "Cyrix CPU"},
        {"NexGenDriven", 5, 0, 0, 28, "Nexen 5x86"},
        {"UMC UMC UMC ", 4, 1, 0, 30, "UMC 486"},
        {"SomeoneElse!", 6, 6, 0, 0, "Unknown"},
    };
    for (const Case& c : cases) {
        const TQelCPUDetect d(answers(c.vendor, c.family, c.model, c.type));
        EXPECT_EQ(d.Vendor, c.vendor);
        EXPECT_EQ(d.Family, c.family);
        EXPECT_EQ(d.Model, c.model);
        EXPECT_EQ(d.CPUType, c.type);
        EXPECT_EQ(d.Stepping, 3);
        EXPECT_EQ(d.CPUCode, c.code) << c.vendor << " " << c.family << "/" << c.model << "/" << c.type;
        EXPECT_EQ(d.CPUName, c.name) << int(c.code);
    }
}

TEST(CPUDetect, OnlyTheFourBitFieldsOfTheSignatureCount) {
    TQelCPUIDAnswers a = answers("GenuineIntel", 6, 6, 0);
    a.Leaf1[0] |= 0x0FF00000u | 0x000F0000u;  // extended family and model
    EXPECT_EQ(TQelCPUDetect(a).CPUCode, 11);
}

TEST(CPUDetect, WithoutTheInstructionUnknownAndEmpty) {
    const TQelCPUDetect d{TQelCPUIDAnswers{}};
    EXPECT_EQ(d.Vendor, "");
    EXPECT_EQ(d.CPUCode, 0);
    EXPECT_EQ(d.CPUName, "Unknown");
    EXPECT_EQ(d.Features, 0u);
    EXPECT_EQ(d.TimerFrequency, 1000000000);
}

TEST(CPUDetect, BrandTextReplacesTableName) {
    struct Case { uint32_t highest; std::string text; std::string name; };
    const std::string full = "  Brand Processor 3000 MHz with a long name here";  // 48 bytes
    const Case cases[] = {
        {0x80000004u, "  Fast Processor", "  Fast Processor"},   // leading blanks kept
        {0x80000004u, full, full},                                // all 48 bytes, no zero byte
        {0x80000003u, full, full.substr(0, 32)},                  // only the leaves that exist
        {0x80000002u, full, full.substr(0, 16)},
        {0x80000001u, full, "Intel Celeron"},                     // no brand leaves: table name
        {0x80000000u, full, "Intel Celeron"},
    };
    for (const Case& c : cases) {
        TQelCPUIDAnswers a = answers("GenuineIntel", 6, 6, 0);
        setBrand(a, c.highest, c.text);
        const TQelCPUDetect d(a);
        EXPECT_EQ(d.CPUName, c.name) << std::hex << c.highest;
        EXPECT_EQ(d.CPUCode, 11);
    }
}

TEST(CPUDetect, TimeStampCounterOnlyWithItsFeatureBit) {
    // Low byte of the features non-zero, but bit 4 clear: the monotonic clock is the timer.
    const TQelCPUDetect without(answers("GenuineIntel", 5, 2, 0, 0xEF));
    EXPECT_EQ(without.TimerFrequency, 1000000000);
    const int64_t t0 = without.GetTimer_();
    const int64_t t1 = without.GetTimer_();
    EXPECT_GE(t1, t0);

#if defined(__x86_64__) || defined(__i386__)
    // With the bit set the counter is calibrated against the monotonic clock.
    const TQelCPUDetect with(answers("GenuineIntel", 5, 2, 0, TQelCPUDetect::FeatureTSC));
    EXPECT_GT(with.TimerFrequency, 10000000);
    EXPECT_GT(with.GetTimer_(), 0);
#endif
}

TEST(CPUDetect, ThisProcessorGivesAConsistentAnswer) {
    const TQelCPUDetect d;
    EXPECT_LE(d.CPUCode, TQelCPUDetect::MaxCode);
    EXPECT_FALSE(d.CPUName.empty());
    EXPECT_GT(d.TimerFrequency, 0);
    EXPECT_EQ(TQelCPUDetect::CurrentCode(), d.CPUCode);
}

TEST(CPUDetect, KernelChoiceByCode) {
    using F = TQelFIRKernel;
    using D = TQelDelayKernel;
    using R = TQelResampleKernel;
    struct Case { uint8_t code; F fir; D delay; R resample; };
    const Case cases[] = {
        {0, F::Generic, D::DelayMultiplyKernel, R::ResampleKernel},
        {5, F::Generic, D::DelayMultiplyKernel, R::ResampleKernel},
        {8, F::Pentium, D::DelayMultiplyKernelFast, R::ResampleKernel},
        {9, F::Pentium, D::DelayMultiplyKernelFast, R::ResampleKernel},
        {10, F::MMX, D::DelayMultiplyKernelFast, R::ResampleKernel},
        {11, F::MMX, D::DelayMultiplyKernelFast, R::ResampleKernel},
        {12, F::Generic, D::DelayMultiplyKernel, R::ResampleKernel},
        {16, F::K5, D::DelayMultiplyKernel, R::ResampleKernel},
        {17, F::MMX, D::DelayMultiplyKernelFast, R::ResampleKernelK6},
        {18, F::MMX, D::DelayMultiplyKernelFast, R::ResampleKernelK6},
        {19, F::MMX, D::DelayMultiplyKernelFast, R::ResampleKernelK6},
        {20, F::Generic, D::DelayMultiplyKernel, R::ResampleKernel},
        {23, F::Cyrix, D::DelayMultiplyKernel, R::ResampleKernel},
        {26, F::Cyrix, D::DelayMultiplyKernel, R::ResampleKernel},
        {30, F::Generic, D::DelayMultiplyKernel, R::ResampleKernel},
    };
    for (const Case& c : cases) {
        // The components read the code once, when they are built.
        TQelCPUCodeScope scope(c.code);
        EXPECT_EQ(TQelFIR().Kernel(), c.fir) << int(c.code);
        EXPECT_EQ(TQelDelayLine().Kernel(), c.delay) << int(c.code);
        EXPECT_EQ(TQelResampler().Kernel(), c.resample) << int(c.code);
    }
}

}  // namespace

TEST(CPUDetect, ComponentsIdentifyTheProcessorOncePerProcess) {
    // Each component picks its kernels from the code when it is built; the code itself is found once.
    for (int i = 0; i < 4; ++i) {
        TQelAFSKDemod demod;
        TQelFIR fir;
        TQelDelayLine delay;
        TQelResampler resampler;
    }
    EXPECT_EQ(TQelCPUDetect::ProcessDetections(), 1);
    const TQelCPUDetect again;
    EXPECT_EQ(TQelCPUDetect::CurrentCode(), again.CPUCode);
    EXPECT_EQ(TQelCPUDetect::ProcessDetections(), 1);
}
