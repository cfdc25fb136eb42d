#pragma once
// Processor identification: vendor, signature, a processor code from a fixed match table, a
// display name and the rate of a high-resolution timer. The signal components use only the code,
// to pick their inner routines once when they are built.
#include <cstdint>
#include <optional>
#include <string>

// The raw answers of the identification instruction, as (EAX, EBX, ECX, EDX) per leaf. Filled
// from the processor, or given by a test.
struct TQelCPUIDAnswers {
    bool Available = false;        // the instruction exists
    uint32_t Leaf0[4] = {};        // vendor in EBX, EDX, ECX
    uint32_t Leaf1[4] = {};        // signature in EAX, features in EDX
    uint32_t Ext0[4] = {};         // highest extended leaf in EAX
    uint32_t Brand[3][4] = {};     // leaves 0x80000002 to 0x80000004

    static TQelCPUIDAnswers FromProcessor();
};

class TQelCPUDetect {
public:
    static constexpr uint8_t MaxCode = 30;
    static constexpr uint32_t FeatureTSC = 1u << 4;  // time-stamp counter, EDX bit 4 of leaf 1

    TQelCPUDetect();                                  // asks this processor
    explicit TQelCPUDetect(const TQelCPUIDAnswers& answers);

    // Identification from the answers, then the timer calibration.
    void DetectCPU();

    // Ticks of the time-stamp counter when the processor has one, else of the monotonic clock;
    // TimerFrequency ticks per second.
    int64_t GetTimer_() const;

    static const char* CodeName(uint8_t code);    // "Unknown" for codes beyond the table
    static uint8_t MatchCode(const std::string& vendor, uint8_t family, uint8_t model, uint8_t type);

    // The processor code a signal component is built for: the injected one when set, otherwise
    // that of this processor. Injection lets every kernel run on any machine.
    static uint8_t CurrentCode();
    // How often CurrentCode has identified this processor in this process (once at most).
    static int ProcessDetections();
    static void InjectCode(std::optional<uint8_t> code);

    std::string Vendor;
    uint8_t CPUCode = 0;
    uint8_t Stepping = 0;
    uint8_t Model = 0;
    uint8_t Family = 0;
    uint8_t CPUType = 0;
    std::string CPUName;
    uint32_t Features = 0;
    int64_t TimerFrequency = 0;

private:
    TQelCPUIDAnswers answers_;
};

// Sets the injected processor code for its lifetime (tests, benchmarks).
class TQelCPUCodeScope {
public:
    explicit TQelCPUCodeScope(uint8_t code) { TQelCPUDetect::InjectCode(code); }
    ~TQelCPUCodeScope() { TQelCPUDetect::InjectCode(std::nullopt); }
    TQelCPUCodeScope(const TQelCPUCodeScope&) = delete;
    TQelCPUCodeScope& operator=(const TQelCPUCodeScope&) = delete;
};
