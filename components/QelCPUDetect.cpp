#include "QelCPUDetect.h"

#include <atomic>
#include <cstring>
#include <time.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define QEL_X86 1
#endif

namespace {

std::atomic<int> gProcessDetections{0};

const char* const kNames[TQelCPUDetect::MaxCode + 1] = {
    "Unknown",       "Generic 386",      "Generic 486",   "Generic 586",   "Generic 686",
    "Intel CPU",     "Intel 386",        "Intel 486",     "Intel Pentium", "Intel PentiumPro",
    "Intel PentiumII", "Intel Celeron",  "AMD CPU",       "AMD 386",       "AMD 486",
    "AMD 5x86",      "AMD K5",           "AMD K6",        "AMD K6-2",      "AMD K6-III",
    "Cyrix CPU",     "Cyrix 486",        "Cyrix 5x86",    "Cyrix 6x86",    "Cyrix 6x86-MX",
    "Cyrix 6x86-GXm", "Cyrix MediaGX",   "NexGen CPU",    "Nexen 5x86",    "UMC CPU",
    "UMC 486",
};

// One row of the match table; a field with value -1 is not checked (stepping never is).
struct MatchRow {
    const char* vendor;
    int family, model, type;
    uint8_t code;
};

const MatchRow kRows[] = {
    {"GenuineIntel", 4, -1, 0, 7},   {"GenuineIntel", 5, -1, 0, 8},   {"GenuineIntel", 6, 1, 0, 9},
    {"GenuineIntel", 6, 3, 0, 10},   {"GenuineIntel", 6, 6, 0, 11},   {"GenuineIntel", -1, -1, -1, 5},
    {"AuthenticAMD", 4, -1, -1, 14}, {"AuthenticAMD", 5, 0, -1, 16},  {"AuthenticAMD", 5, 1, -1, 16},
    {"AuthenticAMD", 5, 2, -1, 16},  {"AuthenticAMD", 5, 3, -1, 16},  {"AuthenticAMD", 5, 6, -1, 17},
    {"AuthenticAMD", 5, 7, -1, 17},  {"AuthenticAMD", 5, 8, -1, 17},  {"AuthenticAMD", 5, 9, -1, 17},
    {"AuthenticAMD", -1, -1, -1, 12}, {"CyrixInstead", 4, 4, -1, 26}, {"CyrixInstead", 5, 2, -1, 23},
    {"CyrixInstead", 5, 4, -1, 25},  {"CyrixInstead", 6, 0, -1, 24},  {"CyrixInstead", -1, -1, -1, 20},
    {"NexGenDriven", -1, -1, -1, 28}, {"UMC UMC UMC ", -1, -1, -1, 30},
};

std::atomic<int> gInjected{-1};

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t timeStampCounter() {
#ifdef QEL_X86
    return static_cast<int64_t>(__rdtsc());
#else
    return monotonicNs();
#endif
}

void appendRegisters(std::string& s, const uint32_t (&regs)[4]) {
    for (uint32_t r : regs)
        for (int b = 0; b < 4; ++b) s.push_back(static_cast<char>((r >> (8 * b)) & 0xFF));
}

}  // namespace

TQelCPUIDAnswers TQelCPUIDAnswers::FromProcessor() {
    TQelCPUIDAnswers a;
#ifdef QEL_X86
    // __get_cpuid_max checks that the instruction exists (flag bit 21) where that is in doubt.
    if (__get_cpuid_max(0, nullptr) == 0) return a;
    a.Available = true;
    __cpuid(0, a.Leaf0[0], a.Leaf0[1], a.Leaf0[2], a.Leaf0[3]);
    __cpuid(1, a.Leaf1[0], a.Leaf1[1], a.Leaf1[2], a.Leaf1[3]);
    __cpuid(0x80000000u, a.Ext0[0], a.Ext0[1], a.Ext0[2], a.Ext0[3]);
    for (uint32_t i = 0; i < 3; ++i)
        if (a.Ext0[0] >= 0x80000002u + i)
            __cpuid(0x80000002u + i, a.Brand[i][0], a.Brand[i][1], a.Brand[i][2], a.Brand[i][3]);
#endif
    return a;
}

TQelCPUDetect::TQelCPUDetect() : answers_(TQelCPUIDAnswers::FromProcessor()) { DetectCPU(); }

TQelCPUDetect::TQelCPUDetect(const TQelCPUIDAnswers& answers) : answers_(answers) { DetectCPU(); }

const char* TQelCPUDetect::CodeName(uint8_t code) { return code <= MaxCode ? kNames[code] : kNames[0]; }

uint8_t TQelCPUDetect::MatchCode(const std::string& vendor, uint8_t family, uint8_t model, uint8_t type) {
    for (const MatchRow& r : kRows) {
        if (vendor != r.vendor) continue;
        if (r.family >= 0 && family != r.family) continue;
        if (r.model >= 0 && model != r.model) continue;
        if (r.type >= 0 && type != r.type) continue;
        return r.code;
    }
    return 0;
}

void TQelCPUDetect::DetectCPU() {
    Vendor.clear();
    CPUName.clear();
    CPUCode = Stepping = Model = Family = CPUType = 0;
    Features = 0;
    bool brandPresent = false;
    std::string brand;

    if (answers_.Available) {
        const uint32_t vendorRegs[4] = {answers_.Leaf0[1], answers_.Leaf0[3], answers_.Leaf0[2], 0};
        appendRegisters(Vendor, vendorRegs);
        Vendor.resize(12);
        const uint32_t sig = answers_.Leaf1[0];
        Stepping = sig & 0xF;
        Model = (sig >> 4) & 0xF;
        Family = (sig >> 8) & 0xF;
        CPUType = (sig >> 12) & 0x3;
        Features = answers_.Leaf1[3];

        const uint32_t highest = answers_.Ext0[0];
        if (highest > 0x80000000u && highest >= 0x80000002u) {
            brandPresent = true;
            for (uint32_t i = 0; i < 3 && highest >= 0x80000002u + i; ++i) appendRegisters(brand, answers_.Brand[i]);
            const auto zero = brand.find('\0');
            if (zero != std::string::npos) brand.resize(zero);
        }
        CPUCode = MatchCode(Vendor, Family, Model, CPUType);
    }
    CPUName = brandPresent ? brand : CodeName(CPUCode);

    TimerFrequency = 1000000000;  // the monotonic clock counts nanoseconds
    if (Features & FeatureTSC) {
        const int64_t p0 = monotonicNs();
        const int64_t c0 = timeStampCounter();
        for (uint32_t i = 0; i < 10000000u; ++i) __asm__ volatile("" : "+r"(i));  // kept, not folded away
        const int64_t p1 = monotonicNs();
        const int64_t c1 = timeStampCounter();
        if (p1 > p0)  // product first, widened so that a slow loop cannot overflow it
            TimerFrequency = static_cast<int64_t>(static_cast<__int128>(c1 - c0) * TimerFrequency / (p1 - p0));
    }
}

int64_t TQelCPUDetect::GetTimer_() const {
    return (Features & FeatureTSC) ? timeStampCounter() : monotonicNs();
}

uint8_t TQelCPUDetect::CurrentCode() {
    const int injected = gInjected.load();
    if (injected >= 0) return static_cast<uint8_t>(injected);
    // The processor does not change while the program runs: identified (and the timer calibrated)
    // once, on the first component built.
    static const uint8_t code = [] {
        gProcessDetections.fetch_add(1);
        return TQelCPUDetect().CPUCode;
    }();
    return code;
}

int TQelCPUDetect::ProcessDetections() { return gProcessDetections.load(); }

void TQelCPUDetect::InjectCode(std::optional<uint8_t> code) { gInjected.store(code ? *code : -1); }
