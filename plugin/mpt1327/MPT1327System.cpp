#include "MPT1327System.h"

void SetMapBit(uint8_t* map, size_t bytes, int n)
{
    if (n < 0 || static_cast<size_t>(n) / 8 >= bytes)
        return;
    map[n / 8] = static_cast<uint8_t>(map[n / 8] | (1u << (n % 8)));
}

bool MapBit(const uint8_t* map, size_t bytes, int n)
{
    if (n < 0 || static_cast<size_t>(n) / 8 >= bytes)
        return false;
    return (map[n / 8] >> (n % 8)) & 1;
}
