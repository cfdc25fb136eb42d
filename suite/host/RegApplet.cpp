#include "RegApplet.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

// The suite's applets in the order their units are initialized. Units register from static
// initializers, whose order across a link is not fixed, so each entry is put at its applet's place;
// a name not in this list goes behind them in registration order.
const char* const kAppletOrder[] = {
    "Audio Scope and Spectrum Analyser", "Packet Radio Decoder", "DTMF Decoder",
    "CTCSS Decoder", "Signal Classifier", "ACARS Decoder", "Squelch Controlled Sound Recorder",
};

size_t Rank(const std::string& name)
{
    const auto it = std::find(std::begin(kAppletOrder), std::end(kAppletOrder), name);
    return static_cast<size_t>(it - std::begin(kAppletOrder));
}

// Built on first use, so registrars in other units may run before or after this one's initialization.
std::vector<TAppletInfo>& Applets()
{
    static std::vector<TAppletInfo> list;
    return list;
}

bool InRange(int i) { return i >= 0 && i < AppletCount(); }

}  // namespace

void RegisterApplet(const std::string& name, TAppletCreate create)
{
    std::vector<TAppletInfo>& list = Applets();
    const size_t rank = Rank(name);
    const size_t unknown = std::size(kAppletOrder);
    const auto behind = rank == unknown ? list.end() : std::find_if(list.begin(), list.end(), [&](const TAppletInfo& a) {
        const size_t r = Rank(a.Name);
        return r != unknown && r > rank;
    });
    list.insert(behind, {name, create});
}

int AppletCount() { return static_cast<int>(Applets().size()); }

std::string AppletName(int i) { return InRange(i) ? Applets()[static_cast<size_t>(i)].Name : std::string(); }

bool RunApplet(int i, int32_t receiver)
{
    if (!InRange(i))
        return false;
    TAppletCreate create = Applets()[static_cast<size_t>(i)].Create;
    return create ? create(receiver) : false;
}

void ClearAppletsForTest() { Applets().clear(); }
