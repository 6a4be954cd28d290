// Byte-level fixtures for the parsers of resources and templates.
#pragma once

#include <windows.h>

#include <vector>

// Little-endian bytes, written a field at a time.
struct Bytes {
    std::vector<BYTE> b;
    Bytes &W(WORD w)
    {
        b.push_back(static_cast<BYTE>(w));
        b.push_back(static_cast<BYTE>(w >> 8));
        return *this;
    }
    Bytes &D(DWORD d) { return W(static_cast<WORD>(d)).W(static_cast<WORD>(d >> 16)); }
    Bytes &S(const char *text)  // UTF-16, zero-terminated
    {
        for (; *text; ++text)
            W(static_cast<unsigned char>(*text));
        return W(0);
    }
    Bytes &AlignDword()
    {
        while (b.size() % 4)
            b.push_back(0);
        return *this;
    }
};
