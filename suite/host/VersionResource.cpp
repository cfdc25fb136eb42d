#include "VersInfo.h"

// The build's version table for the program, in the shape of a version resource.
const TVersionResource* ProgramVersionResource()
{
    static const TVersionResource resource = [] {
        TVersionResource r;
        r.Translations = {{0x0809, 0x04E4}};
        r.Fixed.assign(52, 0);
        const uint32_t signature = 0xFEEF04BD;
        for (int i = 0; i < 4; ++i)
            r.Fixed[size_t(i)] = uint8_t(signature >> (8 * i));
        const std::string prefix = "\\StringFileInfo\\080904e4\\";
        r.Strings[prefix + "CompanyName"] = "Korvanta Communications";
        r.Strings[prefix + "FileDescription"] = "Korvanta Quenda";
        r.Strings[prefix + "FileVersion"] = QUENDA_VERSION;
        r.Strings[prefix + "InternalName"] = "quenda";
        r.Strings[prefix + "OriginalFilename"] = "quenda";
        r.Strings[prefix + "ProductName"] = "Korvanta Quenda";
        r.Strings[prefix + "ProductVersion"] = QUENDA_VERSION;
        return r;
    }();
    return &resource;
}
