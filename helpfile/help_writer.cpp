// The help file, built inside out: each topic's records, their places in the
// topic blocks (which give every TOPICPOS and TOPICOFFSET), the files that
// point into the topics, and last the directory of them all.
#include "helpfile/help_writer.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

#include "helpfile/btree_writer.h"
#include "helpfile/byte_writer.h"
#include "helpfile/format.h"

namespace helpfile {

namespace {

namespace para = paragraph;

// Fonts: the body, and the bold heading of each topic.
constexpr std::uint16_t kBodyFont = 0;
constexpr std::uint16_t kHeadingFont = 1;
constexpr std::string_view kFace = "Arial";
constexpr std::uint8_t kBodyHalfPoints = 20;
constexpr std::uint8_t kHeadingHalfPoints = 24;

// Paragraph measures in half points. Each fits the one-byte compressed form.
constexpr int kSpaceAbove = 12;
constexpr int kItemIndent = 36;   // bullets and numbers
constexpr int kTermIndent = 60;   // room for a short term before its text
constexpr char kBullet = '\x95';  // in the Windows code page

// ---- Compressed numbers ----

void CompressedUShort(ByteWriter &w, unsigned v)
{
    if (v < 0x80)
        w.U8(static_cast<std::uint8_t>(v * 2));
    else if (v < 0x8000)
        w.U16(static_cast<std::uint16_t>(v * 2 + 1));
    else
        throw std::length_error("a number too large for a compressed short");
}

void CompressedShort(ByteWriter &w, int v)
{
    if (v >= -0x40 && v < 0x40)
        w.U8(static_cast<std::uint8_t>((v + 0x40) * 2));
    else if (v >= -0x4000 && v < 0x4000)
        w.U16(static_cast<std::uint16_t>((v + 0x4000) * 2 + 1));
    else
        throw std::length_error("a number too large for a compressed short");
}

// Only the two-byte form: readers disagree on the four-byte one.
void CompressedLong(ByteWriter &w, long v)
{
    if (v < -0x4000 || v >= 0x4000)
        throw std::length_error("a paragraph of more than 16383 characters");
    w.U16(static_cast<std::uint16_t>((v + 0x4000) * 2));
}

// ---- Records ----

struct Link {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data1;  // LinkData1
    std::string data2;                // LinkData2
    std::uint32_t pos = 0;            // TOPICPOS
    std::uint32_t offset = 0;         // TOPICOFFSET
    std::size_t Size() const
    {
        return helpfile::topic::kLinkHeaderSize + data1.size() + data2.size();
    }
};

// The strings of LinkData2 and the commands of LinkData1, each command
// ending the string before it.
class ParagraphRecord {
public:
    void Text(std::string_view s) { current_ += s; }
    void Command(std::uint8_t code)
    {
        text_ += current_;
        text_ += '\0';
        current_.clear();
        commands_.U8(code);
    }
    void CommandU16(std::uint8_t code, std::uint16_t v)
    {
        Command(code);
        commands_.U16(v);
    }
    void CommandU32(std::uint8_t code, std::uint32_t v)
    {
        Command(code);
        commands_.U32(v);
    }

    Link Finish(std::uint16_t bits, const ByteWriter &fields)
    {
        Command(para::kEndOfParagraph);
        Command(para::kEndOfText);
        Link link;
        link.type = helpfile::topic::kDisplayRecord;
        ByteWriter d1;
        CompressedLong(d1, static_cast<long>(text_.size()));
        CompressedUShort(d1, static_cast<unsigned>(text_.size()));
        for (std::uint8_t b : para::kReserved)
            d1.U8(b);
        d1.U16(bits);
        d1.Bytes(fields.Bytes());
        d1.Bytes(commands_.Bytes());
        link.data1 = d1.Take();
        link.data2 = std::move(text_);
        return link;
    }

private:
    std::string text_, current_;
    ByteWriter commands_;
};

Link TopicHeader(const Topic &topic)
{
    Link link;
    link.type = helpfile::topic::kTopicHeaderRecord;
    link.data1.assign(helpfile::topic::kTopicHeaderSize,
                      0);  // filled in once the topics are placed
    link.data2 = topic.title;
    link.data2 += '\0';
    return link;
}

Link Heading(const Topic &topic)
{
    ParagraphRecord r;
    r.CommandU16(para::kFontChange, kHeadingFont);
    r.Text(topic.title);
    return r.Finish(0, ByteWriter{});
}

Link BodyParagraph(const Paragraph &p)
{
    std::uint16_t bits = 0;
    ByteWriter fields;
    if (p.spaced) {
        bits |= para::kSpaceAboveFollows;
        CompressedShort(fields, kSpaceAbove);
    }
    ParagraphRecord r;
    r.CommandU16(para::kFontChange, kBodyFont);
    if (p.kind != ParagraphKind::kText) {
        // A hanging indent: the marker, a tab to the indent, the text.
        const int indent = p.kind == ParagraphKind::kTerm ? kTermIndent : kItemIndent;
        bits |= para::kLeftIndentFollows | para::kFirstIndentFollows | para::kTabsFollow;
        CompressedShort(fields, indent);
        CompressedShort(fields, -indent);
        CompressedShort(fields, 1);
        CompressedUShort(fields, indent);
        if (p.kind == ParagraphKind::kBullet)
            r.Text(std::string(1, kBullet));
        else
            r.Text(p.marker);
        r.Command(para::kTab);
    }
    for (const Run &run : p.runs) {
        if (run.jump.empty()) {
            r.Text(run.text);
            continue;
        }
        r.CommandU32(para::kJumpByHash, helpfile::ContextHash(run.jump));
        r.Text(run.text);
        r.Command(para::kEndOfHotspot);
    }
    return r.Finish(bits, fields);
}

// ---- |TOPIC ----

struct PlacedTopics {
    std::vector<Link> links;
    std::vector<std::size_t> headers;  // index of each topic's header link
    std::size_t blocks = 0;
};

// Gives each link its TOPICPOS and TOPICOFFSET. A link starts a new block
// when its header and LinkData1 would not fit in this one; LinkData2 may run
// on past the next block's header.
void Place(PlacedTopics &placed)
{
    using namespace helpfile::topic;
    std::uint32_t block = 0;
    std::size_t at = kBlockHeaderSize;  // offset in the block
    std::uint32_t characters = 0;
    for (Link &link : placed.links) {
        if (kBlockSize - at < kLinkHeaderSize + link.data1.size()) {
            ++block;
            at = kBlockHeaderSize;
            characters = 0;
        }
        link.pos = TopicPos(block, static_cast<std::uint32_t>(at));
        link.offset = TopicOffset(block, characters);
        at += link.Size();
        if (link.type == kDisplayRecord)
            characters += static_cast<std::uint32_t>(link.data2.size());
        while (at > kBlockSize) {
            ++block;
            characters = 0;
            at -= kBlockDataSize;
        }
    }
    placed.blocks = block + 1;
}

void FillTopicHeaders(PlacedTopics &placed)
{
    using namespace helpfile::topic;
    for (std::size_t t = 0; t < placed.headers.size(); ++t) {
        const std::size_t first = placed.headers[t];
        const std::size_t end =
            t + 1 < placed.headers.size() ? placed.headers[t + 1] : placed.links.size();
        std::uint32_t size = 0;
        for (std::size_t i = first; i < end; ++i)
            size += static_cast<std::uint32_t>(placed.links[i].Size());
        ByteWriter h;
        h.U32(size);
        h.U32(helpfile::kNone);  // no browse sequence
        h.U32(helpfile::kNone);
        h.U32(static_cast<std::uint32_t>(t));
        h.U32(placed.links[first + 1].pos);  // the heading stays in view
        h.U32(first + 2 < end ? placed.links[first + 2].pos : helpfile::kNone);
        h.U32(t + 1 < placed.headers.size() ? placed.links[end].pos : helpfile::kNone);
        placed.links[first].data1 = h.Take();
    }
}

// The stream of links cut into blocks, each behind its header.
std::vector<std::uint8_t> TopicBlocks(const PlacedTopics &placed)
{
    using namespace helpfile::topic;
    std::vector<std::uint8_t> out(placed.blocks * kBlockSize, 0);
    std::vector<std::uint32_t> firstLink(placed.blocks, helpfile::kNone),
        lastLinkBefore(placed.blocks, helpfile::kNone),
        lastHeaderBefore(placed.blocks, helpfile::kNone);
    for (std::size_t i = 0; i < placed.links.size(); ++i) {
        const Link &link = placed.links[i];
        const std::uint32_t block = link.pos / kPosBlockStride;
        if (firstLink[block] == helpfile::kNone)
            firstLink[block] = link.pos;
        for (std::uint32_t b = block + 1; b < placed.blocks; ++b) {
            lastLinkBefore[b] = link.pos;
            if (link.type == kTopicHeaderRecord)
                lastHeaderBefore[b] = link.pos;
        }

        ByteWriter w;
        w.U32(static_cast<std::uint32_t>(link.Size()));
        w.U32(static_cast<std::uint32_t>(link.data2.size()));
        w.U32(i > 0 ? placed.links[i - 1].pos : helpfile::kNone);
        w.U32(i + 1 < placed.links.size() ? placed.links[i + 1].pos : helpfile::kNone);
        w.U32(static_cast<std::uint32_t>(kLinkHeaderSize + link.data1.size()));
        w.U8(link.type);
        w.Bytes(link.data1);
        w.Text(link.data2);

        std::size_t at = block * kBlockSize + link.pos % kPosBlockStride;
        for (std::uint8_t b : w.Bytes()) {
            if (at % kBlockSize == 0)
                at += kBlockHeaderSize;
            out[at++] = b;
        }
    }
    for (std::size_t b = 0; b < placed.blocks; ++b) {
        ByteWriter h;
        h.U32(lastLinkBefore[b]);
        h.U32(firstLink[b]);
        h.U32(lastHeaderBefore[b]);
        std::copy(h.Bytes().begin(), h.Bytes().end(),
                  out.begin() + static_cast<std::ptrdiff_t>(b * kBlockSize));
    }
    return out;
}

PlacedTopics LayOutTopics(const HelpText &source)
{
    PlacedTopics placed;
    for (std::size_t t = 0; t < source.topics.size(); ++t) {
        const Topic &topic = source.topics[t];
        placed.headers.push_back(placed.links.size());
        placed.links.push_back(TopicHeader(topic));
        placed.links.push_back(Heading(topic));
        for (const Paragraph &p : topic.body)
            placed.links.push_back(BodyParagraph(p));
    }
    Place(placed);
    FillTopicHeaders(placed);
    return placed;
}

std::uint32_t TopicOffsetOf(const PlacedTopics &placed, std::size_t topic)
{
    return placed.links[placed.headers[topic]].offset;
}

// ---- The files that point into the topics ----

std::vector<std::uint8_t> SystemFile(const HelpText &source, const PlacedTopics &placed)
{
    using namespace helpfile::system_file;
    ByteWriter w;
    w.U16(kMagic);
    w.U16(kMinorWinHelp4);
    w.U16(kMajor);
    w.U32(0);  // no build date, so that one source always gives the same file
    w.U16(kUncompressed);
    w.U16(kTitleRecord);
    w.U16(static_cast<std::uint16_t>(source.title.size() + 1));
    w.TextZ(source.title);
    w.U16(kContentsRecord);
    w.U16(4);
    w.U32(TopicOffsetOf(placed, 0));
    // The main window captioned with the title alone.
    w.U16(kWindowRecord);
    w.U16(static_cast<std::uint16_t>(window::kSize));
    const std::size_t record = w.Size();
    w.Zeros(window::kSize);
    w.PatchU16(record + window::kFlagsAt, window::kNameValid | window::kCaptionValid);
    std::vector<std::uint8_t> bytes = w.Take();
    std::copy(window::kMainName.begin(), window::kMainName.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(record + window::kNameAt));
    std::copy(source.title.begin(), source.title.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>(record + window::kCaptionAt));
    return bytes;
}

std::vector<std::uint8_t> FontFile()
{
    using namespace helpfile::font;
    ByteWriter w;
    w.U16(1);
    w.U16(2);
    w.U16(static_cast<std::uint16_t>(kHeaderSize));
    w.U16(static_cast<std::uint16_t>(kHeaderSize + kFaceNameSize));
    w.Text(kFace);
    w.Zeros(kFaceNameSize - kFace.size());
    for (auto [attributes, halfPoints] :
         {std::pair{std::uint8_t{0}, kBodyHalfPoints}, {kBold, kHeadingHalfPoints}}) {
        w.U8(attributes);
        w.U8(halfPoints);
        w.U8(kFamilySwiss);
        w.U16(0);    // the one face
        w.Zeros(6);  // black on the window's background
    }
    return w.Take();
}

std::vector<std::uint8_t> U32Bytes(std::uint32_t v)
{
    ByteWriter w;
    w.U32(v);
    return w.Take();
}

std::vector<std::uint8_t> ContextFile(const HelpText &source, const PlacedTopics &placed)
{
    // Ordered as the signed numbers readers compare them as.
    std::vector<std::pair<std::int32_t, std::uint32_t>> byHash;
    for (std::size_t t = 0; t < source.topics.size(); ++t)
        byHash.emplace_back(static_cast<std::int32_t>(
                                helpfile::ContextHash(source.topics[t].context)),
                            TopicOffsetOf(placed, t));
    std::sort(byHash.begin(), byHash.end());
    std::vector<BTreeEntry> entries;
    for (auto [hash, offset] : byHash) {
        ByteWriter leaf;
        leaf.U32(static_cast<std::uint32_t>(hash));
        leaf.U32(offset);
        entries.push_back({leaf.Take(), U32Bytes(static_cast<std::uint32_t>(hash))});
    }
    return BuildBTree({helpfile::btree::kFlags, helpfile::btree::kPageSize,
                       helpfile::btree::kContextStructure},
                      entries)
        .bytes;
}

std::vector<std::uint8_t> TitlesFile(const HelpText &source, const PlacedTopics &placed)
{
    std::vector<BTreeEntry> entries;  // topics are placed in order, so by TOPICOFFSET too
    for (std::size_t t = 0; t < source.topics.size(); ++t) {
        ByteWriter leaf;
        leaf.U32(TopicOffsetOf(placed, t));
        leaf.TextZ(source.topics[t].title);
        entries.push_back({leaf.Take(), U32Bytes(TopicOffsetOf(placed, t))});
    }
    return BuildBTree({helpfile::btree::kFlags, helpfile::btree::kPageSize,
                       helpfile::btree::kTitlesStructure},
                      entries)
        .bytes;
}

// A keyword index sorted as people read it: case aside, then by bytes.
struct KeywordOrder {
    bool operator()(const std::string &a, const std::string &b) const
    {
        auto lower = [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        };
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            char x = lower(static_cast<unsigned char>(a[i])),
                 y = lower(static_cast<unsigned char>(b[i]));
            if (x != y)
                return x < y;
        }
        if (a.size() != b.size())
            return a.size() < b.size();
        return a < b;
    }
};

struct KeywordFiles {
    std::vector<std::uint8_t> tree, data, map;
};

KeywordFiles KeywordIndex(const HelpText &source, const PlacedTopics &placed)
{
    std::map<std::string, std::vector<std::uint32_t>, KeywordOrder> topicsOf;
    for (std::size_t t = 0; t < source.topics.size(); ++t)
        for (const std::string &k : source.topics[t].keywords)
            topicsOf[k].push_back(TopicOffsetOf(placed, t));

    KeywordFiles files;
    ByteWriter data;
    std::vector<BTreeEntry> entries;
    for (const auto &[keyword, offsets] : topicsOf) {
        ByteWriter leaf;
        leaf.TextZ(keyword);
        leaf.U16(static_cast<std::uint16_t>(offsets.size()));
        leaf.U32(static_cast<std::uint32_t>(data.Size()));
        for (std::uint32_t offset : offsets)
            data.U32(offset);
        ByteWriter key;
        key.TextZ(keyword);
        entries.push_back({leaf.Take(), key.Take()});
    }
    BTreeImage tree = BuildBTree({helpfile::btree::kFlags, helpfile::btree::kPageSize,
                                  helpfile::btree::kKeywordsStructure},
                                 entries);
    ByteWriter map;
    map.U16(static_cast<std::uint16_t>(tree.leaves.size()));
    for (const BTreeLeaf &leaf : tree.leaves) {
        map.U32(leaf.firstEntry);
        map.U16(leaf.page);
    }
    files.tree = std::move(tree.bytes);
    files.data = data.Take();
    files.map = map.Take();
    return files;
}

// ---- The whole file ----

void InternalFile(ByteWriter &out, const std::vector<std::uint8_t> &content)
{
    out.U32(static_cast<std::uint32_t>(helpfile::internal_file::kSize + content.size()));
    out.U32(static_cast<std::uint32_t>(content.size()));
    out.U8(helpfile::internal_file::kFlags);
    out.Bytes(content);
}

}  // namespace

std::vector<std::uint8_t> WriteHelpFile(const HelpText &source)
{
    PlacedTopics placed = LayOutTopics(source);
    KeywordFiles keywords = KeywordIndex(source, placed);
    return WriteInternalFiles({
        {std::string(helpfile::kSystemFile), SystemFile(source, placed)},
        {std::string(helpfile::kFontFile), FontFile()},
        {std::string(helpfile::kContextFile), ContextFile(source, placed)},
        {std::string(helpfile::kTitlesFile), TitlesFile(source, placed)},
        {std::string(helpfile::kKeywordsFile), std::move(keywords.tree)},
        {std::string(helpfile::kKeywordDataFile), std::move(keywords.data)},
        {std::string(helpfile::kKeywordMapFile), std::move(keywords.map)},
        {std::string(helpfile::kTopicFile), TopicBlocks(placed)},
    });
}

std::vector<std::uint8_t> WriteInternalFiles(const std::vector<InternalFileContent> &files)
{
    ByteWriter out;
    out.Zeros(helpfile::file_header::kSize);
    std::map<std::string, std::uint32_t> directory;  // byte order, as readers compare names
    for (const auto &[name, content] : files) {
        directory[name] = static_cast<std::uint32_t>(out.Size());
        InternalFile(out, content);
    }
    std::vector<BTreeEntry> entries;
    for (const auto &[name, offset] : directory) {
        ByteWriter leaf, key;
        leaf.TextZ(name);
        leaf.U32(offset);
        key.TextZ(name);
        entries.push_back({leaf.Take(), key.Take()});
    }
    const auto directoryAt = static_cast<std::uint32_t>(out.Size());
    InternalFile(out, BuildBTree({static_cast<std::uint16_t>(helpfile::btree::kFlags |
                                                             helpfile::btree::kDirectoryFlag),
                                  helpfile::btree::kDirectoryPageSize,
                                  helpfile::btree::kDirectoryStructure},
                                 entries)
                          .bytes);

    out.PatchU32(helpfile::file_header::kMagicAt, helpfile::file_header::kMagic);
    out.PatchU32(helpfile::file_header::kDirectoryAt, directoryAt);
    out.PatchU32(helpfile::file_header::kFirstFreeAt, helpfile::kNone);
    out.PatchU32(helpfile::file_header::kFileSizeAt, static_cast<std::uint32_t>(out.Size()));
    return out.Take();
}

}  // namespace helpfile
