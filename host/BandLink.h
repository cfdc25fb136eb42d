#pragma once
// Ties the simulated band to the primary receiver: a retune moves the band's tuning and sets the
// receiver's signal level; a station going off the air or coming back changes the levels, also
// those the receiver library reads (its fake pool file, rewritten on every change).
#include "Band.h"
#include "HostCore.h"

#include <QObject>

#include <string>

class BandLink : public QObject {
    Q_OBJECT
public:
    // pool: the file the receiver library reads as its fake pool (KVAPI32_FAKE), written at once.
    BandLink(Band& band, HostCore& core, std::string pool, int receivers = 3, QObject* parent = nullptr);
    bool poolWritten() const { return poolWritten_; }

private:
    void writePool();
    void follow();

    Band& band_;
    HostCore& core_;
    std::string pool_;
    int receivers_;
    bool poolWritten_ = false;
};
