// Reading a help file into the document the viewer shows. Each structure is
// read through a view that knows its bounds and its name (helpfile/views.h),
// so a cut or corrupted file stops with a message that says which part was
// damaged. Links in |TOPIC must follow one another without overlapping, and
// tree walks are bounded by the page count, so no file makes the reader loop.
// What the reader builds is charged against a budget set by the file's size,
// so that a small file whose structures point at the same bytes again and
// again cannot make it hold more than a file of that size could honestly
// need.
#include "winhelp/document.h"

#include <algorithm>
#include <cstdio>

#include "helpfile/format.h"
#include "helpfile/views.h"

namespace winhelp {

namespace {

namespace fmt = helpfile;
using helpfile::BTree;
using helpfile::Cursor;
using helpfile::Damaged;
using helpfile::InternalFile;
using helpfile::View;

int CompareContext(const View &page, std::size_t at, std::size_t &keyEnd, std::uint32_t hash)
{
    const auto key = static_cast<std::int32_t>(page.U32(at));
    keyEnd = at + 4;
    const auto sought = static_cast<std::int32_t>(hash);
    return key < sought ? -1 : key > sought ? 1 : 0;
}

struct Font {
    bool bold = false;
};

// Every byte of a help file may become a few bytes of the document (a title
// entry, a keyword's reference, a span of text); honest files take less than
// four. The floor leaves room for the smallest files' fixed structures.
constexpr std::size_t kMemoryPerFileByte = 8;
constexpr std::size_t kMemoryFloor = 256 * 1024;

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t> &bytes)
        : file_(bytes.data(), bytes.size(), "the file"),
          budget_(kMemoryFloor + kMemoryPerFileByte * bytes.size())
    {
    }

    HelpDocument Read()
    {
        Header();
        System();
        Fonts();
        Topics();
        if (auto context = Find(fmt::kContextFile)) {
            View tree = InternalFile(file_, *context, std::string(fmt::kContextFile));
            BTree check(tree);
            Charge(tree.Size());
            doc_.contextTree.assign(tree.Data(), tree.Data() + tree.Size());
        }
        Keywords();
        Titles();
        return std::move(doc_);
    }

private:
    // Before what the document is to hold is made.
    void Charge(std::size_t bytes)
    {
        if (bytes > budget_)
            throw Damaged("it would take more memory than a help file of its size can need");
        budget_ -= bytes;
    }

    void Header()
    {
        using namespace fmt::file_header;
        if (file_.Size() > kMaxHelpFileSize)
            throw Damaged("it is longer than the " + std::to_string(kMaxHelpFileSize) +
                          " bytes this help engine reads");
        if (file_.Size() < kSize || file_.U32(kMagicAt) != kMagic)
            throw Damaged("it does not start as a help file does");
        const std::uint32_t size = file_.U32(kFileSizeAt);
        if (size != file_.Size())
            throw Damaged("it is " + std::to_string(file_.Size()) +
                          " bytes long, but its header says " + std::to_string(size));
        directory_ = InternalFile(file_, file_.U32(kDirectoryAt), "the directory");
        BTree check(directory_);
    }

    std::optional<std::uint32_t> Find(std::string_view name) const
    {
        return BTree(directory_)
            .FindU32([&](const View &page, std::size_t at, std::size_t &keyEnd) {
                const std::string key = page.StringZ(at, keyEnd);
                return key.compare(name) < 0 ? -1 : key.compare(name) > 0 ? 1 : 0;
            });
    }

    View Required(std::string_view name)
    {
        auto at = Find(name);
        if (!at)
            throw Damaged(std::string(name) + " is missing");
        return InternalFile(file_, *at, std::string(name));
    }

    void System()
    {
        using namespace fmt::system_file;
        View sys = Required(fmt::kSystemFile);
        if (sys.U16(kMagicAt) != kMagic || sys.U16(kMajorAt) != kMajor)
            throw Damaged("|SYSTEM is not a help file's");
        if (sys.U16(kMinorAt) <= 16)
            throw Damaged("it is a Windows 3.0 help file, which this help engine does not read");
        if (sys.U16(kFlagsAt) != kUncompressed)
            throw Damaged("its topics are compressed, which this help engine does not read");
        for (std::size_t at = kHeaderSize; at < sys.Size();) {
            const std::uint16_t type = sys.U16(at);
            View data = sys.Sub(at + kRecordHeaderSize, sys.U16(at + 2), "a |SYSTEM record");
            std::size_t end = 0;
            if (type == kTitleRecord)
                doc_.title = data.StringZ(0, end);
            if (type == kContentsRecord)
                contentsOffset_ = data.U32(0);
            if (type == kWindowRecord &&
                data.Field(window::kNameAt, window::kNameSize) == window::kMainName &&
                (data.U16(window::kFlagsAt) & window::kCaptionValid))
                doc_.caption = data.Field(window::kCaptionAt, window::kCaptionSize);
            at += kRecordHeaderSize + data.Size();
        }
        if (doc_.caption.empty())
            doc_.caption = doc_.title.empty() ? "Help" : doc_.title;
    }

    void Fonts()
    {
        using namespace fmt::font;
        View f = Required(fmt::kFontFile);
        const std::uint16_t count = f.U16(kDescriptorCountAt);
        const std::uint16_t at = f.U16(kDescriptorsAt);
        Charge(count * sizeof(Font));
        for (std::uint16_t i = 0; i < count; ++i)
            fonts_.push_back({(f.U8(at + i * kDescriptorSize + kAttributesAt) & kBold) != 0});
    }

    // ---- |TOPIC ----

    // The blocks' contents end to end, as TOPICPOS counts them.
    std::vector<std::uint8_t> Stream(const View &topic)
    {
        using namespace fmt::topic;
        Charge(topic.Size());
        std::vector<std::uint8_t> stream;
        for (std::size_t from = kBlockHeaderSize; from < topic.Size(); from += kBlockSize) {
            View data = topic.Sub(from, std::min(kBlockDataSize, topic.Size() - from), "|TOPIC");
            stream.insert(stream.end(), data.Data(), data.Data() + data.Size());
        }
        return stream;
    }

    static std::size_t StreamIndex(std::uint32_t pos, std::size_t streamSize)
    {
        using namespace fmt::topic;
        if (pos < kBlockHeaderSize)
            throw Damaged("|TOPIC points outside itself");
        const std::uint32_t block = (pos - kBlockHeaderSize) / kPosBlockStride;
        const std::uint32_t offset = (pos - kBlockHeaderSize) % kPosBlockStride;
        if (offset >= kBlockDataSize ||
            static_cast<std::size_t>(block) * kBlockDataSize + offset >= streamSize)
            throw Damaged("|TOPIC points outside itself");
        return static_cast<std::size_t>(block) * kBlockDataSize + offset;
    }

    void Topics()
    {
        using namespace fmt::topic;
        View topicFile = Required(fmt::kTopicFile);
        const std::vector<std::uint8_t> bytes = Stream(topicFile);
        View stream(bytes.data(), bytes.size(), "|TOPIC");
        std::uint32_t pos = topicFile.U32(kFirstLinkAt);
        std::uint32_t block = fmt::kNone, characters = 0;
        std::uint32_t nonScroll = fmt::kNone, scroll = fmt::kNone;
        int jumps = 0;  // in the topic so far
        while (pos != fmt::kNone) {
            const std::size_t at = StreamIndex(pos, bytes.size());
            View header = stream.Sub(at, kLinkHeaderSize, "a topic link");
            const std::uint32_t size = header.U32(kLinkSizeAt), size2 = header.U32(kData2SizeAt);
            const std::uint32_t end1 = header.U32(kData1EndAt), next = header.U32(kNextLinkAt);
            if (end1 < kLinkHeaderSize || end1 > size)
                throw Damaged("a topic link in |TOPIC is malformed");
            // Links that overlapped would read the same text again and again.
            if (next != fmt::kNone) {
                const std::size_t nextAt = StreamIndex(next, bytes.size());
                if (nextAt < at || nextAt - at < size)
                    throw Damaged("the topic links of |TOPIC overlap or do not move forward");
            }
            if (size2 > size - end1)
                throw Damaged(
                    "its text is phrase-compressed, which this help engine does not read");
            View data1 = stream.Sub(at + kLinkHeaderSize, end1 - kLinkHeaderSize,
                                    "a topic link's formatting");
            View data2 = stream.Sub(at + end1, size2, "a topic link's text");

            const std::uint32_t linkBlock = (pos - kBlockHeaderSize) / kPosBlockStride;
            if (linkBlock != block) {
                block = linkBlock;
                characters = 0;
            }
            switch (header.U8(kRecordTypeAt)) {
            case kTopicHeaderRecord: {
                HelpFileTopic t;
                std::size_t end = 0;
                t.title = size2 ? data2.StringZ(0, end) : std::string();
                Charge(sizeof t + t.title.size());
                t.offset = TopicOffset(block, characters);
                if (!doc_.topics.empty() && t.offset <= doc_.topics.back().offset)
                    throw Damaged("|TOPIC holds two topics at one place");
                nonScroll = data1.U32(kNonScrollAt);
                scroll = data1.U32(kScrollAt);
                doc_.topics.push_back(std::move(t));
                jumps = 0;
                break;
            }
            case kDisplayRecord: {
                if (doc_.topics.empty())
                    throw Damaged("|TOPIC has text before its first topic");
                const bool inNonScroll = nonScroll != fmt::kNone && pos >= nonScroll &&
                                         (scroll == fmt::kNone || pos < scroll);
                characters +=
                    Display(data1, data2, inNonScroll, jumps, doc_.topics.back().paragraphs);
                break;
            }
            default: {
                char type[8];
                std::snprintf(type, sizeof type, "0x%02X", header.U8(kRecordTypeAt));
                throw Damaged(std::string("|TOPIC holds records of type ") + type +
                              ", which this help engine does not read");
            }
            }
            pos = next;
        }
        if (doc_.topics.empty())
            throw Damaged("it has no topics");
        if (contentsOffset_ != fmt::kNone)
            doc_.contents = doc_.TopicAtOffset(contentsOffset_).value_or(0);
    }

    // A display record's paragraphs; returns its TopicLength. `jumps` counts
    // the topic's jumps, which number the spans of each.
    unsigned Display(const View &data1, const View &data2, bool nonScrolling, int &jumps,
                     std::vector<HelpParagraph> &out)
    {
        namespace para = fmt::paragraph;
        Cursor c(data1);
        c.CompressedLong();  // TopicSize
        const unsigned length = c.CompressedUShort();
        c.Skip(para::kReservedSize);
        const std::uint16_t bits = c.U16();
        HelpParagraph format;
        format.nonScrolling = nonScrolling;
        if (bits & para::kUnknownFollows)
            c.CompressedLong();
        if (bits & para::kSpaceAboveFollows)
            format.spaceAbove = c.CompressedShort();
        if (bits & para::kSpaceBelowFollows)
            c.CompressedShort();
        if (bits & para::kLineSpacingFollows)
            c.CompressedShort();
        if (bits & para::kLeftIndentFollows)
            format.leftIndent = c.CompressedShort();
        if (bits & para::kRightIndentFollows)
            c.CompressedShort();
        if (bits & para::kFirstIndentFollows)
            format.firstIndent = c.CompressedShort();
        if (bits & para::kBorderFollows)
            c.Skip(3);
        if (bits & para::kTabsFollow) {
            const int count = c.CompressedShort();
            if (count < 0 || count > 32)
                throw Damaged("a paragraph has " + std::to_string(count) + " tab stops");
            for (int i = 0; i < count; ++i) {
                const unsigned stop = c.CompressedUShort();
                if (stop & para::kTabTypeFollows)
                    c.CompressedUShort();
                format.tabStops.push_back(static_cast<int>(stop & 0x3FFF));
            }
        }

        HelpParagraph current = format;
        bool bold = false;
        int jump = -1;
        std::uint32_t target = 0;
        auto add = [&](std::string_view text) {
            if (text.empty())
                return;
            HelpSpan *last = current.spans.empty() ? nullptr : &current.spans.back();
            if (last && last->bold == bold && last->jump == jump) {
                Charge(text.size());
                last->text += text;
            } else {
                Charge(sizeof(HelpSpan) + text.size());
                current.spans.push_back({std::string(text), bold, jump, target});
            }
        };
        auto finish = [&] {
            if (!current.spans.empty()) {
                Charge(sizeof(HelpParagraph) + current.tabStops.size() * sizeof(int));
                out.push_back(std::move(current));
            }
            current = format;
        };
        std::size_t textAt = 0;
        for (;;) {
            add(data2.StringZ(textAt, textAt));
            const std::uint8_t command = c.U8();
            switch (command) {
            case para::kEndOfText:
                finish();
                return length;
            case para::kFontChange: {
                const std::uint16_t font = c.U16();
                if (font >= fonts_.size())
                    throw Damaged("a paragraph uses a font that |FONT does not have");
                bold = fonts_[font].bold;
                break;
            }
            case para::kLineBreak:
                add("\n");
                break;
            case para::kEndOfParagraph:
                finish();
                break;
            case para::kTab:
                add("\t");
                break;
            case para::kNonBreakingSpace:
                add(" ");
                break;
            case para::kNonBreakingHyphen:
                break;  // the hyphen is in the text
            case para::kEndOfHotspot:
                jump = -1;
                target = 0;
                break;
            case para::kPopupByHash:
            case para::kJumpByHash:
                // A pop-up shows here as a jump to its topic.
                target = c.U32();
                jump = jumps++;
                break;
            default: {
                char hex[8];
                std::snprintf(hex, sizeof hex, "0x%02X", command);
                throw Damaged(std::string("a paragraph holds formatting command ") + hex +
                              ", which this help engine does not read");
            }
            }
        }
    }

    // ---- Index and titles ----

    void Keywords()
    {
        auto tree = Find(fmt::kKeywordsFile);
        if (!tree)
            return;
        View keywords = InternalFile(file_, *tree, std::string(fmt::kKeywordsFile));
        View data = Required(fmt::kKeywordDataFile);
        // Each reference has its own four bytes in |KWDATA.
        std::size_t references = 0;
        BTree(keywords).ForEach([&](const View &page, std::size_t at) {
            HelpKeyword k;
            std::size_t next = 0;
            k.keyword = page.StringZ(at, next);
            const std::uint16_t count = page.U16(next);
            const std::uint32_t offset = page.U32(next + 2);
            data.Need(offset, static_cast<std::size_t>(count) * 4);
            references += count;
            if (references > data.Size() / 4)
                throw Damaged("|KWBTREE names more topics than |KWDATA holds");
            Charge(sizeof k + k.keyword.size() + count * sizeof(std::uint32_t));
            for (std::uint16_t i = 0; i < count; ++i)
                k.topics.push_back(data.U32(offset + i * 4u));
            doc_.keywords.push_back(std::move(k));
            return next + 6;
        });
    }

    void Titles()
    {
        auto tree = Find(fmt::kTitlesFile);
        if (!tree)
            return;
        BTree(InternalFile(file_, *tree, std::string(fmt::kTitlesFile)))
            .ForEach([&](const View &page, std::size_t at) {
                std::size_t next = 0;
                const std::uint32_t offset = page.U32(at);
                std::string title = page.StringZ(at + 4, next);
                Charge(sizeof(HelpTitleEntry) + title.size());
                doc_.titleIndex.push_back({offset, std::move(title)});
                return next;
            });
    }

    View file_;
    View directory_;
    std::vector<Font> fonts_;
    std::uint32_t contentsOffset_ = fmt::kNone;
    HelpDocument doc_;
    std::size_t budget_;  // bytes the document may still take
};

}  // namespace

std::optional<std::size_t> HelpDocument::TopicAtOffset(std::uint32_t offset) const
{
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < topics.size() && topics[i].offset <= offset; ++i)
        found = i;
    return found;
}

std::optional<std::size_t> HelpDocument::TopicForContext(std::uint32_t hash) const
{
    if (contextTree.empty())
        return std::nullopt;
    try {
        View tree(contextTree.data(), contextTree.size(), "|CONTEXT");
        auto offset =
            BTree(tree).FindU32([&](const View &page, std::size_t at, std::size_t &keyEnd) {
                return CompareContext(page, at, keyEnd, hash);
            });
        return offset ? TopicAtOffset(*offset) : std::nullopt;
    } catch (const Damaged &) {
        return std::nullopt;
    }
}

std::optional<HelpDocument> ReadHelpFile(const std::vector<std::uint8_t> &bytes, std::string &error)
{
    try {
        return Reader(bytes).Read();
    } catch (const Damaged &e) {
        error = e.what();
        return std::nullopt;
    }
}

}  // namespace winhelp
