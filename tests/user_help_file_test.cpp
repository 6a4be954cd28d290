// The help compiler's files as the host's help engine reads them back: the
// built Tolvaneeval.hlp whole, the fixed structures byte by byte, files cut
// short or corrupted, and sources big enough for topic blocks and B+ trees
// of several pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "help_source.h"
#include "help_writer.h"
#include "user/help_file.h"
#include "winhelp_format.h"

namespace {

std::vector<std::uint8_t> BuiltHelpFile()
{
    std::ifstream in(TOLVANE_BINARY_DIR "/Tolvaneeval.hlp", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Compile(const std::string &source)
{
    return hlpc::WriteHelpFile(hlpc::ParseHelpSource(source));
}

user::HelpDocument Read(const std::vector<std::uint8_t> &bytes)
{
    std::string error;
    std::optional<user::HelpDocument> doc = user::ReadHelpFile(bytes, error);
    if (!doc)
        throw std::runtime_error("not read: " + error);
    return std::move(*doc);
}

std::string Text(const user::HelpParagraph &p)
{
    std::string text;
    for (const user::HelpSpan &s : p.spans)
        text += s.text;
    return text;
}

std::uint32_t U32At(const std::vector<std::uint8_t> &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(HelpFile, TheBuiltHelpFileReadsBackWithEveryTopicJumpAndKeyword)
{
    user::HelpDocument doc = Read(BuiltHelpFile());
    EXPECT_EQ(doc.title, "Tolvane Help");
    EXPECT_EQ(doc.caption, "Tolvane Help");
    std::vector<std::string> titles;
    for (const user::HelpFileTopic &t : doc.topics)
        titles.push_back(t.title);
    EXPECT_EQ(titles,
              (std::vector<std::string>{"Tolvane - Year 2000 Clock Test and Fix", "The four clocks",
                                        "Before you test", "Running the test",
                                        "Reading the verdict", "Testing", "The Fix software",
                                        "If the date could not be reset"}));
    EXPECT_EQ(doc.contents, 0u);

    for (const user::HelpFileTopic &t : doc.topics) {
        SCOPED_TRACE(t.title);
        ASSERT_FALSE(t.paragraphs.empty());
        // The title heads the topic and stays in view.
        EXPECT_TRUE(t.paragraphs[0].nonScrolling);
        EXPECT_EQ(Text(t.paragraphs[0]), t.title);
        EXPECT_TRUE(t.paragraphs[0].spans[0].bold);
        // Every jump leads to the topic it shows.
        for (const user::HelpParagraph &p : t.paragraphs)
            for (const user::HelpSpan &s : p.spans) {
                if (s.jump < 0)
                    continue;
                std::optional<std::size_t> to = doc.TopicForContext(s.target);
                ASSERT_TRUE(to) << s.text;
                EXPECT_EQ(doc.topics[*to].title, s.text);
            }
    }
    // The Fail verdict's topic explains each way to fail.
    std::string testing;
    for (const user::HelpParagraph &p : doc.topics[5].paragraphs)
        testing += Text(p) + "\n";
    for (const char *failure : {"Cmos line reads 01-01-1900", "Bios line reads 2000",
                                "Bios line is empty", "01-02-2000 or later"})
        EXPECT_NE(testing.find(failure), std::string::npos) << failure;

    std::map<std::string, std::vector<std::string>> index;
    for (const user::HelpKeyword &k : doc.keywords)
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
        EXPECT_FALSE(user::ReadHelpFile(d.make(good, dir), error));
        EXPECT_NE(error.find(d.error), std::string::npos) << error;
    }

    // Every cut, and every byte turned to 0xFF or 0x00 at a stride through
    // the file, either reads or is refused: never a read past the end (the
    // sanitizer build checks that).
    for (size_t size = 0; size < good.size(); size += 61) {
        std::vector<std::uint8_t> cut(good.begin(),
                                      good.begin() + static_cast<std::ptrdiff_t>(size));
        std::string error;
        EXPECT_FALSE(user::ReadHelpFile(cut, error)) << size;
    }
    int refused = 0;
    for (size_t at = 0; at < good.size(); at += 7)
        for (std::uint8_t value : {std::uint8_t{0xFF}, std::uint8_t{0x00}}) {
            std::vector<std::uint8_t> bad = good;
            bad[at] = value;
            std::string error;
            std::optional<user::HelpDocument> doc = user::ReadHelpFile(bad, error);
            if (!doc) {
                ++refused;
                EXPECT_FALSE(error.empty());
                continue;
            }
            for (const user::HelpFileTopic &t : doc->topics)
                for (const user::HelpParagraph &p : t.paragraphs)
                    for (const user::HelpSpan &s : p.spans)
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
    user::HelpDocument doc = Read(bytes);
    ASSERT_EQ(doc.topics.size(), static_cast<size_t>(kTopics));
    for (int i = 0; i < kTopics; ++i) {
        const user::HelpFileTopic &t = doc.topics[static_cast<size_t>(i)];
        ASSERT_EQ(t.title, "Topic " + std::to_string(i));
        const user::HelpSpan &jump = t.paragraphs.back().spans.back();
        ASSERT_EQ(jump.text, "Next");
        std::optional<std::size_t> to = doc.TopicForContext(jump.target);
        ASSERT_TRUE(to) << t.title;
        EXPECT_EQ(*to, static_cast<size_t>((i + 1) % kTopics)) << t.title;
    }
    ASSERT_EQ(doc.keywords.size(), static_cast<size_t>(kTopics + 1));
    EXPECT_EQ(doc.keywords.back().keyword, "shared");
    EXPECT_EQ(doc.keywords.back().topics.size(), static_cast<size_t>(kTopics));
    EXPECT_EQ(doc.titleIndex.size(), static_cast<size_t>(kTopics));
    EXPECT_GT(doc.topics.back().offset / winhelp::topic::kOffsetBlockStride, 10u)
        << "many topic blocks";
}

}  // namespace
