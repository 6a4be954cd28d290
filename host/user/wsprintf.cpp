// wsprintfA and wvsprintfA with Windows' own rules: flags '-' and '#', '0' fill,
// width, precision (minimum digits for numbers, maximum characters for text),
// sizes h/l/w/t; types c C d i u x X s S. No floating point. At most 1024
// characters are written before the terminator.
#include <windows.h>

#include <cstring>

namespace {

constexpr int kLimit = 1024;

class Output {
public:
    explicit Output(LPSTR out) : out_(out) {}
    // False once the limit is reached; formatting stops there, as on Windows.
    bool Put(char c)
    {
        if (count_ >= kLimit)
            return false;
        out_[count_++] = c;
        return true;
    }
    bool Repeat(char c, int n)
    {
        for (; n > 0; --n)
            if (!Put(c))
                return false;
        return true;
    }
    int Finish()
    {
        out_[count_] = '\0';
        return count_;
    }

private:
    LPSTR out_;
    int count_ = 0;
};

struct Conversion {
    bool left = false;
    bool prefix = false;
    char fill = ' ';
    int width = 0;
    int precision = -1;
    bool wide = false;    // l or w: WCHAR text
    bool narrow = false;  // h: CHAR text even for C and S
};

const char *ReadNumber(const char *p, int &value)
{
    value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + (*p++ - '0');
    return p;
}

bool PutNumber(Output &out, const Conversion &conv, unsigned long value, bool negative, int radix,
               bool upper)
{
    char digits[16];
    int n = 0;
    do {
        int d = static_cast<int>(value % radix);
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
        value /= radix;
    } while (value != 0);

    int zeros = conv.precision > n ? conv.precision - n : 0;
    // Windows counts neither the sign's fill position nor the 0x prefix in the width.
    int pad = conv.width - n - zeros - (negative ? 1 : 0);
    const bool hexPrefix = conv.prefix && radix == 16;
    // A precision or left alignment turns '0' fill into blanks, as MSC 5.1 did.
    char fill = (conv.left || conv.precision >= 0) ? ' ' : conv.fill;

    auto putHead = [&] {
        if (negative && !out.Put('-'))
            return false;
        if (hexPrefix && (!out.Put('0') || !out.Put(upper ? 'X' : 'x')))
            return false;
        return true;
    };
    bool ok = true;
    if (!conv.left && fill == ' ')
        ok = out.Repeat(' ', pad) && putHead();
    else if (!conv.left)
        ok = putHead() && out.Repeat('0', pad);
    else
        ok = putHead();
    ok = ok && out.Repeat('0', zeros);
    while (ok && n > 0)
        ok = out.Put(digits[--n]);
    if (ok && conv.left)
        ok = out.Repeat(' ', pad);
    return ok;
}

template <typename Char>
bool PutText(Output &out, const Conversion &conv, const Char *text, int length)
{
    if (conv.precision >= 0 && length > conv.precision)
        length = conv.precision;
    int pad = conv.width - length;
    if (!conv.left && !out.Repeat(conv.fill, pad))
        return false;
    for (int i = 0; i < length; ++i) {
        unsigned c = static_cast<unsigned>(text[i]);
        if (sizeof(Char) > 1 && c >= 0x100)
            c = '?';
        if (!out.Put(static_cast<char>(c)))
            return false;
    }
    return !conv.left || out.Repeat(conv.fill, pad);
}

int WideLength(const WCHAR *text)
{
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

}  // namespace

extern "C" int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist)
{
    Output out(lpOut);
    va_list args;
    va_copy(args, arglist);
    for (const char *p = lpFmt; *p; ++p) {
        if (*p != '%') {
            if (!out.Put(*p))
                break;
            continue;
        }
        Conversion conv;
        for (++p; *p == '-' || *p == '#'; ++p)
            (*p == '-' ? conv.left : conv.prefix) = true;
        if (*p == '0') {
            conv.fill = '0';
            ++p;
        }
        p = ReadNumber(p, conv.width);
        if (*p == '.')
            p = ReadNumber(p + 1, conv.precision);
        if (*p == 'l' || *p == 'w') {
            conv.wide = true;
            ++p;
        } else if (*p == 'h') {
            conv.narrow = true;
            ++p;
        } else if (*p == 't') {
            ++p;
        }
        if (*p == '\0')
            break;

        bool ok = true;
        switch (*p) {
        case 'd':
        case 'i': {
            // LONG and int are both 32 bits here, as on Win32.
            long value = va_arg(args, int);
            bool negative = value < 0;
            ok = PutNumber(out, conv, negative ? static_cast<unsigned long>(-value) : value,
                           negative, 10, false);
            break;
        }
        case 'u':
            ok = PutNumber(out, conv, va_arg(args, unsigned), false, 10, false);
            break;
        case 'x':
            ok = PutNumber(out, conv, va_arg(args, unsigned), false, 16, false);
            break;
        case 'X':
            ok = PutNumber(out, conv, va_arg(args, unsigned), false, 16, true);
            break;
        case 'c':
        case 'C': {
            int value = va_arg(args, int);
            bool wide = conv.wide || (*p == 'C' && !conv.narrow);
            WCHAR w = static_cast<WCHAR>(value);
            char c = static_cast<char>(value);
            ok = wide ? PutText(out, conv, &w, 1) : PutText(out, conv, &c, 1);
            break;
        }
        case 's':
        case 'S':
            if (conv.wide || (*p == 'S' && !conv.narrow)) {
                const WCHAR *text = va_arg(args, const WCHAR *);
                ok = text ? PutText(out, conv, text, WideLength(text)) : true;
            } else {
                // A null string prints nothing rather than faulting.
                const char *text = va_arg(args, const char *);
                ok = PutText(out, conv, text ? text : "",
                             text ? static_cast<int>(std::strlen(text)) : 0);
            }
            break;
        default:
            // Anything else, "%%" included, stands for itself.
            ok = out.Put(*p);
            break;
        }
        if (!ok)
            break;
    }
    va_end(args);
    return out.Finish();
}

extern "C" int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
    va_list args;
    va_start(args, lpFmt);
    int length = wvsprintfA(lpOut, lpFmt, args);
    va_end(args);
    return length;
}
