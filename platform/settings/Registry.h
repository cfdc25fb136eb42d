#pragma once
// Per-user settings in keys and typed values, addressed by key paths such as
// "\Software\Korvanta Communications\Quenda\DTMF".
//
// Storage: every key below "\Software\Korvanta Communications" is one INI file,
// $XDG_CONFIG_HOME/Korvanta Communications/<key>/<subkey>.ini (~/.config when XDG_CONFIG_HOME is unset);
// a key's subkeys live in the folder of the same name beside its file. Key and value names compare
// without regard to ASCII case. Changes are kept in memory and written when the key is closed
// (CloseKey, OpenKey of another key, or destruction), merged into what is on disk at that moment and
// written atomically (temporary file, fsync, rename).
//
// Errors: Read* of a value that is absent, or of another type, throws RegistryError; ask ValueExists
// first where a missing value is expected. Integer and Boolean are both 32-bit numbers, so each reads
// the other (a Boolean is nonzero). Reading or writing with no key open throws RegistryError too.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class RegistryDataType { rdUnknown, rdInteger, rdBoolean, rdString, rdBinary };

class Registry {
public:
    Registry();
    ~Registry();  // closes the current key, writing its changes (errors are swallowed here)
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The folder that holds every key: $XDG_CONFIG_HOME/Korvanta Communications.
    static std::filesystem::path BaseFolder();

    // A path that begins with '\' is absolute; otherwise it is relative to the open key (or absolute
    // when none is open). Paths outside "\Software\Korvanta Communications\" or with an empty, "." or
    // ".." component, a '/' or a NUL are refused: KeyExists is false and OpenKey fails.
    bool KeyExists(const std::string& path) const;
    // Opens the key, creating it (and its parents) when canCreate; false when absent and not created.
    // An open key is closed first.
    bool OpenKey(const std::string& path, bool canCreate);
    // Writes pending changes and closes the key; throws RegistryError when the write fails (the key is
    // closed either way). Nothing happens without an open key.
    void CloseKey();
    bool HasCurrentKey() const { return open_; }
    std::string CurrentPath() const;  // "\Software\..." of the open key, empty when none

    bool ValueExists(const std::string& name) const;
    RegistryDataType GetDataType(const std::string& name) const;  // rdUnknown when absent
    std::vector<std::string> GetValueNames() const;
    std::vector<std::string> GetKeyNames() const;  // subkeys of the open key
    bool DeleteValue(const std::string& name);     // false when it was not there

    int32_t ReadInteger(const std::string& name) const;
    bool ReadBool(const std::string& name) const;
    std::string ReadString(const std::string& name) const;
    std::vector<uint8_t> ReadBinaryData(const std::string& name) const;
    // Copies at most size bytes into buffer and returns the value's full length.
    size_t ReadBinaryData(const std::string& name, void* buffer, size_t size) const;

    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value);
    void WriteString(const std::string& name, const std::string& value);
    void WriteBinaryData(const std::string& name, const void* data, size_t size);
    void WriteBinaryData(const std::string& name, const std::vector<uint8_t>& data)
    {
        WriteBinaryData(name, data.data(), data.size());
    }

    struct Value {
        RegistryDataType type = RegistryDataType::rdUnknown;
        int32_t number = 0;        // integer and Boolean
        std::string bytes;         // string and binary
    };

private:
    using ValueMap = std::map<std::string, std::pair<std::string, Value>>;  // folded name -> (name, value)

    std::optional<std::vector<std::string>> resolve(const std::string& path) const;
    std::filesystem::path fileOf(const std::vector<std::string>& components) const;
    std::optional<std::filesystem::path> findExisting(const std::vector<std::string>& components,
                                                      std::vector<std::string>* actual) const;
    const Value& need(const std::string& name) const;
    void requireOpen() const;
    void set(const std::string& name, Value v);
    void flush();
    static std::string CurrentPathOf(const std::vector<std::string>& components);

    std::filesystem::path base_;
    bool open_ = false;
    std::vector<std::string> components_;  // below the company key, as stored on disk
    std::filesystem::path file_;
    ValueMap values_;
    std::map<std::string, std::optional<std::pair<std::string, Value>>> changes_;  // nullopt = deleted
};

}  // namespace platform
