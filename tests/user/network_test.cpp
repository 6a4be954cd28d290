// mpr's network enumeration, as the start-up check uses it: it opens only
// where network software is installed.
#include <gtest/gtest.h>

#include <windows.h>
#include <winnetwk.h>

#include "pc_fixture.h"

namespace {

using pctest::TestPc;

TEST(KernelNetwork, EnumerationOpensOnlyWithNetworkSoftware)
{
    {
        TestPc pc("2000-01-01 00:00:00", "y2k-ready");
        HANDLE h = nullptr;
        EXPECT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, 0, nullptr, &h),
                  ERROR_NO_NETWORK);
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(WNetCloseEnum(h), ERROR_INVALID_HANDLE);
    }
    TestPc pc("2000-01-01 00:00:00", "networked");
    HANDLE h = nullptr;
    EXPECT_EQ(WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, 0, nullptr, &h), NO_ERROR);
    EXPECT_NE(h, nullptr);
    EXPECT_EQ(WNetCloseEnum(h), NO_ERROR);
    EXPECT_EQ(WNetCloseEnum(h), ERROR_INVALID_HANDLE);
}

}  // namespace
