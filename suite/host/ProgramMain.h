#pragma once
// The program's main block: reads the command line and either lists the applets to the host or
// runs one applet under the single-applet lock.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// The conversion error of a receiver number that is not an integer.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the main block needs from the machine; QuendaRun binds the real ones, tests bind fakes.
struct TProgramServices {
    std::function<void(const std::string& title, const std::string& helpFile)> InitApplication;
    std::function<void()> CreateAboutBox;          // made, not shown, before the GetApplets listing
    std::function<void(int32_t receiver)> ExportAppletList;
    // Takes the single-applet lock in one step; false when another run holds it.
    std::function<bool()> AddAppletLock;
    std::function<void()> DeleteAppletLock;
    std::function<int()> WaveInDeviceCount;
    std::function<int(const std::string& text, const std::string& caption, unsigned flags)> MessageBox;
    std::function<void()> RunEventLoop;            // until the applet's window closes
    std::function<void(const std::string& line)> WriteError;  // one line to standard error
    std::string ProgramDir;                        // with a trailing '/'
};

extern const char* const kApplicationTitle;        // "Korvanta Quenda"
extern const char* const kAppletLockName;          // "Korvanta Quenda Applet"
extern const char* const kAlreadyRunningText;
extern const char* const kNoSoundCardText;
// What a run by hand with too few arguments or receiver 0 is told.
extern const char* const kUsageLine;

// Decimal, an optional sign; anything else (or out of range) raises EConvertError.
int32_t StrToInt(const std::string& s);
bool SameText(const std::string& a, const std::string& b);

// The exit status of a run whose applet did not run its window (already running, no sound card, no
// applet of that name, or its window did not start), so that the host starting it can tell.
constexpr int kAppletNotStarted = 1;

// args[0] is the program; returns the exit status: 0, or kAppletNotStarted. A receiver number that is
// not an integer raises.
int ProgramMain(const std::vector<std::string>& args, const TProgramServices& services);
