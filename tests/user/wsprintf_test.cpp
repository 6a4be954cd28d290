// wsprintfA against literal expected output, Windows' rules included where
// they differ from C's printf.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

template <typename... Args>
std::string Format(const char *format, Args... args)
{
    char out[1100];
    int n = wsprintfA(out, format, args...);
    EXPECT_EQ(n, static_cast<int>(std::string(out).size())) << format;
    return out;
}

TEST(Wsprintf, ClockLineFormatsGiveTheTwentyTwoCharacterLines)
{
    // BCD bytes printed as hex read as decimal digits.
    EXPECT_EQ(Format(" %02x-%02x-%02x%02x   %02x:%02x:%02x", 0x12, 0x31, 0x19, 0x99, 0x23, 0x59,
                     0x55),
              " 12-31-1999   23:59:55");
    EXPECT_EQ(Format(" %02i-%02i-%04i   %02i:%02i:%02i", 12, 31, 1999, 23, 59, 55),
              " 12-31-1999   23:59:55");
    EXPECT_EQ(Format(" %02i-%02i-%04i   %02i:%02i:%02i", 1, 1, 2000, 0, 0, 1),
              " 01-01-2000   00:00:01");
    // A nibble above 9 shows as a lower-case letter.
    EXPECT_EQ(Format(" %02x-%02x-%02x%02x   %02x:%02x:%02x", 0x1a, 0x3f, 0x19, 0xa0, 0, 0, 0),
              " 1a-3f-19a0   00:00:00");
}

TEST(Wsprintf, CaseTable)
{
    struct Case {
        std::string got, expected;
    };
    const Case cases[] = {
        {Format("%02x", 0x1a), "1a"},
        {Format("%04i", 2000), "2000"},
        {Format("%04i", 7), "0007"},
        {Format("%d", -42), "-42"},
        {Format("%05d", -42), "-0042"},
        {Format("%5d|", -42), "  -42|"},
        {Format("%-5d|", 42), "42   |"},
        {Format("%-05d|", 42), "42   |"},  // left alignment pads with blanks
        {Format("%.3d", 5), "005"},        // precision: minimum digits
        {Format("%05.3d|", 5), "  005|"},  // ...and a precision turns '0' fill to blanks
        {Format("%u", 4000000000u), "4000000000"},
        {Format("%lu", 4000000000u), "4000000000"},
        {Format("%ld", -7), "-7"},
        {Format("%lx", 0xDEADBEEFu), "deadbeef"},
        {Format("%X", 0xBEEFu), "BEEF"},
        {Format("%#x", 0x1a), "0x1a"},
        {Format("%#X", 0x1a), "0X1A"},
        {Format("%#x", 0), "0x0"},              // Windows prefixes zero too
        {Format("%#06x|", 0x1a), "0x00001a|"},  // the prefix is not counted in the width
        {Format("%#d", 5), "5"},                // no prefix for decimal
        {Format("%s", "text"), "text"},
        {Format("%6s|", "ab"), "    ab|"},
        {Format("%-6s|", "ab"), "ab    |"},
        {Format("%.2s", "abcdef"), "ab"},
        {Format("%s", static_cast<const char *>(nullptr)), ""},
        {Format("%c", 'Q'), "Q"},
        {Format("%3c|", 'Q'), "  Q|"},
        {Format("100%%"), "100%"},
        {Format("%z"), "z"},     // unknown types stand for themselves
        {Format("%f", 1), "f"},  // no floating point
        {Format("end%"), "end"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, c.expected);
}

TEST(Wsprintf, WideStringsAndCharacters)
{
    const WCHAR wide[] = {'w', 'i', 'd', 'e', 0};
    EXPECT_EQ(Format("%ls|%S", wide, wide), "wide|wide");
    EXPECT_EQ(Format("%lc%C", 'x', 'y'), "xy");
    EXPECT_EQ(Format("%hs", "narrow"), "narrow");
}

TEST(Wsprintf, OutputStopsAtOneThousandAndTwentyFourCharacters)
{
    std::string big(2000, 'a');
    char out[1100];
    EXPECT_EQ(wsprintfA(out, "%s", big.c_str()), 1024);
    EXPECT_EQ(std::string(out), std::string(1024, 'a'));
    EXPECT_EQ(wsprintfA(out, big.c_str()), 1024);
    EXPECT_EQ(out[1024], '\0');
}

int CallV(char *out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    return n;
}

TEST(Wsprintf, VaListFormIsTheSame)
{
    char out[64];
    EXPECT_EQ(CallV(out, "%s-%d-%02x", "a", 1, 0xb), 6);
    EXPECT_STREQ(out, "a-1-0b");
}

}  // namespace
