#pragma once
// The version table of a deliverable: a fixed record with the version numbers, the translation entry
// and the version strings, generated at configure time by korvanta_version_table() in CMake.
// Looked up by path as the about box does: "\" (fixed record), "\VarFileInfo\Translation",
// "\StringFileInfo\040904E4\ProductName" (path components compare without regard to case).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Fixed record, thirteen 32-bit fields (52 bytes), laid out as the version readers expect.
struct FixedFileInfo {
    uint32_t signature;         // 0xFEEF04BD
    uint32_t structVersion;     // 0x00010000
    uint32_t fileVersionMS;     // major << 16 | minor
    uint32_t fileVersionLS;     // patch << 16 | build
    uint32_t productVersionMS;
    uint32_t productVersionLS;
    uint32_t fileFlagsMask;
    uint32_t fileFlags;
    uint32_t fileOS;
    uint32_t fileType;
    uint32_t fileSubtype;
    uint32_t fileDateMS;
    uint32_t fileDateLS;
};
static_assert(sizeof(FixedFileInfo) == 52);

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFlagDebug = 0x01, kFlagPrerelease = 0x02, kFlagPrivateBuild = 0x08,
                   kFlagSpecialBuild = 0x20, kFlagsMaskAll = 0x3F;
constexpr uint32_t kOsNtWindows32 = 0x00040004;
constexpr uint32_t kTypeUnknown = 0, kTypeApp = 1, kTypeDll = 2, kTypeStaticLib = 7;

struct VersionString {
    const char* name;
    const char* value;
};

struct VersionTableData {
    uint16_t language;  // 0x0409
    uint16_t codePage;  // 1252
    FixedFileInfo fixed;
    const VersionString* strings;
    size_t stringCount;
};

class VersionTable {
public:
    explicit VersionTable(const VersionTableData& data);

    // The table generated into the module (program or shared library) that calls this;
    // nullptr when the module was built without one.
    static const VersionTable* Module();

    // Finds the block a path names: *data points at it and *length is its size in bytes
    // (52 for the fixed record, 4 for the translation, the string's length with its NUL).
    bool QueryValue(const std::string& path, const void** data, size_t* length) const;

    const FixedFileInfo& Fixed() const { return data_.fixed; }
    // Language in the low 16 bits, code page in the high 16 bits.
    uint32_t Translation() const { return uint32_t(data_.language) | uint32_t(data_.codePage) << 16; }
    // "040904E4": the translation as the string block's name.
    std::string TranslationKey() const;
    // A version string by name ("ProductVersion"), or nullopt when the table lacks it.
    std::optional<std::string> String(const std::string& name) const;

private:
    VersionTableData data_;
    uint16_t translation_[2];
};

}  // namespace platform

// Defined by the source korvanta_version_table() generates; hidden, so every module sees its own.
extern const platform::VersionTableData korvantaModuleVersionTable __attribute__((visibility("hidden")));
