// The resource reader behind FindResource, on a hand-made .res image.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "kernel/resources.h"
#include "le_bytes.h"

namespace {

using kernel::ResourceImage;
using kernel::ResourceName;

// One .res record: header (sizes, type, name, language) and its data.
void AppendRecord(Bytes &res, const Bytes &typeAndName, WORD language,
                  const std::vector<BYTE> &data)
{
    Bytes header;
    header.b = typeAndName.b;
    header.AlignDword();
    header
        .D(0)         // DataVersion
        .W(0x1030)    // MemoryFlags
        .W(language)  // LanguageId
        .D(0)         // Version
        .D(0);        // Characteristics
    res.D(static_cast<DWORD>(data.size())).D(static_cast<DWORD>(header.b.size() + 8));
    res.b.insert(res.b.end(), header.b.begin(), header.b.end());
    res.b.insert(res.b.end(), data.begin(), data.end());
    res.AlignDword();
}

TEST(DlgTemplate, ResFileFindsByOrdinalOrNameAndPrefersTheLanguageAsked)
{
    Bytes res;
    Bytes empty;
    empty.W(0xFFFF).W(0).W(0xFFFF).W(0);
    AppendRecord(res, empty, 0, {});  // the leading empty record
    Bytes byName;
    byName.S("TEXTFILE").S("README");
    AppendRecord(res, byName, 0, {'a', 'b', 'c'});  // 3 bytes: the next record is padded
    Bytes dialog;
    dialog.W(0xFFFF).W(5).W(0xFFFF).W(42);
    AppendRecord(res, dialog, 1033, {1});
    const size_t last = res.b.size();
    AppendRecord(res, dialog, 2057, {2});

    auto image = ResourceImage::Parse(res.b);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->All().size(), 3u);
    const kernel::Resource *text =
        image->Find(ResourceName::From("textfile"), ResourceName::From("readme"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text->data.begin(), text->data.end()), "abc");
    const kernel::Resource *british =
        image->Find(ResourceName::From(RT_DIALOG), ResourceName::From(MAKEINTRESOURCEA(42)));
    ASSERT_NE(british, nullptr);
    EXPECT_EQ(british->data[0], 2);
    EXPECT_EQ(image
                  ->Find(ResourceName::From(RT_DIALOG), ResourceName::From(MAKEINTRESOURCEA(42)),
                         1033)
                  ->data[0],
              1);
    EXPECT_EQ(image->Find(ResourceName::From(RT_DIALOG), ResourceName::From(MAKEINTRESOURCEA(43))),
              nullptr);

    // A record whose size runs past the end is no resource file.
    res.b[last + 1] = 0xFF;  // DataSize 0xFF01
    EXPECT_FALSE(ResourceImage::Parse(res.b).has_value());
}

}  // namespace
