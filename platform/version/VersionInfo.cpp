#include "platform/version/VersionInfo.h"

#include <cstdio>
#include <cstring>
#include <vector>

// A module without a generated table leaves this weak reference unresolved (null).
extern const platform::VersionTableData korvantaModuleVersionTable __attribute__((weak, visibility("hidden")));

namespace platform {

namespace {

bool sameText(const std::string& a, const char* b)
{
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (c == '\\') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

}  // namespace

VersionTable::VersionTable(const VersionTableData& data)
    : data_(data), translation_{data.language, data.codePage}
{
}

const VersionTable* VersionTable::Module()
{
    if (&korvantaModuleVersionTable == nullptr)
        return nullptr;
    static const VersionTable table(korvantaModuleVersionTable);
    return &table;
}

std::string VersionTable::TranslationKey() const
{
    char key[9];
    std::snprintf(key, sizeof key, "%04X%04X", unsigned(data_.language), unsigned(data_.codePage));
    return key;
}

std::optional<std::string> VersionTable::String(const std::string& name) const
{
    for (size_t i = 0; i < data_.stringCount; ++i)
        if (sameText(name, data_.strings[i].name))
            return std::string(data_.strings[i].value);
    return std::nullopt;
}

bool VersionTable::QueryValue(const std::string& path, const void** data, size_t* length) const
{
    const void* found = nullptr;
    size_t size = 0;
    std::vector<std::string> parts = splitPath(path);
    if (parts.empty()) {
        found = &data_.fixed;
        size = sizeof data_.fixed;
    } else if (parts.size() == 2 && sameText(parts[0], "VarFileInfo") && sameText(parts[1], "Translation")) {
        found = translation_;
        size = sizeof translation_;
    } else if (parts.size() == 3 && sameText(parts[0], "StringFileInfo") &&
               sameText(parts[1], TranslationKey().c_str())) {
        for (size_t i = 0; i < data_.stringCount; ++i)
            if (sameText(parts[2], data_.strings[i].name)) {
                found = data_.strings[i].value;
                size = std::strlen(data_.strings[i].value) + 1;
                break;
            }
    }
    if (!found)
        return false;
    if (data)
        *data = found;
    if (length)
        *length = size;
    return true;
}

}  // namespace platform
