// A settings file as the user's configuration folder may hold it, damaged or edited by hand: every
// value that reads, written back into a new key, reads back the same.
#include "FuzzTarget.h"

#include "platform/settings/Registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fuzz {

namespace {

const char* const kKey = "\\Software\\Korvanta Communications\\Fuzz";
const char* const kBack = "\\Software\\Korvanta Communications\\Back";

// A configuration folder of our own, in memory where there is a file system there.
// (removed at exit).
struct TFolder {
    std::filesystem::path path;
    TFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : tmp ? tmp : "/tmp";
        path = base / ("korvanta-fuzz-settings-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        ::setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    }
    ~TFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& Folder()
{
    static const TFolder folder;
    return folder.path;
}

Bytes ReadFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using Values = std::vector<std::pair<std::string, platform::Registry::Value>>;

Values ReadAll(platform::Registry& r)
{
    Values values;
    for (const std::string& name : r.GetValueNames()) {
        platform::Registry::Value v;
        v.type = r.GetDataType(name);
        switch (v.type) {
        case platform::RegistryDataType::rdInteger: v.number = r.ReadInteger(name); break;
        case platform::RegistryDataType::rdBoolean: v.number = r.ReadBool(name); break;
        case platform::RegistryDataType::rdString: v.bytes = r.ReadString(name); break;
        case platform::RegistryDataType::rdBinary: {
            const std::vector<uint8_t> b = r.ReadBinaryData(name);
            v.bytes.assign(b.begin(), b.end());
            break;
        }
        case platform::RegistryDataType::rdUnknown: Fail("a listed value of no type");
        }
        values.emplace_back(name, v);
    }
    return values;
}

bool Same(const Values& a, const Values& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].first != b[i].first || a[i].second.type != b[i].second.type ||
            a[i].second.number != b[i].second.number || a[i].second.bytes != b[i].second.bytes)
            return false;
    return true;
}

}  // namespace

std::vector<Seed> Seeds()
{
    const std::filesystem::path file = Folder() / "Korvanta Communications" / "Fuzz.ini";
    std::error_code ec;
    std::filesystem::remove(file, ec);
    {
        platform::Registry r;
        Check(r.OpenKey(kKey, true), "cannot create the seed key");
        r.WriteInteger("Left", 120);
        r.WriteInteger("Negative", -2147483647 - 1);
        r.WriteBool("Maximized", true);
        r.WriteString("Font Name", "Courier New");
        r.WriteString("Odd=Name;[x]", "100% \xe9t\xe9\r\nsecond line");
        r.WriteBinaryData("Colors", std::vector<uint8_t>{0x00, 0xFF, 0x80, 0x7F, 0x10});
        r.CloseKey();
    }
    return {{"values", ReadFile(file)}, {"hand-edited", []{
        const std::string s = "; a comment\r\n[Section]\r\nA=int:1\r\nb=str:x%3Dy\r\nbad line\r\nC=hex:0a0B\r\n";
        return Bytes(s.begin(), s.end());
    }()}};
}

void Run(const uint8_t* data, size_t size)
{
    const std::filesystem::path folder = Folder() / "Korvanta Communications";
    std::filesystem::create_directories(folder);
    {
        std::ofstream out(folder / "Fuzz.ini", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::error_code ec;
    std::filesystem::remove(folder / "Back.ini", ec);

    Values values;
    {
        platform::Registry r;
        Check(r.OpenKey(kKey, false), "the key of an existing file does not open");
        values = ReadAll(r);
        Check(r.OpenKey(kBack, true), "cannot create the key to write back into");
        for (const auto& [name, v] : values) {
            switch (v.type) {
            case platform::RegistryDataType::rdInteger: r.WriteInteger(name, v.number); break;
            case platform::RegistryDataType::rdBoolean: r.WriteBool(name, v.number != 0); break;
            case platform::RegistryDataType::rdString: r.WriteString(name, v.bytes); break;
            case platform::RegistryDataType::rdBinary: r.WriteBinaryData(name, v.bytes.data(), v.bytes.size()); break;
            case platform::RegistryDataType::rdUnknown: break;
            }
        }
        r.CloseKey();
        Check(r.OpenKey(kBack, false), "the written key does not open");
        Check(Same(ReadAll(r), values), "the values read back differently");
    }
}

}  // namespace fuzz
