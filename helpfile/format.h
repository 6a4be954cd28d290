// The WinHelp 3.1/4.0 file format as the writer lays it out and the host's
// help viewer reads it: where each field of each structure lies, and the
// format's constants. Written down once, for both. Every number is
// little-endian; the names of offsets end in At, sizes in Size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace helpfile {

constexpr std::uint32_t kNone = 0xFFFFFFFF;  // "no such position" in every pointer field

// ---- The file header, at offset 0 ----
namespace file_header {
constexpr std::uint32_t kMagic = 0x00035F3F;
constexpr std::size_t kMagicAt = 0;
constexpr std::size_t kDirectoryAt = 4;  // u32: offset of the directory's internal file
constexpr std::size_t kFirstFreeAt = 8;  // u32: first free block, kNone
constexpr std::size_t kFileSizeAt = 12;  // u32: size of the whole file
constexpr std::size_t kSize = 16;
}  // namespace file_header

// ---- Every internal file starts with this header ----
namespace internal_file {
constexpr std::size_t kReservedAt = 0;  // u32: bytes reserved, this header included
constexpr std::size_t kUsedAt = 4;      // u32: bytes of content after this header
constexpr std::size_t kFlagsAt = 8;     // u8
constexpr std::uint8_t kFlags = 4;
constexpr std::size_t kSize = 9;
}  // namespace internal_file

// The internal files, named in the directory. Sorted by byte value there.
constexpr std::string_view kSystemFile = "|SYSTEM";
constexpr std::string_view kTopicFile = "|TOPIC";
constexpr std::string_view kContextFile = "|CONTEXT";
constexpr std::string_view kTitlesFile = "|TTLBTREE";
constexpr std::string_view kKeywordsFile = "|KWBTREE";
constexpr std::string_view kKeywordDataFile = "|KWDATA";
constexpr std::string_view kKeywordMapFile = "|KWMAP";
constexpr std::string_view kFontFile = "|FONT";

// ---- B+ trees: the directory, |CONTEXT, |TTLBTREE, |KWBTREE ----
// A header, then pages of a fixed size numbered from 0. Leaf pages hold the
// entries in order and are chained both ways; index pages above them hold,
// for each child after the first, the first key of that child and its page.
namespace btree {
constexpr std::uint16_t kMagic = 0x293B;
constexpr std::uint16_t kFlags = 0x0002;          // always set
constexpr std::uint16_t kDirectoryFlag = 0x0400;  // set in the directory's tree
constexpr std::size_t kMagicAt = 0;               // u16
constexpr std::size_t kFlagsAt = 2;               // u16
constexpr std::size_t kPageSizeAt = 4;            // u16
constexpr std::size_t kStructureAt = 6;           // char[16]: the entries' layout, NUL-padded
constexpr std::size_t kStructureSize = 16;
constexpr std::size_t kMustBeZeroAt = 22;      // u16
constexpr std::size_t kPageSplitsAt = 24;      // u16
constexpr std::size_t kRootPageAt = 26;        // u16
constexpr std::size_t kMustBeMinusOneAt = 28;  // u16: 0xFFFF
constexpr std::size_t kTotalPagesAt = 30;      // u16
constexpr std::size_t kLevelsAt = 32;          // u16: 1 when the root is a leaf
constexpr std::size_t kTotalEntriesAt = 34;    // u32
constexpr std::size_t kHeaderSize = 38;

constexpr std::size_t kUnusedAt = 0;        // u16: free bytes at the page's end
constexpr std::size_t kEntriesAt = 2;       // u16
constexpr std::size_t kPreviousPageAt = 4;  // i16: leaf: previous leaf or -1; index: first child
constexpr std::size_t kNextPageAt = 6;      // i16: leaf only: next leaf or -1
constexpr std::size_t kLeafHeaderSize = 8;
constexpr std::size_t kIndexHeaderSize = 6;
constexpr std::size_t kChildPageSize = 2;  // i16 after each key of an index page
constexpr std::uint16_t kNoPage = 0xFFFF;

constexpr std::uint16_t kDirectoryPageSize = 1024;
constexpr std::uint16_t kPageSize = 2048;

// Leaf entry layouts ('z' string, 'F' indexed string, 'L' indexed long,
// '2' short, '4' long). The index keys are the indexed leading field.
constexpr std::string_view kDirectoryStructure = "z4";  // name, file offset
constexpr std::string_view kContextStructure = "L4";    // context hash, TOPICOFFSET
constexpr std::string_view kTitlesStructure = "Lz";     // TOPICOFFSET, topic title
constexpr std::string_view kKeywordsStructure = "F24";  // keyword, count, |KWDATA offset
}  // namespace btree

// ---- |SYSTEM: the version, then records ----
namespace system_file {
constexpr std::uint16_t kMagic = 0x036C;
constexpr std::uint16_t kMinorWinHelp4 = 33;  // above 16: records follow, topics are found by hash
constexpr std::uint16_t kMinorWinHelp31 = 21;
constexpr std::uint16_t kMajor = 1;
constexpr std::uint16_t kUncompressed = 0;  // flags: plain topic blocks of 4 KiB
constexpr std::size_t kMagicAt = 0;         // u16
constexpr std::size_t kMinorAt = 2;         // u16
constexpr std::size_t kMajorAt = 4;         // u16
constexpr std::size_t kGeneratedAt = 6;     // u32: seconds since 1970, or 0
constexpr std::size_t kFlagsAt = 10;        // u16
constexpr std::size_t kHeaderSize = 12;

// Each record: u16 type, u16 size, then `size` bytes.
constexpr std::size_t kRecordHeaderSize = 4;
constexpr std::uint16_t kTitleRecord = 1;     // NUL-terminated: the help window's caption
constexpr std::uint16_t kContentsRecord = 3;  // u32: TOPICOFFSET of the contents topic
constexpr std::uint16_t kWindowRecord = 6;  // a window the file defines; "main" is the help window

// A window record's data. Help engines title the main window with its
// caption when one is given, and otherwise with words of their own around
// the file's title.
namespace window {
constexpr std::uint16_t kNameValid = 0x0002;
constexpr std::uint16_t kCaptionValid = 0x0004;
constexpr std::size_t kFlagsAt = 0;  // u16: which fields are valid
constexpr std::size_t kTypeAt = 2;   // char[10]
constexpr std::size_t kNameAt = 12;  // char[9]
constexpr std::size_t kNameSize = 9;
constexpr std::size_t kCaptionAt = 21;  // char[51]
constexpr std::size_t kCaptionSize = 51;
constexpr std::size_t kSize = 90;  // then position, size, style and colours, unused here
constexpr std::string_view kMainName = "main";
}  // namespace window
}  // namespace system_file

// ---- |TOPIC: blocks of 4 KiB, each a header and then a stream of TOPICLINKs ----
// A link may run on into the next block (past its header), but its fixed
// header and LinkData1 never do.
namespace topic {
constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kBlockHeaderSize = 12;
constexpr std::size_t kBlockDataSize = kBlockSize - kBlockHeaderSize;
constexpr std::size_t kLastLinkAt = 0;   // u32 TOPICPOS: last link begun in an earlier block
constexpr std::size_t kFirstLinkAt = 4;  // u32 TOPICPOS: first link begun in this block
constexpr std::size_t kLastTopicHeaderAt =
    8;  // u32 TOPICPOS: last topic header begun in an earlier block

// A TOPICPOS names a byte of the stream: its block times 0x4000 plus its
// offset from the block's start, header included (so never below 12), in
// every 3.1/4.0 file whether compressed or not.
constexpr std::uint32_t kPosBlockStride = 0x4000;
constexpr std::uint32_t TopicPos(std::uint32_t block, std::uint32_t offsetInBlock)
{
    return block * kPosBlockStride + offsetInBlock;
}
// A TOPICOFFSET names a place in the text: its block times 0x8000 plus the
// characters of display records (LinkData2 bytes, NULs included) that come
// before it among the links begun in that block.
constexpr std::uint32_t kOffsetBlockStride = 0x8000;
constexpr std::uint32_t TopicOffset(std::uint32_t block, std::uint32_t characters)
{
    return block * kOffsetBlockStride + characters;
}

// TOPICLINK: a fixed header, LinkData1, then LinkData2 (plain text here).
constexpr std::size_t kLinkSizeAt = 0;  // u32: the whole link
constexpr std::size_t kData2SizeAt =
    4;  // u32: LinkData2 when expanded; equal to its stored size when plain
constexpr std::size_t kPrevLinkAt = 8;     // u32 TOPICPOS, kNone for the first
constexpr std::size_t kNextLinkAt = 12;    // u32 TOPICPOS, kNone for the last
constexpr std::size_t kData1EndAt = 16;    // u32: this header plus LinkData1
constexpr std::size_t kRecordTypeAt = 20;  // u8
constexpr std::size_t kLinkHeaderSize = 21;

constexpr std::uint8_t kTopicHeaderRecord = 0x02;  // LinkData2: the title, NUL-terminated
constexpr std::uint8_t kDisplayRecord = 0x20;      // paragraphs of text

// LinkData1 of a topic header.
constexpr std::size_t kTopicSizeAt = 0;     // u32: bytes of the topic's links
constexpr std::size_t kBrowseBackAt = 4;    // u32 TOPICOFFSET, kNone
constexpr std::size_t kBrowseNextAt = 8;    // u32 TOPICOFFSET, kNone
constexpr std::size_t kTopicNumberAt = 12;  // u32
constexpr std::size_t kNonScrollAt = 16;    // u32 TOPICPOS of the non-scrolling region, kNone
constexpr std::size_t kScrollAt = 20;       // u32 TOPICPOS of the scrolling region, kNone
constexpr std::size_t kNextTopicAt = 24;    // u32 TOPICPOS of the next topic header, kNone
constexpr std::size_t kTopicHeaderSize = 28;
}  // namespace topic

// ---- LinkData1 of a display record ----
// Compressed numbers: an unsigned short is 1 byte (value * 2) below 128,
// else 2 bytes (value * 2 + 1); a signed long is 2 bytes ((value + 0x4000)
// * 2) for -0x4000..0x3FFF, else 4 bytes. Then: compressed long TopicSize,
// compressed unsigned short TopicLength (the LinkData2 bytes), 4 bytes
// unused here, the paragraph bits, the fields those bits announce, and the
// formatting commands. Each command follows one NUL-terminated string of
// LinkData2; the last, kEndOfText, follows an empty one.
namespace paragraph {
constexpr std::size_t kReservedSize = 4;  // u8, biased i8, u16 id: 0, 0x80, 0
constexpr std::uint8_t kReserved[kReservedSize] = {0x00, 0x80, 0x00, 0x00};

// Bits, and the compressed fields they announce in this order.
constexpr std::uint16_t kUnknownFollows = 0x0001;      // compressed long
constexpr std::uint16_t kSpaceAboveFollows = 0x0002;   // compressed short, half points
constexpr std::uint16_t kSpaceBelowFollows = 0x0004;   // compressed short
constexpr std::uint16_t kLineSpacingFollows = 0x0008;  // compressed short
constexpr std::uint16_t kLeftIndentFollows = 0x0010;   // compressed short
constexpr std::uint16_t kRightIndentFollows = 0x0020;  // compressed short
constexpr std::uint16_t kFirstIndentFollows =
    0x0040;                                       // compressed short, relative to the left indent
constexpr std::uint16_t kBorderFollows = 0x0100;  // u8 sides, i16 width
constexpr std::uint16_t kTabsFollow = 0x0200;     // compressed short count, then stops
constexpr std::uint16_t kRightAligned = 0x0400;
constexpr std::uint16_t kCentred = 0x0800;
constexpr std::uint16_t kTabTypeFollows = 0x4000;  // in a tab stop: a compressed type follows

// Formatting commands.
constexpr std::uint8_t kFontChange = 0x80;  // u16: index into |FONT's descriptors
constexpr std::uint8_t kLineBreak = 0x81;
constexpr std::uint8_t kEndOfParagraph = 0x82;  // the next paragraph keeps this formatting
constexpr std::uint8_t kTab = 0x83;
constexpr std::uint8_t kEndOfHotspot = 0x89;
constexpr std::uint8_t kNonBreakingSpace = 0x8B;
constexpr std::uint8_t kNonBreakingHyphen = 0x8C;
constexpr std::uint8_t kPopupByHash = 0xE2;  // u32: context hash; the hotspot's text follows
constexpr std::uint8_t kJumpByHash = 0xE3;   // u32: context hash
constexpr std::uint8_t kEndOfText = 0xFF;
}  // namespace paragraph

// ---- |FONT ----
namespace font {
constexpr std::size_t kFaceCountAt = 0;        // u16
constexpr std::size_t kDescriptorCountAt = 2;  // u16
constexpr std::size_t kFacesAt = 4;            // u16: offset of the face names
constexpr std::size_t kDescriptorsAt = 6;      // u16: offset of the descriptors
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kFaceNameSize = 32;  // NUL-padded

constexpr std::size_t kAttributesAt = 0;  // u8
constexpr std::size_t kHalfPointsAt = 1;  // u8
constexpr std::size_t kFamilyAt = 2;      // u8
constexpr std::size_t kFaceAt = 3;        // u16
constexpr std::size_t kColourAt = 5;      // u8[3] RGB; 3 more unused
constexpr std::size_t kDescriptorSize = 11;
constexpr std::uint8_t kBold = 0x01;
constexpr std::uint8_t kFamilySwiss = 0x03;
}  // namespace font

// ---- |KWMAP: u16 count, then for each leaf page of |KWBTREE ----
namespace keyword_map {
constexpr std::size_t kCountSize = 2;
constexpr std::size_t kFirstKeywordAt = 0;  // u32: number of the page's first keyword
constexpr std::size_t kPageAt = 4;          // u16
constexpr std::size_t kEntrySize = 6;
}  // namespace keyword_map

// ---- Context strings ----
// Letters, digits, '.' and '_' only: outside these, readers hash differently.
constexpr bool IsContextChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_';
}

// The hash that |CONTEXT and jumps name a topic by: case-blind, 43 per
// character, wrapping at 32 bits.
constexpr std::uint32_t ContextHash(std::string_view context)
{
    std::uint32_t hash = 0;
    for (char c : context) {
        std::uint32_t value = 0;
        if (c >= 'A' && c <= 'Z')
            value = static_cast<std::uint32_t>(c - 'A') + 17;
        else if (c >= 'a' && c <= 'z')
            value = static_cast<std::uint32_t>(c - 'a') + 17;
        else if (c >= '1' && c <= '9')
            value = static_cast<std::uint32_t>(c - '0');
        else if (c == '0')
            value = 10;
        else if (c == '.')
            value = 12;
        else if (c == '_')
            value = 13;
        hash = hash * 43 + value;
    }
    return hash;
}

}  // namespace helpfile
