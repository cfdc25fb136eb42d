#include "QelCOMPort.h"

TQelCOMPort::TQelCOMPort(platform::TSerialOpener opener)
    : thread_(std::make_unique<TQelCOMThread>(std::move(opener)))
{
}

TQelCOMPort::~TQelCOMPort() = default;
