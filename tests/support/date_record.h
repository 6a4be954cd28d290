// The date file's record: the 16 bytes of a SYSTEMTIME, little-endian, as
// the program saves it.
#pragma once

#include <vector>

inline std::vector<unsigned char> Record(int year, int month, int dow, int day, int hour,
                                         int minute, int second, int ms)
{
    std::vector<unsigned char> bytes;
    for (int v : {year, month, dow, day, hour, minute, second, ms}) {
        bytes.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    return bytes;
}
