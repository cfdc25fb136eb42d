#pragma once
// The simulated band served to the programs orvhost starts (Quenda's applets) as their sound input,
// on a local socket (platform/sound/BandWire.h), from a thread of its own. A listener holds the band
// the way the in-process input does (Band::claim), so the band runs on one clock whoever hears it;
// a listener that goes away gives it back.
#include "Band.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class BandServer {
public:
    explicit BandServer(Band& band);
    // Stops serving and removes the socket; a listener's next read finds the band gone.
    ~BandServer();
    BandServer(const BandServer&) = delete;
    BandServer& operator=(const BandServer&) = delete;

    // Makes the socket at path and serves it; false with *error when it cannot.
    bool listen(const std::string& path, std::string* error);
    const std::string& path() const { return path_; }

private:
    void run();
    void greet(int fd);
    bool serve();
    void drop();

    Band& band_;
    std::string path_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    // The listener, on the server's thread only.
    int client_ = -1;
    uint32_t rate_ = 0;
    uint16_t channels_ = 0;
    std::vector<int16_t> frames_;
    std::vector<uint8_t> wire_;
    std::thread thread_;
};
