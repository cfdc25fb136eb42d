#include "WaveScript.h"

#include "WavFile.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace platform {

namespace {

std::mutex& scriptMutex()
{
    static std::mutex m;
    return m;
}

std::shared_ptr<WaveScript>& inProcessScript()
{
    static std::shared_ptr<WaveScript> s;
    return s;
}

std::string rest(std::istringstream& words)
{
    std::string text;
    std::getline(words, text);
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool toNumber(const std::string& text, long* value)
{
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' && errno == 0 && *value <= 0x7FFFFFFF && *value >= -0x7FFFFFFF;
}

bool readSamples(const std::filesystem::path& file, std::vector<uint8_t>* out, std::string* error)
{
    WavInfo info;
    uint64_t offset = 0;
    uint64_t size;
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(file, ec);
    if (ec) {
        *error = "cannot read samples file \"" + file.string() + "\"";
        return false;
    }
    std::string ignored;
    if (readWavInfo(file, &info, &ignored)) {
        offset = info.dataOffset;
        size = info.dataSize;
    } else {
        size = fileSize;
    }
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    const size_t at = out->size();
    out->resize(at + size);
    if (!in.read(reinterpret_cast<char*>(out->data() + at), static_cast<std::streamsize>(size))) {
        out->resize(at);
        *error = "cannot read samples file \"" + file.string() + "\"";
        return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<WaveScript> WaveScript::load(const std::filesystem::path& file)
{
    auto script = std::make_shared<WaveScript>();
    std::ifstream in(file);
    if (!in) {
        script->loadError = "Wave script \"" + file.string() + "\" cannot be read.";
        return script;
    }
    const std::filesystem::path folder = file.parent_path();
    auto near = [&](const std::string& name) {
        std::filesystem::path p(name);
        return p.is_relative() ? folder / p : p;
    };
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream words(line);
        std::string command;
        if (!(words >> command) || command[0] == '#')
            continue;
        std::string error;
        if (command == "name") {
            script->inName = rest(words);
        } else if (command == "out_name") {
            script->outName = rest(words);
        } else if (command == "fail_opens") {
            std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
            long k = -1, code = kWaveAllocated;
            bool ok = args.size() == 1 || args.size() == 2;
            if (ok)
                ok = toNumber(args[0], &k) && k >= 0 && (args.size() == 1 || (toNumber(args[1], &code) && code >= 0));
            if (!ok)
                error = "fail_opens wants a count and an optional code";
            else {
                script->failOpens = static_cast<uint32_t>(k);
                script->failCode = static_cast<uint32_t>(code);
            }
        } else if (command == "samples") {
            const std::string name = rest(words);
            if (name.empty())
                error = "samples wants a file";
            else
                readSamples(near(name), &script->samples, &error);
        } else if (command == "values") {
            std::vector<int16_t> values;
            bool ok = true;
            for (std::string word; ok && words >> word;) {
                long v = 0;
                ok = toNumber(word, &v) && v >= -32768 && v <= 32767;
                values.push_back(static_cast<int16_t>(v));
            }
            if (!ok)
                error = "values wants signed 16-bit numbers";
            else
                script->addValues(values);
        } else if (command == "silence_at_end") {
            script->silenceAtEnd = true;
        } else if (command == "record") {
            const std::string name = rest(words);
            if (name.empty())
                error = "record wants a file";
            else
                script->logFile = near(name);
        } else {
            error = "unknown command \"" + command + "\"";
        }
        if (!error.empty()) {
            script->loadError = "Wave script \"" + file.string() + "\", line " + std::to_string(number) + ": " + error + ".";
            return script;
        }
    }
    return script;
}

void WaveScript::addValues(const std::vector<int16_t>& values)
{
    for (int16_t v : values) {
        const auto u = static_cast<uint16_t>(v);
        samples.push_back(static_cast<uint8_t>(u & 0xFF));
        samples.push_back(static_cast<uint8_t>(u >> 8));
    }
}

std::vector<std::string> WaveScript::calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

void WaveScript::clearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void WaveScript::record(const std::string& line)
{
    std::lock_guard lock(mutex_);
    calls_.push_back(line);
    if (!logFile.empty())
        std::ofstream(logFile, std::ios::app) << line << '\n';
}

bool WaveScript::takeFailure()
{
    std::lock_guard lock(mutex_);
    if (opens_ >= failOpens)
        return false;
    ++opens_;
    return true;
}

void setWaveScript(std::shared_ptr<WaveScript> script)
{
    std::lock_guard lock(scriptMutex());
    inProcessScript() = std::move(script);
}

std::shared_ptr<WaveScript> currentWaveScript()
{
    std::lock_guard lock(scriptMutex());
    if (inProcessScript())
        return inProcessScript();
    const char* path = std::getenv("WAVE_IN_SCRIPT");
    if (!path || !*path)
        return nullptr;
    static std::map<std::string, std::shared_ptr<WaveScript>> loaded;
    auto& s = loaded[path];
    if (!s)
        s = WaveScript::load(path);
    return s;
}

}  // namespace platform
