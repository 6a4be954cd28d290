// The format library's views, on bytes laid out by hand: numbers little-end
// first, the compressed numbers in each of their widths with the cursor moved
// past exactly the bytes each took, and every read that would leave the
// bytes refused with the view's name.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "helpfile/views.h"

namespace {

using helpfile::Cursor;
using helpfile::Damaged;
using helpfile::View;

std::string WhyRefused(const std::function<void()> &read)
{
    try {
        read();
    } catch (const Damaged &e) {
        return e.what();
    }
    return "read";
}

TEST(HelpFileViews, CompressedNumbersTakeTheirWidthsAndTheCursorFollows)
{
    const std::vector<std::uint8_t> bytes = {
        0xFE,                    // unsigned short 127, one byte
        0x01, 0x01,              // unsigned short 128, two bytes
        0x00,                    // short -64, one byte
        0xFE,                    // short 63
        0x81, 0x80,              // short 64, two bytes
        0x7F, 0x7F,              // short -65
        0x00, 0x80,              // long 0, two bytes
        0x00, 0x00,              // long -0x4000
        0x01, 0x80, 0x00, 0x80,  // long 0x4000, four bytes
        0x78, 0x56, 0x34, 0x12,  // u32, low byte first
    };
    const View view(bytes.data(), bytes.size(), "the record");
    Cursor c(view);
    EXPECT_EQ(c.CompressedUShort(), 127u);
    EXPECT_EQ(c.CompressedUShort(), 128u);
    EXPECT_EQ(c.CompressedShort(), -64);
    EXPECT_EQ(c.CompressedShort(), 63);
    EXPECT_EQ(c.CompressedShort(), 64);
    EXPECT_EQ(c.CompressedShort(), -65);
    EXPECT_EQ(c.CompressedLong(), 0);
    EXPECT_EQ(c.CompressedLong(), -0x4000);
    EXPECT_EQ(c.CompressedLong(), 0x4000);
    EXPECT_EQ(c.U32(), 0x12345678u);
    EXPECT_EQ(WhyRefused([&] { c.U8(); }), "the record is cut short");
}

TEST(HelpFileViews, ReadsThatWouldLeaveTheBytesAreRefusedByName)
{
    const std::vector<std::uint8_t> bytes = {'a', 'b', 'c', 0, 'd', 'e'};
    const View view(bytes.data(), bytes.size(), "|SYSTEM");
    std::size_t next = 0;
    EXPECT_EQ(view.StringZ(0, next), "abc");
    EXPECT_EQ(next, 4u);
    EXPECT_EQ(view.Field(4, 2), "de") << "a full field has no NUL";
    EXPECT_EQ(view.Field(0, 5), "abc");

    const struct {
        const char *what;
        std::function<void()> read;
        std::string why;
    } cases[] = {
        {"a u16 across the end", [&] { view.U16(5); }, "|SYSTEM is cut short"},
        {"an offset far past the end", [&] { view.U32(std::numeric_limits<std::size_t>::max()); },
         "|SYSTEM is cut short"},
        {"a string without its NUL", [&] { view.StringZ(4, next); },
         "|SYSTEM holds a string without its end"},
        {"a string after the end", [&] { view.StringZ(7, next); }, "|SYSTEM is cut short"},
        {"a part longer than what is left", [&] { view.Sub(2, 5, "a record"); },
         "|SYSTEM is cut short"},
        {"a field across the end", [&] { view.Field(4, 3); }, "|SYSTEM is cut short"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WhyRefused(c.read), c.why) << c.what;
    EXPECT_EQ(WhyRefused([&] { view.Sub(2, 2, "a record").U32(0); }), "a record is cut short")
        << "a part is refused by its own name";
}

}  // namespace
