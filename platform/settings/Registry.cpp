#include "platform/settings/Registry.h"

#include "platform/instance/RuntimeName.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {

namespace {

const char* const kCompany = "Korvanta Communications";
constexpr std::uintmax_t kMaxFileSize = 16u << 20;  // a settings file beyond this is not ours

std::string fold(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool safeComponent(const std::string& c)
{
    return !c.empty() && c != "." && c != ".." && c.find('/') == std::string::npos &&
           c.find('\0') == std::string::npos;
}

// Bytes that would break a line or the name=value split are written as %XX.
std::string escape(const std::string& in)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(in.size());
    for (unsigned char c : in) {
        if (c < 0x20 || c >= 0x7F || c == '%' || c == '=' || c == ';' || c == '[') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescape(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        int hi = i + 1 < in.size() ? hexDigit(in[i + 1]) : -1;
        int lo = i + 2 < in.size() ? hexDigit(in[i + 2]) : -1;
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::string toHex(const std::string& bytes)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

std::optional<std::string> fromHex(std::string_view in)
{
    if (in.size() % 2)
        return std::nullopt;
    std::string out;
    out.reserve(in.size() / 2);
    for (size_t i = 0; i < in.size(); i += 2) {
        int hi = hexDigit(in[i]), lo = hexDigit(in[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
    }
    return out;
}

std::optional<Registry::Value> parseValue(std::string_view text)
{
    size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view kind = text.substr(0, colon), data = text.substr(colon + 1);
    Registry::Value v;
    if (kind == "int" || kind == "bool") {
        int32_t n = 0;
        auto [end, ec] = std::from_chars(data.data(), data.data() + data.size(), n);
        if (ec != std::errc() || end != data.data() + data.size())
            return std::nullopt;
        v.type = kind == "int" ? RegistryDataType::rdInteger : RegistryDataType::rdBoolean;
        v.number = n;
    } else if (kind == "str") {
        auto s = unescape(data);
        if (!s)
            return std::nullopt;
        v.type = RegistryDataType::rdString;
        v.bytes = std::move(*s);
    } else if (kind == "hex") {
        auto s = fromHex(data);
        if (!s)
            return std::nullopt;
        v.type = RegistryDataType::rdBinary;
        v.bytes = std::move(*s);
    } else {
        return std::nullopt;
    }
    return v;
}

std::string formatValue(const Registry::Value& v)
{
    switch (v.type) {
    case RegistryDataType::rdInteger: return "int:" + std::to_string(v.number);
    case RegistryDataType::rdBoolean: return "bool:" + std::to_string(v.number ? 1 : 0);
    case RegistryDataType::rdString: return "str:" + escape(v.bytes);
    case RegistryDataType::rdBinary: return "hex:" + toHex(v.bytes);
    case RegistryDataType::rdUnknown: break;
    }
    return {};
}

// Lines that do not parse are skipped, so a damaged file loses only its damaged values.
std::map<std::string, std::pair<std::string, Registry::Value>> loadFile(const fs::path& file)
{
    std::map<std::string, std::pair<std::string, Registry::Value>> values;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > kMaxFileSize)
        return values;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '[')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        auto name = unescape(std::string_view(line).substr(0, eq));
        auto value = parseValue(std::string_view(line).substr(eq + 1));
        if (name && value)
            values[fold(*name)] = {*name, *value};
    }
    return values;
}

// Settings that cannot be written would be lost without a word: the first time in a run, standard
// error says so, naming the folder; the program goes on without them.
void tellNotSaved(const fs::path& folder, const std::string& why)
{
    static std::atomic<bool> told{false};
    if (told.exchange(true))
        return;
    std::fprintf(stderr, "%s: settings are not saved: %s %s (%s)\n", program_invocation_short_name,
                 fs::is_directory(folder) ? "cannot write in the folder" : "cannot create the folder",
                 folder.c_str(), why.c_str());
}

// The system's reason at the end of a write error's text.
std::string reasonOf(const RegistryError& e)
{
    const std::string text = e.what();
    const size_t colon = text.rfind(": ");
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

void writeAtomically(const fs::path& file, const std::string& content)
{
    std::string tmpl = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw RegistryError("cannot write settings file " + file.string() + ": " + std::strerror(errno));
    const char* p = content.data();
    size_t left = content.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::fchmod(fd, 0600);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(name.data(), file.c_str()) != 0) {
        int err = errno;
        ::unlink(name.data());
        throw RegistryError("cannot write settings file " + file.string() + ": " + std::strerror(err));
    }
    int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// The entry of folder whose name equals want regardless of case (an exact match first).
std::optional<std::string> findEntry(const fs::path& folder, const std::string& want, bool wantFile)
{
    std::error_code ec;
    const std::string target = wantFile ? want + ".ini" : want;
    fs::path exact = folder / target;
    if (wantFile ? fs::is_regular_file(exact, ec) : fs::is_directory(exact, ec))
        return want;
    const std::string folded = fold(target);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string n = it->path().filename().string();
        bool kindOk = wantFile ? it->is_regular_file(ec) : it->is_directory(ec);
        if (kindOk && fold(n) == folded)
            return wantFile ? n.substr(0, n.size() - 4) : n;
    }
    return std::nullopt;
}

}  // namespace

Registry::Registry() : base_(BaseFolder()) {}

Registry::~Registry()
{
    try {
        CloseKey();
    } catch (const RegistryError&) {
        // nothing sensible to do with a failed write while being destroyed
    }
}

fs::path Registry::BaseFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path config;
    if (xdg && *xdg == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : nullptr;
        }
        // A user with no home keeps the settings in a folder of the user's alone, not in /tmp itself.
        config = (home && *home ? fs::path(home) : UserFolderIn("/tmp")) / ".config";
    }
    return config / kCompany;
}

std::optional<std::vector<std::string>> Registry::resolve(const std::string& path) const
{
    std::vector<std::string> parts;
    bool absolute = !path.empty() && path[0] == '\\';
    if (!absolute && open_) {
        parts = {"Software", kCompany};
        parts.insert(parts.end(), components_.begin(), components_.end());
    }
    std::string rest = absolute ? path.substr(1) : path;
    if (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    if (!rest.empty()) {
        size_t start = 0;
        while (true) {
            size_t bs = rest.find('\\', start);
            std::string c = rest.substr(start, bs == std::string::npos ? std::string::npos : bs - start);
            if (!safeComponent(c))
                return std::nullopt;
            parts.push_back(c);
            if (bs == std::string::npos)
                break;
            start = bs + 1;
        }
    }
    if (parts.size() < 2 || fold(parts[0]) != "software" || fold(parts[1]) != fold(kCompany))
        return std::nullopt;
    return std::vector<std::string>(parts.begin() + 2, parts.end());
}

std::optional<fs::path> Registry::findExisting(const std::vector<std::string>& components,
                                               std::vector<std::string>* actual) const
{
    fs::path folder = base_;
    std::vector<std::string> names;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        auto n = findEntry(folder, components[i], false);
        if (!n)
            return std::nullopt;
        names.push_back(*n);
        folder /= *n;
    }
    const std::string& last = components.back();
    auto n = findEntry(folder, last, true);
    if (!n)
        n = findEntry(folder, last, false);
    if (!n)
        return std::nullopt;
    names.push_back(*n);
    if (actual)
        *actual = names;
    return folder / (*n + ".ini");
}

bool Registry::KeyExists(const std::string& path) const
{
    auto comps = resolve(path);
    if (!comps)
        return false;
    std::error_code ec;
    if (comps->empty())
        return fs::is_directory(base_, ec);
    return findExisting(*comps, nullptr).has_value();
}

bool Registry::OpenKey(const std::string& path, bool canCreate)
{
    auto comps = resolve(path);  // before closing: a relative path is taken from the open key
    CloseKey();
    if (!comps || comps->empty())
        return false;
    std::vector<std::string> actual;
    auto file = findExisting(*comps, &actual);
    if (!file) {
        if (!canCreate)
            return false;
        // Keep the spelling of the parents that exist; create the rest as given.
        fs::path folder = base_;
        actual.clear();
        std::error_code ec;
        for (size_t i = 0; i < comps->size(); ++i) {
            bool last = i + 1 == comps->size();
            auto n = findEntry(folder, (*comps)[i], last);
            std::string name = n ? *n : (*comps)[i];
            actual.push_back(name);
            if (!last)
                folder /= name;
        }
        fs::create_directories(folder, ec);
        if (ec) {
            tellNotSaved(folder, ec.message());
            return false;
        }
        file = folder / (actual.back() + ".ini");
        try {
            writeAtomically(*file, "; " + std::string("settings key ") + actual.back() + "\n");
        } catch (const RegistryError& e) {
            tellNotSaved(folder, reasonOf(e));
            return false;
        }
    }
    components_ = actual;
    file_ = *file;
    values_ = loadFile(file_);
    changes_.clear();
    open_ = true;
    return true;
}

void Registry::CloseKey()
{
    if (!open_)
        return;
    open_ = false;
    struct Reset {
        Registry* r;
        ~Reset()
        {
            r->components_.clear();
            r->values_.clear();
            r->changes_.clear();
            r->file_.clear();
        }
    } reset{this};
    flush();
}

void Registry::flush()
{
    if (changes_.empty())
        return;
    // Merge into what is on disk now, so two programs that change different values of a key keep both.
    auto merged = loadFile(file_);
    for (const auto& [key, change] : changes_) {
        if (change)
            merged[key] = *change;
        else
            merged.erase(key);
    }
    std::ostringstream out;
    out << "; settings key " << escape(CurrentPathOf(components_)) << "\n";
    for (const auto& [key, entry] : merged)
        out << escape(entry.first) << '=' << formatValue(entry.second) << '\n';
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    try {
        writeAtomically(file_, out.str());
    } catch (const RegistryError& e) {
        tellNotSaved(file_.parent_path(), ec ? ec.message() : reasonOf(e));
        throw;
    }
    values_ = std::move(merged);
    changes_.clear();
}

std::string Registry::CurrentPath() const
{
    if (!open_)
        return {};
    return CurrentPathOf(components_);
}

std::string Registry::CurrentPathOf(const std::vector<std::string>& components)
{
    std::string p = std::string("\\Software\\") + kCompany;
    for (const auto& c : components)
        p += "\\" + c;
    return p;
}

void Registry::requireOpen() const
{
    if (!open_)
        throw RegistryError("no settings key is open");
}

bool Registry::ValueExists(const std::string& name) const
{
    return open_ && values_.count(fold(name)) != 0;
}

RegistryDataType Registry::GetDataType(const std::string& name) const
{
    if (!open_)
        return RegistryDataType::rdUnknown;
    auto it = values_.find(fold(name));
    return it == values_.end() ? RegistryDataType::rdUnknown : it->second.second.type;
}

std::vector<std::string> Registry::GetValueNames() const
{
    std::vector<std::string> names;
    if (open_)
        for (const auto& [key, entry] : values_)
            names.push_back(entry.first);
    return names;
}

std::vector<std::string> Registry::GetKeyNames() const
{
    std::vector<std::string> names;
    if (!open_)
        return names;
    std::map<std::string, std::string> unique;
    std::error_code ec;
    fs::path folder = file_.parent_path() / components_.back();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string n = it->path().filename().string();
        if (n.empty() || n[0] == '.')
            continue;
        if (it->is_regular_file(ec) && n.size() > 4 && n.compare(n.size() - 4, 4, ".ini") == 0)
            n.resize(n.size() - 4);
        else if (!it->is_directory(ec))
            continue;
        unique.emplace(fold(n), n);
    }
    for (auto& [key, n] : unique)
        names.push_back(n);
    return names;
}

bool Registry::DeleteValue(const std::string& name)
{
    requireOpen();
    const std::string key = fold(name);
    bool had = values_.erase(key) != 0;
    if (had)
        changes_[key] = std::nullopt;
    return had;
}

const Registry::Value& Registry::need(const std::string& name) const
{
    requireOpen();
    auto it = values_.find(fold(name));
    if (it == values_.end())
        throw RegistryError("Value '" + name + "' does not exist");
    return it->second.second;
}

int32_t Registry::ReadInteger(const std::string& name) const
{
    const Value& v = need(name);
    if (v.type != RegistryDataType::rdInteger && v.type != RegistryDataType::rdBoolean)
        throw RegistryError("Invalid data type for '" + name + "'");
    return v.number;
}

bool Registry::ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }

std::string Registry::ReadString(const std::string& name) const
{
    const Value& v = need(name);
    if (v.type != RegistryDataType::rdString)
        throw RegistryError("Invalid data type for '" + name + "'");
    return v.bytes;
}

std::vector<uint8_t> Registry::ReadBinaryData(const std::string& name) const
{
    const Value& v = need(name);
    if (v.type != RegistryDataType::rdBinary)
        throw RegistryError("Invalid data type for '" + name + "'");
    return std::vector<uint8_t>(v.bytes.begin(), v.bytes.end());
}

size_t Registry::ReadBinaryData(const std::string& name, void* buffer, size_t size) const
{
    const Value& v = need(name);
    if (v.type != RegistryDataType::rdBinary)
        throw RegistryError("Invalid data type for '" + name + "'");
    if (buffer && size)
        std::memcpy(buffer, v.bytes.data(), std::min(size, v.bytes.size()));
    return v.bytes.size();
}

void Registry::set(const std::string& name, Value v)
{
    requireOpen();
    const std::string key = fold(name);
    auto it = values_.find(key);
    std::string stored = it == values_.end() ? name : it->second.first;  // keep the first spelling
    values_[key] = {stored, v};
    changes_[key] = std::make_pair(stored, std::move(v));
}

void Registry::WriteInteger(const std::string& name, int32_t value)
{
    set(name, Value{RegistryDataType::rdInteger, value, {}});
}

void Registry::WriteBool(const std::string& name, bool value)
{
    set(name, Value{RegistryDataType::rdBoolean, value ? 1 : 0, {}});
}

void Registry::WriteString(const std::string& name, const std::string& value)
{
    set(name, Value{RegistryDataType::rdString, 0, value});
}

void Registry::WriteBinaryData(const std::string& name, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    set(name, Value{RegistryDataType::rdBinary, 0, size && p ? std::string(p, size) : std::string()});
}

}  // namespace platform
