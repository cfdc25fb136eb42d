#include "VersInfo.h"

#include "platform/version/VersionInfo.h"

#include <cstdio>

namespace {

const char* const kStringNames[] = {"CompanyName",      "FileDescription", "FileVersion", "InternalName",
                                    "LegalCopyright",   "LegalTrademarks", "OriginalFilename",
                                    "ProductName",      "ProductVersion",  "Comments"};

// The module's generated table in the shape the version readers take it.
TVersionResource FromTable(const platform::VersionTable& table)
{
    TVersionResource r;
    const uint32_t translation = table.Translation();
    const uint16_t language = uint16_t(translation & 0xFFFF);
    const uint16_t codePage = uint16_t(translation >> 16);
    r.Translations = {{language, codePage}};
    const platform::FixedFileInfo& f = table.Fixed();
    for (uint32_t field : {f.signature, f.structVersion, f.fileVersionMS, f.fileVersionLS, f.productVersionMS,
                           f.productVersionLS, f.fileFlagsMask, f.fileFlags, f.fileOS, f.fileType, f.fileSubtype,
                           f.fileDateMS, f.fileDateLS})
        for (int shift = 0; shift < 32; shift += 8)
            r.Fixed.push_back(uint8_t(field >> shift));
    char block[16];
    std::snprintf(block, sizeof block, "%.4x%.4x", unsigned(language), unsigned(codePage));
    const std::string prefix = std::string("\\StringFileInfo\\") + block + "\\";
    for (const char* name : kStringNames)
        if (std::optional<std::string> value = table.String(name))
            r.Strings[prefix + name] = *value;
    return r;
}

}  // namespace

const TVersionResource* ProgramVersionResource()
{
    static const std::optional<TVersionResource> resource = []() -> std::optional<TVersionResource> {
        if (const platform::VersionTable* table = platform::VersionTable::Module())
            return FromTable(*table);
        return std::nullopt;
    }();
    return resource ? &*resource : nullptr;
}
