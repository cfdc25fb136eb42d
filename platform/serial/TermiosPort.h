#pragma once
// How the settings record maps onto termios and the modem lines, apart from the device so that the
// mapping can be checked without hardware (a pseudo-terminal has no modem lines).
#include "SerialPort.h"
#include <termios.h>

namespace platform {

// The termios speed constant of a rate, or B0 when the rate is not one termios has.
speed_t TermiosSpeed(uint32_t rate);
// The rate of a termios speed constant, 0 for one not in the table.
uint32_t TermiosRate(speed_t speed);
// How long one character takes on the line at the settings' speed and framing, in nanoseconds (a
// speed not in the table counts as 9600 bit/s).
int64_t ByteTimeNs(const termios& t);

struct TModemLines {
    bool Dtr = false;
    bool Rts = false;
    bool operator==(const TModemLines&) const = default;
};

// Raw 8-bit transfer at the settings' rate (a rate termios does not have keeps the old one).
// RTS handshake becomes hardware flow control; DTR has no handshake on Linux, see SettingsToLines.
void SettingsToTermios(const TSerialSettings& s, termios& t);
// The lines the settings hold up. DTR handshake raises DTR: the port discards what it receives, so its
// input never fills and a handshaking DTR would never drop. RTS handshake leaves RTS to the driver.
TModemLines SettingsToLines(const TSerialSettings& s, TModemLines current);
// The settings a port is in: its speed, and the control modes its flow control and lines show.
TSerialSettings SettingsFromTermios(const termios& t, TModemLines lines);

}  // namespace platform
