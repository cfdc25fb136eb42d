#pragma once
// Files that stand for per-user named objects (locks, service sockets) in $XDG_RUNTIME_DIR or /tmp.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// $XDG_RUNTIME_DIR when it is an existing absolute folder, else the user's own folder in /tmp
// (UserFolderIn("/tmp")).
std::filesystem::path RuntimeFolder();

// "<base>/korvanta-<uid>", made for this user alone (0700) when it is not there, and taken only when it
// is a folder (not a link) of this user's that no one else may enter. When another user holds that name
// (or it is a link, or open to others) a fresh folder of this process's own is made in base instead and
// standard error says once why: other programs of the user are not found there, but nothing is shared
// with whoever took the name. Empty when not even that folder can be made.
std::filesystem::path UserFolderIn(const std::filesystem::path& base);

// "korvanta-<kind>-<name>" in the runtime folder (with the user id when that is the folder in /tmp).
// Letters are folded to lower case, digits, '-' and '_' stay and every other byte becomes %XX, so no
// name reaches outside the folder and different names (ignoring case) never share a file. Names whose
// encoding is longer than maxEncoded are cut and given a hash.
std::filesystem::path RuntimeFile(const std::string& kind, const std::string& name, size_t maxEncoded = 200);

// The prefix RuntimeFile puts before the encoded name, and the name back from an encoded one
// (nullopt for a cut name or one that is not ours).
std::string RuntimeFilePrefix(const std::string& kind);
std::optional<std::string> DecodeRuntimeName(const std::string& encoded);

}  // namespace platform
