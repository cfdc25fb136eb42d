#include "platform/version/VersionInfo.h"

#include "TestSupport.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

const platform::VersionTable& table()
{
    const platform::VersionTable* t = platform::VersionTable::Module();
    if (!t)
        throw std::runtime_error("no version table");
    return *t;
}

// Reads a string the way the about box does: translation first, then the string block it names.
std::string aboutBoxString(const std::string& name)
{
    const void* data = nullptr;
    size_t length = 0;
    if (!table().QueryValue("\\VarFileInfo\\Translation", &data, &length) || length < 4)
        return "<no translation>";
    uint32_t entry;
    std::memcpy(&entry, data, 4);
    char path[96];
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%.4x%.4x\\%s", entry & 0xFFFF, entry >> 16,
                  name.c_str());
    if (!table().QueryValue(path, &data, &length))
        return "";
    EXPECT_EQ(length, std::strlen(static_cast<const char*>(data)) + 1);
    return static_cast<const char*>(data);
}

TEST(VersionTable, StringsAsTheAboutBoxReadsThem)
{
    struct Case {
        const char* name;
        const char* value;
    } cases[] = {
        {"ProductName", "Korvanta Quenda"},
        {"ProductVersion", "2.7.65535.0"},
        {"FileVersion", "2.7.65535.0"},
        {"FileDescription", "Sound \"decoder\" suite\\test"},
        {"InternalName", "quenda"},
        {"OriginalFilename", "quenda"},
        {"CompanyName", "Korvanta Communications"},
        {"LegalCopyright", "Copyright (C) Korvanta Communications"},
        {"Comments", "100% tested"},
        {"LegalTrademarks", ""},  // not given: the lookup fails and the label stays empty
        {"NoSuchString", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(aboutBoxString(c.name), c.value) << c.name;
    EXPECT_FALSE(table().String("LegalTrademarks").has_value());
    EXPECT_EQ(table().String("productname"), "Korvanta Quenda");
}

TEST(VersionTable, TranslationAndFixedRecord)
{
    EXPECT_EQ(table().Translation(), 0x04E40409u);
    EXPECT_EQ(table().TranslationKey(), "040904E4");

    const void* data = nullptr;
    size_t length = 0;
    ASSERT_TRUE(table().QueryValue("\\", &data, &length));
    ASSERT_GE(length, 52u);
    platform::FixedFileInfo f;
    std::memcpy(&f, data, sizeof f);
    EXPECT_EQ(f.signature, 0xFEEF04BDu);
    EXPECT_EQ(f.fileVersionMS, 0x00020007u);
    EXPECT_EQ(f.fileVersionLS, 0xFFFF0000u);
    EXPECT_EQ(f.productVersionMS, f.fileVersionMS);
    EXPECT_EQ(f.productVersionLS, f.fileVersionLS);
    EXPECT_EQ(f.fileFlagsMask, 0x3Fu);
    EXPECT_EQ(f.fileFlags, 0u);
    EXPECT_EQ(f.fileType, platform::kTypeApp);
}

TEST(VersionTable, PathLookupRules)
{
    struct Case {
        const char* path;
        bool found;
    } cases[] = {
        {"\\StringFileInfo\\040904E4\\ProductName", true},
        {"\\StringFileInfo\\040904e4\\productname", true},
        {"\\stringfileinfo\\040904E4\\ProductName", true},
        {"\\StringFileInfo\\040704E4\\ProductName", false},  // another language
        {"\\StringFileInfo\\040904E4", false},
        {"\\StringFileInfo\\040904E4\\ProductName\\More", false},
        {"\\VarFileInfo\\Translation", true},
        {"\\VarFileInfo", false},
        {"", true},
        {"\\Unknown", false},
    };
    for (const auto& c : cases) {
        const void* data = reinterpret_cast<const void*>(1);
        size_t length = 12345;
        EXPECT_EQ(table().QueryValue(c.path, &data, &length), c.found) << c.path;
        if (!c.found) {
            EXPECT_EQ(data, reinterpret_cast<const void*>(1)) << c.path;
            EXPECT_EQ(length, 12345u) << c.path;
        }
    }
}

TEST(VersionTable, EachModuleReadsItsOwnTable)
{
    void* lib = ::dlopen(testsupport::libPath("libversion_probe.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << ::dlerror();
    auto name = reinterpret_cast<const char* (*)()>(::dlsym(lib, "probeProductName"));
    auto flags = reinterpret_cast<uint32_t (*)()>(::dlsym(lib, "probeFileFlags"));
    ASSERT_NE(name, nullptr);
    ASSERT_NE(flags, nullptr);
    EXPECT_STREQ(name(), "Probe");
    EXPECT_EQ(flags(), 0x21u);
    EXPECT_EQ(table().String("ProductName"), "Korvanta Quenda");
    ::dlclose(lib);
}

}  // namespace
