#pragma once
// Files that stand for per-user named objects (locks, service sockets) in $XDG_RUNTIME_DIR or /tmp.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// $XDG_RUNTIME_DIR when it is an existing absolute folder, else /tmp.
std::filesystem::path RuntimeFolder();

// "korvanta-<kind>-<name>" in the runtime folder (with the user id in /tmp, which every user shares).
// Letters are folded to lower case, digits, '-' and '_' stay and every other byte becomes %XX, so no
// name reaches outside the folder and different names (ignoring case) never share a file. Names whose
// encoding is longer than maxEncoded are cut and given a hash.
std::filesystem::path RuntimeFile(const std::string& kind, const std::string& name, size_t maxEncoded = 200);

// The prefix RuntimeFile puts before the encoded name, and the name back from an encoded one
// (nullopt for a cut name or one that is not ours).
std::string RuntimeFilePrefix(const std::string& kind);
std::optional<std::string> DecodeRuntimeName(const std::string& encoded);

}  // namespace platform
