#pragma once
// Helpers shared by the test programs.
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary directory, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Sets an environment variable for the life of the object and restores the old value after.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// The build tree (KORVANTA_BUILD_DIR, set by ctest) and paths inside it.
std::filesystem::path buildDir();
std::filesystem::path binPath(const std::string& program);
std::filesystem::path libPath(const std::string& library);

std::string readFile(const std::filesystem::path& file);
std::vector<unsigned char> readBytes(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& text);
void writeBytes(const std::filesystem::path& file, const std::vector<unsigned char>& bytes);

// In a child process just forked: adds the environment entries ("NAME=value") and becomes the
// program; ends the child with status 127 when it cannot.
[[noreturn]] void execProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// Runs a program with extra environment entries ("NAME=value"), waits, and returns its exit
// status (-signal when it was killed). Its standard output goes to *out when given.
int runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               std::string* out = nullptr, int timeoutSeconds = 60);

// argv run through the shell with its standard error written to file, for runProgram.
std::vector<std::string> stderrTo(const std::filesystem::path& file, std::vector<std::string> argv);

}  // namespace testsupport
