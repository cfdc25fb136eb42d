#pragma once
// Database files of many systems, and an unrelated copy beside a database, for the plug-ins' tests of
// damaged files and of other decoders' files.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "TestSupport.h"

// The header followed by the entries of systems 1 to n, each made by entry(identity).
inline std::vector<unsigned char> FileOfSystems(std::vector<unsigned char> header, uint16_t n,
                                                const std::function<std::vector<unsigned char>(uint16_t)>& entry)
{
    for (uint16_t id = 1; id <= n; ++id) {
        const std::vector<unsigned char> e = entry(id);
        header.insert(header.end(), e.begin(), e.end());
    }
    return header;
}

// Other bytes under the name a damaged database is first kept as, so that its copy must take the
// next name.
struct UnrelatedCopy {
    explicit UnrelatedCopy(const std::filesystem::path& database)
        : First(database.string() + ".damaged"), Next(database.string() + ".damaged.2")
    {
        testsupport::writeBytes(First, Bytes);
    }
    std::filesystem::path First, Next;
    std::vector<unsigned char> Bytes{'o', 'l', 'd', ' ', 'c', 'o', 'p', 'y'};
};
