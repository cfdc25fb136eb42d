/* A host and a plug-in side written in plain C against the interface header: the header must
 * compile as C, and what C writes must be what C++ reads. */
#include "plugin/frame/OrvPlugin.h"

#include <stddef.h>
#include <string.h>

_Static_assert(sizeof(OrvReceiverInfo) == ORV_RECEIVER_INFO_SIZE, "record size");
_Static_assert(offsetof(OrvReceiverInfo, receiverNumber) == 0xA0, "receiver number offset");
_Static_assert(offsetof(OrvReceiverInfo, maxVolume) == 0x114, "maximum volume offset");
_Static_assert(sizeof(OrvInstance) == 4, "instance is 32-bit");

/* Fills a record the way a C host would. */
void orvApiFillInfo(OrvReceiverInfo* info, int32_t receiver, int32_t maxVolume)
{
    memset(info, 0, sizeof *info);
    info->receiverNumber = receiver;
    info->maxVolume = maxVolume;
}

/* Sends the detach command the way a C plug-in would and returns the host's answer. */
int32_t orvApiSendDetach(OrvHostCallback callback, OrvInstance instance, const char* name)
{
    return callback(instance, ORV_DETACH, 0, (int32_t)strlen(name) + 1, name);
}

/* The codes as C sees them, for comparison with the C++ side. */
const int32_t orvApiCodes[] = {ORV_POWER,           ORV_FREQUENCY,     ORV_CODE_0801,  ORV_MODE,
                               ORV_SIGNAL_LEVEL,    ORV_CODE_0B01,     ORV_ATTENUATOR, ORV_SET_ATTENUATOR,
                               ORV_VOLUME,          ORV_DATA_OUTPUT,   ORV_SET_VOLUME, ORV_SET_DATA_OUTPUT,
                               ORV_DETACH,          ORV_GET};
const size_t orvApiCodeCount = sizeof orvApiCodes / sizeof orvApiCodes[0];
