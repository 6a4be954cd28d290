// The report: one fact a line, to the report file and to standard output,
// for scripts/wine-test.sh to check.
#include "uidriver.h"

#include <stdarg.h>
#include <stdio.h>

static HANDLE ghReport = INVALID_HANDLE_VALUE;

void OpenReport(const char *path)
{
    ghReport = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
}

void CloseReport(void)
{
    CloseHandle(ghReport);
    ghReport = INVALID_HANDLE_VALUE;
}

void Report(const char *format, ...)
{
    char line[2048];
    va_list args;
    int length;
    DWORD written;

    va_start(args, format);
    length = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0 || length > (int)sizeof line - 2)
        length = (int)sizeof line - 2;
    line[length++] = '\n';
    if (ghReport != INVALID_HANDLE_VALUE)
        WriteFile(ghReport, line, length, &written, NULL);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, length, &written, NULL);
}

const char *Quote(const char *text, char *out, size_t size)
{
    size_t n = 0;

    out[n++] = '"';
    for (; *text && n + 4 < size; ++text) {
        switch (*text) {
        case '\n':
            out[n++] = '\\';
            out[n++] = 'n';
            break;
        case '\r':
            out[n++] = '\\';
            out[n++] = 'r';
            break;
        case '\t':
            out[n++] = '\\';
            out[n++] = 't';
            break;
        case '"':
            out[n++] = '\\';
            out[n++] = '"';
            break;
        case '\\':
            out[n++] = '\\';
            out[n++] = '\\';
            break;
        default:
            out[n++] = *text;
            break;
        }
    }
    out[n++] = '"';
    out[n] = 0;
    return out;
}

void Label(char *buffer, size_t size, const char *stage, const char *what)
{
    snprintf(buffer, size, "%s %s", stage, what);
}
