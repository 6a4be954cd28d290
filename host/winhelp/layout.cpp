// Setting a topic's paragraphs in cells: words wrap at the width, the first
// line starts at its own indent and the rest at the left one, a tab moves to
// the next tab stop, and a paragraph set apart by space gets a blank line.
#include "winhelp/layout.h"

#include <algorithm>
#include <map>

namespace winhelp {

namespace {

constexpr int kDefaultTabColumns = 8;
constexpr int kSpaceForBlankLine = 12;  // half points above a paragraph that show as a blank line

int Columns(int halfPoints)
{
    const int half = kHalfPointsPerColumn / 2;
    return halfPoints >= 0 ? (halfPoints + half) / kHalfPointsPerColumn
                           : -((half - halfPoints) / kHalfPointsPerColumn);
}

struct Char {
    char c;
    const HelpSpan *span;
    int offset;  // byte in the paragraph's text
};

class Setter {
public:
    Setter(HelpPage &page, std::map<int, int> &jumpOf, int width)
        : page_(page), jumpOf_(jumpOf), width_(width)
    {
    }

    void Paragraph(const HelpParagraph &p, int index)
    {
        lines_ = p.nonScrolling ? &page_.heading : &page_.body;
        heading_ = p.nonScrolling;
        paragraph_ = index;
        left_ = std::clamp(Columns(p.leftIndent), 0, width_ - 1);
        tabs_.clear();
        for (int stop : p.tabStops)
            tabs_.push_back(Columns(stop));
        std::sort(tabs_.begin(), tabs_.end());

        std::vector<Char> chars;
        int offset = 0;
        for (const HelpSpan &span : p.spans) {
            if (span.jump >= 0 && !jumpOf_.count(span.jump))
                NewJump(span);
            else if (span.jump >= 0)
                page_.jumps[static_cast<size_t>(jumpOf_[span.jump])].text += Shown(span.text);
            for (char c : span.text)
                chars.push_back({c, &span, offset++});
        }
        if (p.spaceAbove >= kSpaceForBlankLine && !lines_->empty())
            lines_->push_back({{}, {}, index, 0});
        Start(std::clamp(left_ + Columns(p.firstIndent), 0, width_ - 1), 0);
        Set(chars);
        lines_->push_back(std::move(line_));
    }

private:
    static std::string Shown(const std::string &text)
    {
        std::string out = text;
        std::replace_if(
            out.begin(), out.end(), [](char c) { return c == '\n' || c == '\t'; }, ' ');
        return out;
    }

    void NewJump(const HelpSpan &span)
    {
        jumpOf_[span.jump] = static_cast<int>(page_.jumps.size());
        HelpJump jump;
        jump.target = span.target;
        jump.text = Shown(span.text);
        jump.heading = heading_;
        jump.line = -1;  // set when its first character is placed
        page_.jumps.push_back(std::move(jump));
    }

    void Start(int indent, int offset)
    {
        line_ = HelpLine{std::string(static_cast<size_t>(indent), ' '), {}, paragraph_, offset};
        indent_ = indent;
    }

    void Break(int offset)
    {
        lines_->push_back(std::move(line_));
        Start(left_, offset);
    }

    int Column() const { return static_cast<int>(line_.text.size()); }

    void Put(const Char &ch)
    {
        if (Column() >= width_)
            Break(ch.offset);
        const int column = Column();
        line_.text += ch.c;
        const int jump = ch.span->jump >= 0 ? jumpOf_[ch.span->jump] : -1;
        if (jump < 0 && !ch.span->bold)
            return;
        HelpJump *j = jump >= 0 ? &page_.jumps[static_cast<size_t>(jump)] : nullptr;
        if (j && j->line < 0)
            j->line = static_cast<int>(lines_->size());
        HelpMark *last = line_.marks.empty() ? nullptr : &line_.marks.back();
        if (last && last->jump == jump && last->bold == ch.span->bold &&
            last->column + last->width == column)
            ++last->width;
        else
            line_.marks.push_back({column, 1, jump, ch.span->bold});
    }

    void Tab(int offset)
    {
        int target = Column() + 1;
        auto stop = std::upper_bound(tabs_.begin(), tabs_.end(), Column());
        target =
            stop != tabs_.end() ? *stop : (Column() / kDefaultTabColumns + 1) * kDefaultTabColumns;
        if (target >= width_)
            Break(offset);
        else
            line_.text.resize(static_cast<size_t>(target), ' ');
    }

    void Set(const std::vector<Char> &chars)
    {
        std::vector<Char> blanks;  // between the last word and the next
        for (size_t i = 0; i < chars.size();) {
            const Char &ch = chars[i];
            if (ch.c == '\n' || ch.c == '\t') {
                if (ch.c == '\n')
                    Break(ch.offset + 1);
                else
                    Tab(ch.offset + 1);
                blanks.clear();
                ++i;
                continue;
            }
            if (ch.c == ' ') {
                blanks.push_back(ch);
                ++i;
                continue;
            }
            size_t end = i;
            while (end < chars.size() && chars[end].c != ' ' && chars[end].c != '\t' &&
                   chars[end].c != '\n')
                ++end;
            const int need = static_cast<int>(blanks.size() + (end - i));
            if (Column() > indent_ && Column() + need > width_) {
                Break(ch.offset);
                blanks.clear();
            }
            for (const Char &b : blanks)
                Put(b);
            blanks.clear();
            for (; i < end; ++i)
                Put(chars[i]);  // a word wider than the line is cut
        }
    }

    HelpPage &page_;
    std::map<int, int> &jumpOf_;  // the topic's jump numbers to the page's
    const int width_;
    std::vector<HelpLine> *lines_ = nullptr;
    bool heading_ = false;
    int paragraph_ = 0, left_ = 0, indent_ = 0;
    std::vector<int> tabs_;
    HelpLine line_;
};

}  // namespace

HelpPage LayOutTopic(const HelpFileTopic &topic, int width)
{
    HelpPage page;
    std::map<int, int> jumpOf;
    Setter setter(page, jumpOf, std::max(1, width));
    for (size_t i = 0; i < topic.paragraphs.size(); ++i)
        setter.Paragraph(topic.paragraphs[i], static_cast<int>(i));
    return page;
}

int LineAtOrAfter(const std::vector<HelpLine> &lines, int paragraph, int offset)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].paragraph > paragraph ||
            (lines[i].paragraph == paragraph && lines[i].offset >= offset))
            return static_cast<int>(i);
    return lines.empty() ? 0 : static_cast<int>(lines.size()) - 1;
}

}  // namespace winhelp
