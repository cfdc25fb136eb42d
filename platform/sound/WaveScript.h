#pragma once
// The scripted wave device for tests: fails a chosen number of opens, delivers given sample
// bytes into the queued buffers as fast as they are queued, and records every call it sees.
//
// In-process: make a WaveScript, fill it, setWaveScript(script); the scripted input device and
// the scripted output device are then the only wave devices until setWaveScript(nullptr).
// Across a dlopen or a process boundary: WAVE_IN_SCRIPT names a script file, one command a line
// ('#' starts a comment line):
//   name <text>             name of the input device (default "Scripted input")
//   out_name <text>         name of the output device (default "Scripted output")
//   fail_opens <k> [code]   the first k input opens fail with code (default 4, device in use)
//   samples <file>          append the bytes of a file: a WAV file's data chunk, else the raw file
//                           (a relative path is taken from the script's folder)
//   values <v> <v> ...      append signed 16-bit samples, little-endian
//   silence_at_end          after the samples, go on delivering silence (else nothing more comes)
//   record <log file>       append each call to that file as well (relative: the script's folder)
// A script that cannot be read or parsed still makes the device; its opens fail with kWaveError
// and the reason as the error text.
//
// Recorded calls, one line each, with the result code last:
//   open <device> <rate> <bits> <channels> -> <code>     (input; output lines begin "out_")
//   prepare <length> -> <code>     unprepare <length> -> <code>     add <length> -> <code>
//   start -> <code>   stop -> <code>   reset -> <code>   close -> <code>
//   out_open ..., out_prepare <length>, out_unprepare <length>, out_write <length>,
//   out_pause, out_restart, out_reset, out_close
// Each open starts the samples from the beginning.
#include "Wave.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class WaveScript {
public:
    std::string inName = "Scripted input";
    std::string outName = "Scripted output";
    uint32_t failOpens = 0;
    uint32_t failCode = kWaveAllocated;
    std::vector<uint8_t> samples;
    bool silenceAtEnd = false;
    std::filesystem::path logFile;  // empty: recorded in memory only
    std::string loadError;          // set when the script file could not be used

    // Reads a script file; never throws, a failure is kept in loadError.
    static std::shared_ptr<WaveScript> load(const std::filesystem::path& file);
    // Appends signed 16-bit samples, little-endian.
    void addValues(const std::vector<int16_t>& values);

    std::vector<std::string> calls() const;
    void clearCalls();

    // Used by the devices.
    void record(const std::string& line);
    // True when this open is to fail (counts the opens).
    bool takeFailure();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    uint32_t opens_ = 0;
};

// Sets the in-process script (nullptr: back to WAVE_IN_SCRIPT, WAVE_IN_FILE and the cards).
void setWaveScript(std::shared_ptr<WaveScript> script);
// The script in force: the in-process one, else the one WAVE_IN_SCRIPT names (loaded once per
// path, so its open count carries over), else nullptr.
std::shared_ptr<WaveScript> currentWaveScript();

}  // namespace platform
