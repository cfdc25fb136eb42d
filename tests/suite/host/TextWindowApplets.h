#pragma once
// The three text applets' rows of the text window, as test applets on the shared window: each takes
// its applet's configuration record and own Options items, and counts the buffers it is given.
#include "ACARS.h"
#include "DTMF.h"
#include "Packet.h"
#include "TextDecoderForm.h"

#include <QAction>
#include <QMenu>

namespace textwindow {

enum class Kind { Packet, Dtmf, Acars };

// The applets' own rows, so that the shared window is tested with what the applets really give it.
inline TTextWindowConfig Config(Kind kind)
{
    switch (kind) {
    case Kind::Packet:
        return PacketConfig();
    case Kind::Dtmf:
        return DTMFWindowConfig();
    case Kind::Acars:
        break;
    }
    return ACARSConfig();
}

inline TAppletTraits Traits(Kind kind)
{
    switch (kind) {
    case Kind::Packet:
        return PacketTraits();
    case Kind::Dtmf:
        return DTMFTraits();
    case Kind::Acars:
        break;
    }
    return ACARSTraits();
}

class TTestTextApplet : public TTextDecoderForm {
public:
    TTestTextApplet(int32_t receiver, Kind kind)
        : TTextDecoderForm(receiver, textwindow::Traits(kind), textwindow::Config(kind))
    {
    }
    std::vector<size_t> decoded;
    int news = 0;

    std::vector<std::string> ownClicks;

protected:
    void DecodeBuffer(const int16_t*, size_t count) override { decoded.push_back(count); }
    void NewExtras() override { ++news; }
    void OwnMenuClick(const std::string& name, QAction*) override { ownClicks.push_back(name); }
};

}  // namespace textwindow
