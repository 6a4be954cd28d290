// The screenshot: the window as the screen shows it, as a PNG written without
// a compressor.
#include "screenshot.h"

#include <string.h>

static unsigned long gCrcTable[256];

static unsigned long Crc32(unsigned long crc, const unsigned char *p, size_t n)
{
    if (!gCrcTable[1]) {
        for (unsigned long i = 0; i < 256; ++i) {
            unsigned long c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            gCrcTable[i] = c;
        }
    }
    crc ^= 0xFFFFFFFFUL;
    while (n--)
        crc = gCrcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFUL;
}

static void PutBigEndian(unsigned char *p, unsigned long value)
{
    p[0] = (unsigned char)(value >> 24);
    p[1] = (unsigned char)(value >> 16);
    p[2] = (unsigned char)(value >> 8);
    p[3] = (unsigned char)value;
}

// data points just past 8 bytes reserved for the length and the type.
static int WriteChunk(HANDLE hFile, const char *type, unsigned char *data, unsigned long length)
{
    unsigned char crc[4];
    DWORD written;

    PutBigEndian(data - 8, length);
    memcpy(data - 4, type, 4);
    PutBigEndian(crc, Crc32(0, data - 4, length + 4));
    return WriteFile(hFile, data - 8, length + 8, &written, NULL) && written == length + 8 &&
           WriteFile(hFile, crc, 4, &written, NULL) && written == 4;
}

// Truecolour, 8 bits a sample, no filtering, and a zlib stream of stored
// blocks: a valid PNG without a compressor.
static int WritePng(const char *path, const unsigned char *rgb, int width, int height)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const unsigned long rowBytes = 1 + (unsigned long)width * 3;
    const unsigned long rawBytes = rowBytes * height;
    const unsigned long blocks = (rawBytes + 65534) / 65535;
    const unsigned long idatBytes = 2 + rawBytes + 5 * blocks + 4;
    unsigned char header[8 + 13], trailer[8];
    unsigned char *idat;
    unsigned long a = 1, b = 0, at = 8, left = rawBytes, row = 0, column = 0;
    DWORD written;
    int ok;

    idat = (unsigned char *)HeapAlloc(GetProcessHeap(), 0, 8 + idatBytes);
    if (!idat)
        return 0;
    idat[at++] = 0x78;
    idat[at++] = 0x01;
    while (left) {
        unsigned long n = left < 65535 ? left : 65535;
        left -= n;
        idat[at++] = left ? 0 : 1;
        idat[at++] = (unsigned char)n;
        idat[at++] = (unsigned char)(n >> 8);
        idat[at++] = (unsigned char)~n;
        idat[at++] = (unsigned char)(~n >> 8);
        while (n--) {
            unsigned char byte = column == 0 ? 0 : rgb[row * width * 3 + column - 1];
            if (++column == rowBytes) {
                column = 0;
                ++row;
            }
            idat[at++] = byte;
            a = (a + byte) % 65521;
            b = (b + a) % 65521;
        }
    }
    PutBigEndian(idat + at, (b << 16) | a);

    PutBigEndian(header + 8, width);
    PutBigEndian(header + 12, height);
    header[16] = 8;  // bit depth
    header[17] = 2;  // colour type: RGB
    header[18] = 0;  // deflate
    header[19] = 0;  // adaptive filtering, each row type 0
    header[20] = 0;  // not interlaced

    HANDLE hFile =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ok = hFile != INVALID_HANDLE_VALUE;
    if (ok) {
        ok = WriteFile(hFile, signature, 8, &written, NULL) &&
             WriteChunk(hFile, "IHDR", header + 8, 13) &&
             WriteChunk(hFile, "IDAT", idat + 8, idatBytes) &&
             WriteChunk(hFile, "IEND", trailer + 8, 0);
        CloseHandle(hFile);
    }
    HeapFree(GetProcessHeap(), 0, idat);
    return ok;
}

int SaveWindowPicture(HWND hwnd, const char *path)
{
    RECT rect;
    BITMAPINFO info;
    int ok = 0;

    GetWindowRect(hwnd, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int stride = (width * 3 + 3) & ~3;
    if (width <= 0 || height <= 0)
        return 0;
    unsigned char *pixels =
        (unsigned char *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)stride * height);
    if (!pixels)
        return 0;

    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(memory, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) == height) {
        // Rows packed and BGR turned into RGB, in place.
        for (int y = 0; y < height; ++y) {
            unsigned char *src = pixels + (size_t)y * stride;
            unsigned char *dst = pixels + (size_t)y * width * 3;
            for (int x = 0; x < width; ++x) {
                unsigned char blue = src[3 * x], green = src[3 * x + 1], red = src[3 * x + 2];
                dst[3 * x] = red;
                dst[3 * x + 1] = green;
                dst[3 * x + 2] = blue;
            }
        }
        ok = WritePng(path, pixels, width, height);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    HeapFree(GetProcessHeap(), 0, pixels);
    return ok;
}
