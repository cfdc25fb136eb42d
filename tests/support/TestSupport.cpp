#include "TestSupport.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir()
{
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("korvanta-test-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(rd()));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name))
{
    if (const char* v = std::getenv(name_.c_str())) {
        had_ = true;
        old_ = v;
    }
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

fs::path buildDir()
{
    const char* dir = std::getenv("KORVANTA_BUILD_DIR");
    if (!dir || !*dir)
        throw std::runtime_error("KORVANTA_BUILD_DIR is not set; run the tests through ctest");
    return fs::path(dir);
}

fs::path binPath(const std::string& program) { return buildDir() / "bin" / program; }
fs::path libPath(const std::string& library) { return buildDir() / "lib" / library; }

std::string readFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> readBytes(const fs::path& file)
{
    std::string s = readFile(file);
    return std::vector<unsigned char>(s.begin(), s.end());
}

void writeFile(const fs::path& file, const std::string& text)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

void writeBytes(const fs::path& file, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void execProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    for (const std::string& e : env)
        ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

int runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env, std::string* out,
               int timeoutSeconds)
{
    int pipefd[2] = {-1, -1};
    if (::pipe2(pipefd, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(pipefd[1], STDOUT_FILENO);
        execProgram(argv, env);
    }
    ::close(pipefd[1]);
    std::string captured;
    struct timespec start;
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    bool open = true;
    while (open) {
        struct timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        long elapsedMs = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        long leftMs = timeoutSeconds * 1000L - elapsedMs;
        if (leftMs <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        struct pollfd p = {pipefd[0], POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(leftMs));
        if (r > 0) {
            char buf[4096];
            ssize_t n = ::read(pipefd[0], buf, sizeof buf);
            if (n > 0)
                captured.append(buf, static_cast<size_t>(n));
            else
                open = false;
        }
    }
    ::close(pipefd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (out)
        *out = captured;
    if (WIFSIGNALED(status))
        return -WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::vector<std::string> stderrTo(const std::filesystem::path& file, std::vector<std::string> argv)
{
    argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>'" + file.string() + "'"});
    return argv;
}

}  // namespace testsupport
