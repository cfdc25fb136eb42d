#include "SerialPort.h"

namespace platform {

TSerialPort::~TSerialPort() = default;

}  // namespace platform
