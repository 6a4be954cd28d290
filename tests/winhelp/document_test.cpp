// The help compiler's files as the host's help viewer reads them back: the
// built Tolvaneeval.hlp whole, the fixed structures byte by byte, files cut
// short or corrupted, sources big enough for topic blocks and B+ trees of
// several pages, and small files made to make the reader hold far more than
// their size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "heap_counter.h"
#include "help_source.h"
#include "helpfile/btree_writer.h"
#include "helpfile/byte_writer.h"
#include "helpfile/format.h"
#include "helpfile/help_writer.h"
#include "winhelp/document.h"

namespace {

std::vector<std::uint8_t> BuiltHelpFile()
{
    std::ifstream in(TOLVANE_BINARY_DIR "/Tolvaneeval.hlp", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Compile(const std::string &source)
{
    return helpfile::WriteHelpFile(hlpc::ParseHelpSource(source));
}

winhelp::HelpDocument Read(const std::vector<std::uint8_t> &bytes)
{
    std::string error;
    std::optional<winhelp::HelpDocument> doc = winhelp::ReadHelpFile(bytes, error);
    if (!doc)
        throw std::runtime_error("not read: " + error);
    return std::move(*doc);
}

std::string Text(const winhelp::HelpParagraph &p)
{
    std::string text;
    for (const winhelp::HelpSpan &s : p.spans)
        text += s.text;
    return text;
}

std::uint32_t U32At(const std::vector<std::uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(HelpFile, TheBuiltHelpFileReadsBackWithEveryTopicJumpAndKeyword)
{
    winhelp::HelpDocument doc = Read(BuiltHelpFile());
    EXPECT_EQ(doc.title, "Tolvane Help");
    EXPECT_EQ(doc.caption, "Tolvane Help");
    std::vector<std::string> titles;
    for (const winhelp::HelpFileTopic &t : doc.topics)
        titles.push_back(t.title);
    EXPECT_EQ(titles,
              (std::vector<std::string>{"Tolvane - Year 2000 Clock Test and Fix", "The four clocks",
                                        "Before you test", "Running the test",
                                        "Reading the verdict", "Testing", "The Fix software",
                                        "If the date could not be reset"}));
    EXPECT_EQ(doc.contents, 0u);

    for (const winhelp::HelpFileTopic &t : doc.topics) {
        SCOPED_TRACE(t.title);
        ASSERT_FALSE(t.paragraphs.empty());
        // The title heads the topic and stays in view.
        EXPECT_TRUE(t.paragraphs[0].nonScrolling);
        EXPECT_EQ(Text(t.paragraphs[0]), t.title);
        EXPECT_TRUE(t.paragraphs[0].spans[0].bold);
        // Every jump leads to the topic it shows.
        for (const winhelp::HelpParagraph &p : t.paragraphs)
            for (const winhelp::HelpSpan &s : p.spans) {
                if (s.jump < 0)
                    continue;
                std::optional<std::size_t> to = doc.TopicForContext(s.target);
                ASSERT_TRUE(to) << s.text;
                EXPECT_EQ(doc.topics[*to].title, s.text);
            }
    }
    // The Fail verdict's topic explains each way to fail.
    std::string testing;
    for (const winhelp::HelpParagraph &p : doc.topics[5].paragraphs)
        testing += Text(p) + "\n";
    for (const char *failure : {"Cmos line reads 01-01-1900", "Bios line reads 2000",
                                "Bios line is empty", "01-02-2000 or later"})
        EXPECT_NE(testing.find(failure), std::string::npos) << failure;

    std::map<std::string, std::vector<std::string>> index;
    for (const winhelp::HelpKeyword &k : doc.keywords)
        for (std::uint32_t offset : k.topics)
            index[k.keyword].push_back(doc.topics[*doc.TopicAtOffset(offset)].title);
    EXPECT_EQ(index["Fail"], (std::vector<std::string>{"Reading the verdict", "Testing"}));
    EXPECT_EQ(index["faltrem.exe"], std::vector<std::string>{"The Fix software"});
    EXPECT_EQ(doc.keywords.front().keyword, "1900") << "sorted as read, digits first";

    ASSERT_EQ(doc.titleIndex.size(), doc.topics.size());
    for (size_t i = 0; i < doc.topics.size(); ++i) {
        EXPECT_EQ(doc.titleIndex[i].offset, doc.topics[i].offset);
        EXPECT_EQ(doc.titleIndex[i].title, doc.topics[i].title);
    }
}

TEST(HelpFile, FixedStructuresLieWhereTheFormatPutsThem)
{
    const std::vector<std::uint8_t> f = Compile("@helpfile T\n@topic a\n@title A\nx\n");
    const size_t dir = U32At(f, 4);
    const size_t tree = dir + 9;
    const size_t leaf = tree + 38;
    struct Field {
        size_t at;
        std::vector<std::uint8_t> bytes;
        const char *what;
    } fields[] = {
        {0, {0x3F, 0x5F, 0x03, 0x00}, "file magic 0x00035F3F"},
        {8, {0xFF, 0xFF, 0xFF, 0xFF}, "no free list"},
        {12, {0xB7, 0x2D, 0x00, 0x00}, "file size 11703"},
        // |SYSTEM is the first internal file.
        {16, {0x81, 0x00, 0x00, 0x00}, "|SYSTEM reserves 129 bytes, its header included"},
        {20, {0x78, 0x00, 0x00, 0x00}, "and uses 120 after the header"},
        {24, {0x04}, "internal file flags"},
        {25, {0x6C, 0x03}, "|SYSTEM magic"},
        {27, {0x21, 0x00}, "minor 33: WinHelp 4.0"},
        {29, {0x01, 0x00}, "major 1"},
        {31, {0x00, 0x00, 0x00, 0x00}, "no build date"},
        {35, {0x00, 0x00}, "flags 0: plain topic blocks of 4 KiB"},
        {37, {0x01, 0x00, 0x02, 0x00, 'T', 0x00}, "TITLE record, 2 bytes: \"T\""},
        {43, {0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}, "CONTENTS record: TOPICOFFSET 0"},
        {51,
         {0x06, 0x00, 0x5A, 0x00, 0x06, 0x00},
         "WINDOW record, 90 bytes: name and caption valid"},
        {67, {'m', 'a', 'i', 'n', 0x00}, "the window's name"},
        {76, {'T', 0x00}, "its caption, the title"},
        // The directory, the last internal file.
        {dir + 8, {0x04}, "directory's internal file flags"},
        {tree, {0x3B, 0x29}, "B+ tree magic"},
        {tree + 2, {0x02, 0x04}, "flags: 0x0002 and the directory's 0x0400"},
        {tree + 4, {0x00, 0x04}, "1 KiB pages"},
        {tree + 6, {'z', '4', 0x00}, "entries: a name, a long"},
        {tree + 26,
         {0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00},
         "root page 0, -1, 1 page, 1 level"},
        {tree + 34, {0x08, 0x00, 0x00, 0x00}, "8 internal files"},
        {leaf + 2, {0x08, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, "8 entries, no previous or next leaf"},
        {leaf + 8, {'|', 'C', 'O', 'N', 'T', 'E', 'X', 'T', 0x00}, "first by byte order: |CONTEXT"},
    };
    for (const Field &field : fields) {
        ASSERT_LE(field.at + field.bytes.size(), f.size()) << field.what;
        EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + static_cast<std::ptrdiff_t>(field.at),
                                            f.begin() + static_cast<std::ptrdiff_t>(
                                                            field.at + field.bytes.size())),
                  field.bytes)
            << field.what << " at " << field.at;
    }
    EXPECT_EQ(U32At(f, 12), f.size());
    EXPECT_EQ(dir + U32At(f, dir), f.size()) << "the directory ends the file";

    // The first topic block: no link before it, its first link right after
    // its header, and that link a topic header.
    const std::string name = "|TOPIC";
    auto entry = std::search(f.begin() + static_cast<std::ptrdiff_t>(leaf), f.end(), name.begin(),
                             name.end());
    ASSERT_NE(entry, f.end());
    const size_t topic = U32At(f, static_cast<size_t>(entry - f.begin()) + name.size() + 1);
    ASSERT_LT(topic + 9 + 12 + 21, f.size());
    EXPECT_EQ(U32At(f, topic + 9), 0xFFFFFFFFu) << "last link of an earlier block";
    EXPECT_EQ(U32At(f, topic + 9 + 4), 12u) << "first link: TOPICPOS 12";
    EXPECT_EQ(f[topic + 9 + 12 + 20], 0x02) << "a topic header record";
    EXPECT_EQ(U32At(f, topic + 4) % 4096, 0u) << "whole 4 KiB blocks";
}

TEST(HelpFile, CutOrCorruptedFilesAreRefusedWithAReason)
{
    const std::vector<std::uint8_t> good = BuiltHelpFile();
    ASSERT_GT(good.size(), 4096u);
    const size_t dir = U32At(good, 4);
    struct Damage {
        const char *what;
        std::vector<std::uint8_t> (*make)(std::vector<std::uint8_t>, size_t dir);
        const char *error;
    } damages[] = {
        {"empty", [](std::vector<std::uint8_t>, size_t) { return std::vector<std::uint8_t>{}; },
         "it does not start as a help file does"},
        {"cut in half",
         [](std::vector<std::uint8_t> b, size_t) {
             b.resize(b.size() / 2);
             return b;
         },
         "but its header says"},
        {"a text file",
         [](std::vector<std::uint8_t>, size_t) { return std::vector<std::uint8_t>(100, 'x'); },
         "it does not start as a help file does"},
        {"directory beyond the end",
         [](std::vector<std::uint8_t> b, size_t) {
             b[6] = 0x7F;
             return b;
         },
         "the directory lies outside the file"},
        {"directory not a B+ tree",
         [](std::vector<std::uint8_t> b, size_t dir) {
             b[dir + 9] = 0;
             return b;
         },
         "the directory is not a B+ tree"},
        {"directory root page out of range",
         [](std::vector<std::uint8_t> b, size_t dir) {
             b[dir + 9 + 26] = 9;
             return b;
         },
         "B+ tree header that makes no sense"},
        {"internal file larger than it reserves",
         [](std::vector<std::uint8_t> b, size_t) {
             b[20] = 0xFF;
             b[21] = 0xFF;
             return b;
         },
         "|SYSTEM claims more bytes than it reserves"},
        {"compressed",
         [](std::vector<std::uint8_t> b, size_t) {
             b[35] = 4;
             return b;
         },
         "its topics are compressed"},
    };
    for (const Damage &d : damages) {
        SCOPED_TRACE(d.what);
        std::string error;
        EXPECT_FALSE(winhelp::ReadHelpFile(d.make(good, dir), error));
        EXPECT_NE(error.find(d.error), std::string::npos) << error;
    }

    // Every cut, and every byte turned to 0xFF or 0x00 at a stride through
    // the file, either reads or is refused: never a read past the end (the
    // sanitizer build checks that).
    for (size_t size = 0; size < good.size(); size += 61) {
        std::vector<std::uint8_t> cut(good.begin(),
                                      good.begin() + static_cast<std::ptrdiff_t>(size));
        std::string error;
        EXPECT_FALSE(winhelp::ReadHelpFile(cut, error)) << size;
    }
    int refused = 0;
    for (size_t at = 0; at < good.size(); at += 7)
        for (std::uint8_t value : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
            std::vector<std::uint8_t> bad = good;
            bad[at] = value;
            std::string error;
            std::optional<winhelp::HelpDocument> doc = winhelp::ReadHelpFile(bad, error);
            if (!doc) {
                ++refused;
                EXPECT_FALSE(error.empty());
                continue;
            }
            for (const winhelp::HelpFileTopic &t : doc->topics)
                for (const winhelp::HelpParagraph &p : t.paragraphs)
                    for (const winhelp::HelpSpan &s : p.spans)
                        if (s.jump >= 0)
                            doc->TopicForContext(s.target);
        }
    EXPECT_GT(refused, 100);
}

TEST(HelpFile, ManyTopicsSpanTopicBlocksAndTreesOfSeveralLevels)
{
    // 600 topics: |CONTEXT (255 entries a page) needs three leaves under an
    // index page, the keywords more, and the text many topic blocks, with
    // paragraphs running on across block headers.
    std::string source = "@helpfile Big\n";
    const int kTopics = 600;
    for (int i = 0; i < kTopics; ++i) {
        source += "@topic topic_number_" + std::to_string(i) + "\n@title Topic " +
                  std::to_string(i) + "\n";
        source += "@keywords keyword " + std::to_string(i) + "; shared\n";
        source +=
            "Text of topic " + std::to_string(i) + " that goes on for a while to fill the blocks. ";
        source += "{Next|topic_number_" + std::to_string((i + 1) % kTopics) + "}\n";
    }
    const std::vector<std::uint8_t> bytes = Compile(source);
    winhelp::HelpDocument doc = Read(bytes);
    ASSERT_EQ(doc.topics.size(), static_cast<size_t>(kTopics));
    for (int i = 0; i < kTopics; ++i) {
        const winhelp::HelpFileTopic &t = doc.topics[static_cast<size_t>(i)];
        ASSERT_EQ(t.title, "Topic " + std::to_string(i));
        const winhelp::HelpSpan &jump = t.paragraphs.back().spans.back();
        ASSERT_EQ(jump.text, "Next");
        std::optional<std::size_t> to = doc.TopicForContext(jump.target);
        ASSERT_TRUE(to) << t.title;
        EXPECT_EQ(*to, static_cast<size_t>((i + 1) % kTopics)) << t.title;
    }
    ASSERT_EQ(doc.keywords.size(), static_cast<size_t>(kTopics + 1));
    EXPECT_EQ(doc.keywords.back().keyword, "shared");
    EXPECT_EQ(doc.keywords.back().topics.size(), static_cast<size_t>(kTopics));
    EXPECT_EQ(doc.titleIndex.size(), static_cast<size_t>(kTopics));
    EXPECT_GT(doc.topics.back().offset / helpfile::topic::kOffsetBlockStride, 10u)
        << "many topic blocks";
}

// ---- Files made to take memory ----

namespace fmt = helpfile;

// The internal files of a help file whose directory is one page, by name.
std::map<std::string, std::vector<std::uint8_t>> InternalFiles(const std::vector<std::uint8_t> &f)
{
    const size_t leaf = U32At(f, fmt::file_header::kDirectoryAt) + fmt::internal_file::kSize +
                        fmt::btree::kHeaderSize;
    const size_t count = f[leaf + fmt::btree::kEntriesAt] | f[leaf + fmt::btree::kEntriesAt + 1]
                                                                << 8;
    std::map<std::string, std::vector<std::uint8_t>> files;
    size_t at = leaf + fmt::btree::kLeafHeaderSize;
    for (size_t i = 0; i < count; ++i) {
        const std::string name(reinterpret_cast<const char *>(&f[at]));
        const size_t offset = U32At(f, at + name.size() + 1);
        at += name.size() + 1 + 4;
        const auto content =
            f.begin() + static_cast<std::ptrdiff_t>(offset + fmt::internal_file::kSize);
        files[name].assign(content, content + U32At(f, offset + fmt::internal_file::kUsedAt));
    }
    return files;
}

// A compiled file with some of its internal files replaced.
std::vector<std::uint8_t>
Replacing(const std::vector<std::uint8_t> &file,
          const std::map<std::string, std::vector<std::uint8_t>> &replacements)
{
    std::vector<helpfile::InternalFileContent> files;
    for (auto &[name, content] : InternalFiles(file)) {
        auto replaced = replacements.find(name);
        files.push_back({name, replaced == replacements.end() ? content : replaced->second});
    }
    return helpfile::WriteInternalFiles(files);
}

const std::vector<std::uint8_t> &OneTopic()
{
    static const std::vector<std::uint8_t> file =
        Compile("@helpfile T\n@topic a\n@title A\n@keywords k\nx\n");
    return file;
}

// A keyword index of `keywords` entries that each name every one of the
// `references` in |KWDATA, where an honest index names each once.
std::vector<std::uint8_t> KeywordsSharingTheirTopics(int keywords, int references)
{
    std::vector<helpfile::BTreeEntry> entries;
    for (int i = 0; i < keywords; ++i) {
        char keyword[16];
        std::snprintf(keyword, sizeof keyword, "k%06d", i);
        helpfile::ByteWriter leaf, key;
        leaf.TextZ(keyword);
        leaf.U16(static_cast<std::uint16_t>(references));  // topics
        leaf.U32(0);                                       // at the start of |KWDATA
        key.TextZ(keyword);
        entries.push_back({leaf.Take(), key.Take()});
    }
    helpfile::ByteWriter data;
    for (int i = 0; i < references; ++i)
        data.U32(0);  // TOPICOFFSET of the one topic
    return Replacing(OneTopic(), {{std::string(fmt::kKeywordsFile),
                                   helpfile::BuildBTree({fmt::btree::kFlags, fmt::btree::kPageSize,
                                                         fmt::btree::kKeywordsStructure},
                                                        entries)
                                       .bytes},
                                  {std::string(fmt::kKeywordDataFile), data.Take()}});
}

// ---- |TOPIC made by hand: a stream of links cut into blocks ----

// TOPICPOS of a byte of the links' stream, the blocks' headers left out.
std::uint32_t PosOf(size_t at)
{
    using namespace fmt::topic;
    return TopicPos(static_cast<std::uint32_t>(at / kBlockDataSize),
                    static_cast<std::uint32_t>(kBlockHeaderSize + at % kBlockDataSize));
}

// Only the first block's header is read: where the first link is.
std::vector<std::uint8_t> TopicFile(const std::vector<std::uint8_t> &stream)
{
    using namespace fmt::topic;
    helpfile::ByteWriter out;
    for (size_t from = 0; from < stream.size(); from += kBlockDataSize) {
        out.U32(fmt::kNone);  // last link begun in an earlier block
        out.U32(PosOf(0));    // first link
        out.U32(fmt::kNone);  // last topic header begun in an earlier block
        const auto chunk = stream.begin() + static_cast<std::ptrdiff_t>(from);
        out.Bytes({chunk, chunk + static_cast<std::ptrdiff_t>(
                                      std::min(kBlockDataSize, stream.size() - from))});
    }
    return out.Take();
}

void LinkHeader(helpfile::ByteWriter &s, size_t size, size_t size2, std::uint32_t next, size_t end1,
                std::uint8_t type)
{
    s.U32(static_cast<std::uint32_t>(size));   // the whole link
    s.U32(static_cast<std::uint32_t>(size2));  // LinkData2
    s.U32(fmt::kNone);                         // previous link, unread
    s.U32(next);
    s.U32(static_cast<std::uint32_t>(end1));  // header and LinkData1
    s.U8(type);
}

// A topic header link titled "A", whose next link follows it.
void TopicHeader(helpfile::ByteWriter &s)
{
    const size_t size = fmt::topic::kLinkHeaderSize + fmt::topic::kTopicHeaderSize + 2;
    LinkHeader(s, size, 2, PosOf(s.Size() + size),
               fmt::topic::kLinkHeaderSize + fmt::topic::kTopicHeaderSize,
               fmt::topic::kTopicHeaderRecord);
    s.U32(0);  // topic size
    for (int field = 0; field < 6; ++field)
        s.U32(fmt::kNone);  // browse back and next, number, regions, next topic
    s.TextZ("A");
}

// A display record's LinkData1 up to its paragraph bits.
void DisplayStart(helpfile::ByteWriter &s, std::uint16_t bits)
{
    s.U16(0x8000);  // compressed long TopicSize: 0
    s.U8(0);        // compressed TopicLength: 0
    for (std::uint8_t b : fmt::paragraph::kReserved)
        s.U8(b);
    s.U16(bits);
}

// `links` display records that all read, as their text, the one long string
// after the last of them.
std::vector<std::uint8_t> LinksSharingTheirText(int links, size_t textSize)
{
    helpfile::ByteWriter s;
    TopicHeader(s);
    const size_t data1 = 10, first = s.Size();
    const size_t text = first + static_cast<size_t>(links) * (fmt::topic::kLinkHeaderSize + data1);
    for (int i = 0; i < links; ++i) {
        const size_t end1 = text - s.Size();
        const size_t next = s.Size() + fmt::topic::kLinkHeaderSize + data1;
        LinkHeader(s, end1 + textSize, textSize, i + 1 < links ? PosOf(next) : fmt::kNone, end1,
                   fmt::topic::kDisplayRecord);
        DisplayStart(s, 0);
        s.U8(fmt::paragraph::kEndOfText);
    }
    s.Text(std::string(textSize - 1, 'x'));
    s.U8(0);
    return Replacing(OneTopic(), {{std::string(fmt::kTopicFile), TopicFile(s.Take())}});
}

// One display record of `paragraphs` paragraphs of one letter each, all with
// the 32 tab stops it sets once at its start.
std::vector<std::uint8_t> ShortParagraphsWithManyTabStops(int paragraphs)
{
    helpfile::ByteWriter data1, data2;
    DisplayStart(data1, fmt::paragraph::kTabsFollow);
    data1.U8((32 + 0x40) * 2);  // compressed short: 32 stops
    for (int stop = 0; stop < 32; ++stop)
        data1.U8(static_cast<std::uint8_t>(stop * 2 * 2));  // compressed: stop * 2 half points
    for (int i = 0; i < paragraphs; ++i) {
        data1.U8(fmt::paragraph::kEndOfParagraph);
        data2.TextZ("x");
    }
    data1.U8(fmt::paragraph::kEndOfText);
    data2.U8(0);

    helpfile::ByteWriter s;
    TopicHeader(s);
    const size_t end1 = fmt::topic::kLinkHeaderSize + data1.Size();
    LinkHeader(s, end1 + data2.Size(), data2.Size(), fmt::kNone, end1, fmt::topic::kDisplayRecord);
    s.Bytes(data1.Bytes());
    s.Bytes(data2.Bytes());
    return Replacing(OneTopic(), {{std::string(fmt::kTopicFile), TopicFile(s.Take())}});
}

TEST(HelpFile, NoFileMakesTheReaderHoldMoreThanAFewTimesItsSize)
{
    struct Case {
        const char *what;
        std::vector<std::uint8_t> file;
        const char *error;  // nullptr: the file reads
    } cases[] = {
        {"the built help file", BuiltHelpFile(), nullptr},
        // Each would take 60 MB or more.
        {"2000 keywords that each name all of 8000 references",
         KeywordsSharingTheirTopics(2000, 8000), "|KWBTREE names more topics than |KWDATA holds"},
        {"2000 topic links that all read one text of 20000 bytes",
         LinksSharingTheirText(2000, 20000), "the topic links of |TOPIC overlap"},
        {"50000 paragraphs of one letter, each given 32 tab stops",
         ShortParagraphsWithManyTabStops(50000),
         "more memory than a help file of its size can need"},
        {"a file longer than the reader reads",
         std::vector<std::uint8_t>(winhelp::kMaxHelpFileSize + 1, 0),
         "it is longer than the 2097152 bytes this help engine reads"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        heaptest::ResetPeak();
        const bool read = winhelp::ReadHelpFile(c.file, error).has_value();
        const size_t peak = heaptest::PeakBytes();
        EXPECT_LE(peak, 32 * c.file.size() + (1u << 20)) << "for a file of " << c.file.size();
        if (!c.error) {
            EXPECT_TRUE(read) << error;
            continue;
        }
        EXPECT_FALSE(read);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

}  // namespace
