#pragma once
// One entry of the call list: the two radios of a call, its traffic channel and when it was last reported.
#include <cstdint>

struct TMPT1327Call {
    int32_t Prefix = 0;
    int32_t Ident1 = 0;
    int32_t Ident2 = 0;
    int32_t Channel = 0;
    uint8_t Hour = 0, Minute = 0, Second = 0;  // local time of the last report
    int32_t HeardAt = 0;  // second of the day the last report was heard, by the sound's time
};
