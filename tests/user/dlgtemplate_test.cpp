// The dialog template parser, on the program's templates embedded in this
// binary and on hand-made bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kernel/resources.h"
#include "le_bytes.h"
#include "ui_fixture.h"
#include "user/dlgtemplate.h"

namespace {

using uitest::IDD_ABOUT;
using uitest::IDD_MAIN;
using uitest::IDD_WARNING;
using uitest::IDI_TOLVANE;

using kernel::ResourceName;
using user::DialogTemplate;
using user::ParseDialogTemplate;

const DialogTemplate &MainTemplate()
{
    static const DialogTemplate dlg = [] {
        const kernel::Resource *r =
            kernel::ModuleResources().Find(ResourceName::From(RT_DIALOG),
                                           ResourceName::From(MAKEINTRESOURCEA(IDD_MAIN)));
        EXPECT_NE(r, nullptr);
        return ParseDialogTemplate(r->data).value();
    }();
    return dlg;
}

TEST(DlgTemplate, EmbeddedResourcesAreTheProgramsDialogsAndIconInBritishEnglish)
{
    for (WORD id : {IDD_MAIN, IDD_WARNING, IDD_ABOUT}) {
        const kernel::Resource *r =
            kernel::ModuleResources().Find(ResourceName::From(RT_DIALOG),
                                           ResourceName::From(MAKEINTRESOURCEA(id)));
        ASSERT_NE(r, nullptr) << "dialog " << id;
        EXPECT_EQ(r->language, 2057) << "dialog " << id;
    }
    const kernel::Resource *icon =
        kernel::ModuleResources().Find(ResourceName::From(RT_GROUP_ICON),
                                       ResourceName::From(MAKEINTRESOURCEA(IDI_TOLVANE)));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->language, 2057);
    // "#1111" names the same resource as MAKEINTRESOURCE(1111).
    EXPECT_EQ(kernel::ModuleResources().Find(ResourceName::From(RT_GROUP_ICON),
                                             ResourceName::From("#1111")),
              icon);
}

TEST(DlgTemplate, MainDialogHeader)
{
    const DialogTemplate &dlg = MainTemplate();
    EXPECT_FALSE(dlg.extended);
    EXPECT_EQ(dlg.style, static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                            DS_MODALFRAME | DS_CENTER | DS_SETFONT));
    EXPECT_EQ(dlg.caption, " Tolvane");
    ASSERT_FALSE(dlg.windowClass.isOrdinal);
    EXPECT_STRCASEEQ(dlg.windowClass.text.c_str(), "Tolvane");  // windres stores it upper-cased
    EXPECT_TRUE(dlg.menu.Empty());
    EXPECT_EQ(dlg.pointSize, 8);
    EXPECT_EQ(dlg.typeface, "Helv");
    EXPECT_EQ((std::vector<int>{dlg.x, dlg.y, dlg.cx, dlg.cy}),
              (std::vector<int>{40, 40, 230, 153}));
}

TEST(DlgTemplate, MainDialogControlsInTemplateOrder)
{
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    struct Expected {
        int id;
        WORD classOrdinal;  // 0: named "LISTBOX"
        const char *text;
        DWORD style;
        DWORD exStyle;
        int x, y, cx, cy;
    };
    const Expected expected[] = {
        {1, 0x80, "TEST", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 12, 11, 142, 15},
        {102, 0x80, "StopClocks", kChild | WS_TABSTOP, 0, 173, 12, 50, 14},
        {105, 0x80, "Reset Date", kChild | WS_TABSTOP, 0, 173, 40, 50, 14},
        {106, 0x80, "Install Fix", kChild | WS_TABSTOP, 0, 173, 67, 50, 14},
        {103, 0x80, "Help", kChild | WS_TABSTOP, 0, 173, 94, 50, 14},
        {108, 0x80, "Close", kChild | WS_TABSTOP, 0, 173, 126, 50, 14},
        {115, 0x80, " clocks ", kChild | BS_GROUPBOX, WS_EX_DLGMODALFRAME, 12, 36, 142, 104},
        {104, 0, "", kChild | WS_BORDER | LBS_SORT | LBS_NOTIFY, 0, 56, 58, 80, 20},
        {107, 0, "", kChild | WS_BORDER | LBS_SORT | LBS_NOTIFY, 0, 56, 78, 80, 20},
        {117, 0, "", kChild | WS_BORDER | LBS_SORT | LBS_NOTIFY, 0, 56, 103, 80, 20},
        {109, 0, "", kChild | WS_BORDER | LBS_SORT | LBS_NOTIFY, 0, 56, 116, 80, 20},
        {110, 0x82, "Cmos:", kChild | WS_GROUP | SS_LEFT, 0, 23, 61, 20, 12},
        {112, 0x82, "Bios:", kChild | WS_GROUP | SS_LEFT, 0, 23, 79, 20, 12},
        {113, 0x82, "System:", kChild | WS_GROUP | SS_LEFT, 0, 23, 93, 27, 12},
        {119, 0x82, "Local:", kChild | WS_GROUP | SS_LEFT, 0, 28, 104, 20, 12},
        {118, 0x82, "UTC:", kChild | WS_GROUP | SS_LEFT, 0, 30, 117, 20, 12},
    };
    const DialogTemplate &dlg = MainTemplate();
    ASSERT_EQ(dlg.items.size(), std::size(expected));
    for (size_t i = 0; i < dlg.items.size(); ++i) {
        const user::DialogItemTemplate &item = dlg.items[i];
        const Expected &e = expected[i];
        SCOPED_TRACE("control " + std::to_string(e.id));
        EXPECT_EQ(item.id, static_cast<DWORD>(e.id));
        if (e.classOrdinal) {
            EXPECT_TRUE(item.windowClass.isOrdinal);
            EXPECT_EQ(item.windowClass.ordinal, e.classOrdinal);
        } else {
            EXPECT_STRCASEEQ(item.windowClass.text.c_str(), "ListBox");
        }
        EXPECT_EQ(item.text.text, e.text);
        EXPECT_EQ(item.style, e.style);
        EXPECT_EQ(item.exStyle, e.exStyle);
        EXPECT_EQ((std::vector<int>{item.x, item.y, item.cx, item.cy}),
                  (std::vector<int>{e.x, e.y, e.cx, e.cy}));
    }
}

// A DLGTEMPLATE that uses each kind of ordinal-or-string field once.
std::vector<BYTE> HandMadeTemplate()
{
    Bytes t;
    t.D(WS_POPUP | DS_SETFONT)  // style
        .D(WS_EX_TOPMOST)       // dwExtendedStyle
        .W(2)                   // cdit: two controls
        .W(5)
        .W(6)
        .W(100)
        .W(50)  // x, y, cx, cy
        .W(0xFFFF)
        .W(7)          // menu: ordinal 7
        .S("MyClass")  // class: a string
        .S("Hi")       // caption
        .W(9)
        .S("Sys");  // DS_SETFONT: point size, typeface
    // The header ends at byte 42: the first item starts on the next DWORD (44).
    t.AlignDword();
    t.D(WS_CHILD | BS_DEFPUSHBUTTON)  // style
        .D(0)                         // exstyle
        .W(1)
        .W(2)
        .W(30)
        .W(14)    // x, y, cx, cy
        .W(IDOK)  // id (a WORD in DLGTEMPLATE)
        .W(0xFFFF)
        .W(0x0080)  // class: ordinal 0x80, button
        .S("OK")    // text: a string
        .W(0);      // no creation data
    t.AlignDword();
    t.D(WS_CHILD | SS_ICON)  // style
        .D(0)                // exstyle
        .W(3)
        .W(4)
        .W(16)
        .W(16)        // x, y, cx, cy
        .W(300)       // id
        .S("Static")  // class: a string this time
        .W(0xFFFF)
        .W(1111)  // text: ordinal, an icon resource
        .W(2)
        .W(0xBEEF);  // two bytes of creation data
    return t.b;
}

TEST(DlgTemplate, HandMadeTemplateReadsOrdinalAndStringFieldsAndAlignedItems)
{
    auto dlg = ParseDialogTemplate(HandMadeTemplate());
    ASSERT_TRUE(dlg.has_value());
    EXPECT_EQ(dlg->style, static_cast<DWORD>(WS_POPUP | DS_SETFONT));
    EXPECT_EQ(dlg->exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_TRUE(dlg->menu.isOrdinal);
    EXPECT_EQ(dlg->menu.ordinal, 7);
    EXPECT_EQ(dlg->windowClass.text, "MyClass");
    EXPECT_EQ(dlg->caption, "Hi");
    EXPECT_EQ(dlg->pointSize, 9);
    EXPECT_EQ(dlg->typeface, "Sys");
    ASSERT_EQ(dlg->items.size(), 2u);

    const auto &ok = dlg->items[0];
    EXPECT_EQ(ok.id, static_cast<DWORD>(IDOK));
    EXPECT_TRUE(ok.windowClass.isOrdinal);
    EXPECT_EQ(ok.windowClass.ordinal, 0x80);
    EXPECT_EQ(ok.text.text, "OK");
    EXPECT_EQ((std::vector<int>{ok.x, ok.y, ok.cx, ok.cy}), (std::vector<int>{1, 2, 30, 14}));

    const auto &icon = dlg->items[1];
    EXPECT_EQ(icon.id, 300u);
    EXPECT_EQ(icon.windowClass.text, "Static");
    EXPECT_TRUE(icon.text.isOrdinal);
    EXPECT_EQ(icon.text.ordinal, 1111);
    EXPECT_EQ(icon.creationData, (std::vector<BYTE>{0xEF, 0xBE}));
}

TEST(DlgTemplate, TruncatedTemplatesAreRejected)
{
    std::vector<BYTE> bytes = HandMadeTemplate();
    // Any cut inside the header or an item leaves something unread.
    for (size_t cut :
         {size_t{0}, size_t{10}, size_t{30}, size_t{43}, size_t{50}, bytes.size() - 3}) {
        std::vector<BYTE> shorter(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        EXPECT_FALSE(ParseDialogTemplate(shorter).has_value()) << "cut at " << cut;
    }
}

TEST(DlgTemplate, ExtendedTemplateHasDwordIdsAndItsOwnFieldOrder)
{
    Bytes t;
    t.W(1)
        .W(0xFFFF)         // dlgVer 1, signature: DLGTEMPLATEEX
        .D(0)              // helpID
        .D(WS_EX_TOPMOST)  // exStyle comes before style here
        .D(WS_POPUP)       // style
        .W(1)              // cDlgItems
        .W(0)
        .W(0)
        .W(40)
        .W(20)     // x, y, cx, cy
        .W(0)      // no menu
        .W(0)      // the predefined dialog class
        .S("Ex");  // title; no DS_SETFONT, so no font
    t.AlignDword();
    t.D(0)            // helpID
        .D(0)         // exStyle
        .D(WS_CHILD)  // style
        .W(0)
        .W(0)
        .W(10)
        .W(10)     // x, y, cx, cy
        .D(70000)  // id: a DWORD
        .W(0xFFFF)
        .W(0x0082)  // class: static
        .S("t")     // text
        .W(0);      // no creation data
    auto dlg = ParseDialogTemplate(t.b);
    ASSERT_TRUE(dlg.has_value());
    EXPECT_TRUE(dlg->extended);
    EXPECT_EQ(dlg->exStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_EQ(dlg->style, static_cast<DWORD>(WS_POPUP));
    EXPECT_TRUE(dlg->windowClass.Empty());
    ASSERT_EQ(dlg->items.size(), 1u);
    EXPECT_EQ(dlg->items[0].id, 70000u);
}

}  // namespace
