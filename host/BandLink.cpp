#include "BandLink.h"

#include <cstdio>
#include <fstream>

BandLink::BandLink(Band& band, HostCore& core, std::string pool, int receivers, QObject* parent)
    : QObject(parent), band_(band), core_(core), pool_(std::move(pool)), receivers_(receivers)
{
    writePool();
    follow();
    connect(&core_.state(), &ReceiverState::changed, this, [this](const QString& name, int) {
        if (name == QLatin1String("Frequency"))
            follow();
    });
    connect(&core_, &HostCore::stationChanged, this, [this](int32_t hz, bool on) {
        if (!band_.setOnAir(hz, on))
            return;
        writePool();
        follow();
    });
}

void BandLink::follow()
{
    band_.tune(core_.state().get("Frequency"));
    core_.state().setValue("SignalStrength", band_.level());
}

void BandLink::writePool()
{
    // Written aside and renamed over the old one, so the library never reads half a file.
    const std::string temp = pool_ + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << band_.fakePool(receivers_);
        poolWritten_ = bool(out);
    }
    poolWritten_ = poolWritten_ && std::rename(temp.c_str(), pool_.c_str()) == 0;
}
