#pragma once
// A schedule of changes the host makes while it runs, for plug-ins and applets alike.
//
// One step a line, "<seconds> <what> [<value>]", seconds counted from the start (decimals allowed);
// blank lines and everything after "#" are skipped; steps run in time order.
//   <seconds> SignalStrength <v>   signal level (0..65535, S9 = 32768, 512 a dB): the plug-in's
//                                  ORV_SIGNAL_LEVEL and the applets' "SignalStrength"
//   <seconds> Squelch <v>          squelch level, same scale ("Squelch")
//   <seconds> ScanState <v>        0 stopped on a channel, 1 scanning ("ScanState")
//   <seconds> Mute <0|1>           ("Mute")
//   <seconds> Frequency <hz>       a user retune of the receiver (ORV_FREQUENCY)
//   <seconds> Mode <n>             mode number (2 = narrow FM)
//   <seconds> Volume <0..255>      (ORV_VOLUME)
//   <seconds> Attenuator <0|1>     (ORV_ATTENUATOR)
//   <seconds> Power <0|1>          the receiver switched off or on (ORV_POWER)
//   <seconds> station-off <hz>     the band's station on that frequency goes off the air
//   <seconds> station-on <hz>      and comes back
//   <seconds> disconnect           ends the applets' DDE conversations
#include <optional>
#include <string>
#include <vector>

struct ScriptStep {
    enum class Kind { Set, Disconnect, StationOff, StationOn };
    int atMs = 0;
    Kind kind = Kind::Set;
    std::string item;  // the value set; empty for the other kinds
    int value = 0;     // the value, or the station's frequency
};

struct HostScript {
    std::vector<ScriptStep> steps;  // in time order
    // Parses the text; a malformed line gives an error naming it.
    static std::optional<HostScript> parse(const std::string& text, std::string* error);
};
