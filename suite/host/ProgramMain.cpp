#include "ProgramMain.h"

#include "RegApplet.h"
#include "SuiteBox.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

const char* const kApplicationTitle = "Korvanta Quenda";
const char* const kAppletLockName = "Korvanta Quenda Applet";
const char* const kAlreadyRunningText =
    "A Korvanta Quenda applet is already running, please close it down first before trying to run another applet";
const char* const kNoSoundCardText = "You must have a sound card installed to use the Korvanta Quenda";
const char* const kUsageLine =
    "usage: quenda <receiver number, not 0> GetApplets | quenda <receiver number, not 0> <applet name>";

int32_t StrToInt(const std::string& s)
{
    auto fail = [&]() -> int32_t { throw EConvertError("'" + s + "' is not a valid integer value"); };
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    if (i == s.size())
        return fail();
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9')
            return fail();
    errno = 0;
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return fail();
    return static_cast<int32_t>(v);
}

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

namespace {

// Deletes the applet lock on every way out of the applet run, an escaping error included.
class TLockGuard {
public:
    explicit TLockGuard(const TProgramServices& s) : s_(s) {}
    ~TLockGuard() { Release(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;
    void Release()
    {
        if (held_)
            s_.DeleteAppletLock();
        held_ = false;
    }

private:
    const TProgramServices& s_;
    bool held_ = true;
};

}  // namespace

int ProgramMain(const std::vector<std::string>& args, const TProgramServices& s)
{
    auto writeError = [&](const std::string& line) {
        if (s.WriteError)
            s.WriteError(line);
    };
    // The host always gives both; someone who runs the program by hand is told what it takes.
    if (args.size() < 3) {
        writeError(kUsageLine);
        return 0;
    }
    const int32_t receiver = StrToInt(args[1]);
    if (receiver == 0) {
        writeError(kUsageLine);
        return 0;
    }

    s.InitApplication(kApplicationTitle, s.ProgramDir + "QUENDA.HLP");

    if (SameText(args[2], "GetApplets")) {
        s.CreateAboutBox();
        s.ExportAppletList(receiver);
        return 0;
    }

    // Testing for the lock and then taking it would let two runs started together both pass the
    // test: the lock is taken in one step, and whoever does not get it is the second run.
    if (!s.AddAppletLock()) {
        s.MessageBox(kAlreadyRunningText, kApplicationTitle, suitebox::Ok | suitebox::IconExclamation);
        return kAppletNotStarted;
    }
    TLockGuard guard(s);
    if (s.WaveInDeviceCount() <= 0) {
        guard.Release();
        s.MessageBox(kNoSoundCardText, kApplicationTitle, suitebox::Ok | suitebox::IconStop);
        return kAppletNotStarted;
    }

    std::string name = args[2];
    for (size_t i = 3; i < args.size(); ++i)
        name += " " + args[i];

    for (int i = 0; i < AppletCount(); ++i) {
        if (SameText(name, AppletName(i))) {
            if (!RunApplet(i, receiver))
                return kAppletNotStarted;
            s.RunEventLoop();
            return 0;
        }
    }
    // No box for a name that matches nothing; the one who started the run still learns why.
    std::string names;
    for (int i = 0; i < AppletCount(); ++i)
        names += (i ? ", \"" : "\"") + AppletName(i) + "\"";
    writeError("no applet is named \"" + name + "\"; the applets are " + names);
    return kAppletNotStarted;
}
