// Reads the help source line by line into topics and paragraphs, then checks
// what only the whole source can tell: that every jump has a topic to go to
// and no two context strings share a hash.
#include "help_source.h"

#include <cctype>
#include <cstdio>
#include <map>

#include "helpfile/format.h"

namespace hlpc {

namespace {

using helpfile::Paragraph;
using helpfile::ParagraphKind;
using helpfile::Run;
using helpfile::Topic;

// Limits of the help compilers of the time, which readers may rely on.
constexpr size_t kMaxFileTitle = 50;
constexpr size_t kMaxTopicTitle = 128;
constexpr size_t kMaxContext = 255;
constexpr size_t kMaxKeyword = 255;
constexpr std::string_view kTermSeparator = " :: ";

std::string Trim(std::string_view s)
{
    size_t begin = s.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return {};
    size_t end = s.find_last_not_of(' ');
    return std::string(s.substr(begin, end - begin + 1));
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

std::string Quoted(std::string_view s)
{
    return "'" + std::string(s) + "'";
}

// A line's text with tabs as spaces, after checking its characters.
std::string CleanLine(std::string_view raw, int line)
{
    if (!raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    std::string out;
    for (char c : raw) {
        unsigned char b = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += ' ';
            continue;
        }
        if (b < 0x20 || b >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            throw SourceError(
                line, std::string("character ") + hex +
                          " is not printable ASCII (the help file is in the Windows code page; "
                          "write the text in ASCII)");
        }
        out += c;
    }
    return out;
}

// Text with {text|context} jumps into runs.
std::vector<Run> ParseRuns(std::string_view text, int line)
{
    std::vector<Run> runs;
    std::string plain;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '}')
            throw SourceError(line, "'}' without a '{' before it");
        if (c != '{') {
            plain += c;
            ++i;
            continue;
        }
        size_t close = text.find('}', i);
        if (close == std::string_view::npos)
            throw SourceError(
                line, "'{' without a '}' after it on the same line (a jump must end on its line)");
        std::string_view inside = text.substr(i + 1, close - i - 1);
        if (inside.find('{') != std::string_view::npos)
            throw SourceError(line, "a '{' inside a jump");
        size_t bar = inside.rfind('|');
        if (bar == std::string_view::npos)
            throw SourceError(line, "jump " + Quoted(inside) + " needs the form {text|context}");
        std::string shown = Trim(inside.substr(0, bar));
        std::string target = Trim(inside.substr(bar + 1));
        if (shown.empty())
            throw SourceError(line, "jump to " + Quoted(target) + " shows no text");
        if (target.empty())
            throw SourceError(line, "jump " + Quoted(shown) + " names no topic");
        if (!plain.empty())
            runs.push_back({std::move(plain), {}, line});
        plain.clear();
        runs.push_back({shown, target, line});
        i = close + 1;
    }
    if (!plain.empty())
        runs.push_back({std::move(plain), {}, line});
    return runs;
}

void CheckContext(std::string_view context, int line)
{
    if (context.empty())
        throw SourceError(line, "@topic needs a context string");
    if (context.size() > kMaxContext)
        throw SourceError(line, "context string longer than 255 characters");
    for (char c : context)
        if (!helpfile::IsContextChar(c))
            throw SourceError(line, "context string " + Quoted(context) +
                                        " may hold only letters, digits, '.' and '_'");
}

// Starts of list items: "* ", "12. ", "Term :: ".
bool ItemStart(const std::string &text, Paragraph &p)
{
    if (StartsWith(text, "* ")) {
        p.kind = ParagraphKind::kBullet;
        return true;
    }
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    if (digits > 0 && text.compare(digits, 2, ". ") == 0) {
        p.kind = ParagraphKind::kNumbered;
        p.marker = text.substr(0, digits + 1);
        return true;
    }
    size_t sep = text.find(kTermSeparator);
    if (sep != std::string::npos && sep > 0 && text.find('{') > sep) {
        p.kind = ParagraphKind::kTerm;
        p.marker = Trim(std::string_view(text).substr(0, sep));
        return true;
    }
    return false;
}

std::string ItemText(const std::string &text, const Paragraph &p)
{
    switch (p.kind) {
    case ParagraphKind::kBullet:
        return Trim(std::string_view(text).substr(2));
    case ParagraphKind::kNumbered:
        return Trim(std::string_view(text).substr(p.marker.size() + 1));
    case ParagraphKind::kTerm:
        return Trim(
            std::string_view(text).substr(text.find(kTermSeparator) + kTermSeparator.size()));
    case ParagraphKind::kText:
        break;
    }
    return text;
}

void AppendRuns(Paragraph &p, std::vector<Run> runs)
{
    // Lines of one paragraph join with a blank, merging plain text.
    if (!p.runs.empty() && !runs.empty()) {
        if (p.runs.back().jump.empty())
            p.runs.back().text += ' ';
        else
            p.runs.push_back({" ", {}, 0});
    }
    for (Run &r : runs) {
        if (!p.runs.empty() && p.runs.back().jump.empty() && r.jump.empty())
            p.runs.back().text += r.text;
        else
            p.runs.push_back(std::move(r));
    }
}

struct Parser {
    helpfile::HelpText source;
    int fileTitleLine = 0;
    Topic *topic = nullptr;
    bool inBody = false;
    bool paragraphOpen = false;
    bool blankBefore = false;

    void Directive(const std::string &text, int line)
    {
        size_t space = text.find(' ');
        std::string name = text.substr(0, space);
        std::string value =
            space == std::string::npos ? std::string() : Trim(std::string_view(text).substr(space));
        if (name == "@helpfile") {
            if (topic)
                throw SourceError(line, "@helpfile must come before the first @topic");
            if (fileTitleLine)
                throw SourceError(line, "a second @helpfile (the first is on line " +
                                            std::to_string(fileTitleLine) + ")");
            if (value.empty())
                throw SourceError(line, "@helpfile needs the help file's title");
            if (value.size() > kMaxFileTitle)
                throw SourceError(line, "the help file's title is longer than 50 characters");
            source.title = value;
            fileTitleLine = line;
        } else if (name == "@topic") {
            FinishTopic();
            CheckContext(value, line);
            source.topics.push_back(Topic{});
            topic = &source.topics.back();
            topic->context = value;
            topic->line = line;
            inBody = false;
            paragraphOpen = false;
        } else if (name == "@title" || name == "@keywords") {
            if (!topic)
                throw SourceError(line, name + " before the first @topic");
            if (inBody)
                throw SourceError(line, name + " must come before the topic's text");
            if (name == "@title") {
                if (!topic->title.empty())
                    throw SourceError(line, "a second @title for topic " + Quoted(topic->context));
                if (value.empty())
                    throw SourceError(line, "@title needs the topic's title");
                if (value.size() > kMaxTopicTitle)
                    throw SourceError(line, "topic title longer than 128 characters");
                topic->title = value;
            } else {
                Keywords(value, line);
            }
        } else {
            throw SourceError(line, "unknown directive " + Quoted(name) +
                                        " (known: @helpfile, @topic, @title, @keywords)");
        }
    }

    void Keywords(const std::string &value, int line)
    {
        size_t start = 0;
        for (;;) {
            size_t end = value.find(';', start);
            std::string keyword =
                Trim(std::string_view(value).substr(start,
                                                    end == std::string::npos ? end : end - start));
            if (keyword.empty())
                throw SourceError(line, "an empty keyword in @keywords");
            if (keyword.size() > kMaxKeyword)
                throw SourceError(line, "keyword longer than 255 characters");
            bool seen = false;
            for (const std::string &k : topic->keywords)
                seen = seen || k == keyword;
            if (!seen)
                topic->keywords.push_back(keyword);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }

    void Text(const std::string &raw, int line)
    {
        if (!topic)
            throw SourceError(line, "text before the first @topic");
        std::string text = Trim(raw);
        Paragraph item;
        bool starts = ItemStart(text, item);
        if (!inBody && topic->title.empty())
            throw SourceError(line, "topic " + Quoted(topic->context) +
                                        " needs a @title before its text");
        inBody = true;
        if (starts || !paragraphOpen) {
            item.line = line;
            item.spaced = blankBefore && !topic->body.empty();
            topic->body.push_back(std::move(item));
            paragraphOpen = true;
            blankBefore = false;
        }
        Paragraph &p = topic->body.back();
        AppendRuns(p, ParseRuns(starts ? ItemText(text, p) : text, line));
        if (p.runs.empty())
            throw SourceError(line, "an item without text");
    }

    void Blank()
    {
        paragraphOpen = false;
        blankBefore = true;
    }

    void FinishTopic()
    {
        if (!topic)
            return;
        if (topic->title.empty())
            throw SourceError(topic->line, "topic " + Quoted(topic->context) + " has no @title");
        if (topic->body.empty())
            throw SourceError(topic->line, "topic " + Quoted(topic->context) + " has no text");
    }

    // Every jump's target exists; no two context strings hash alike.
    void CheckTopics()
    {
        std::map<std::uint32_t, const Topic *> byHash;
        for (const Topic &t : source.topics) {
            auto [it, added] = byHash.emplace(helpfile::ContextHash(t.context), &t);
            if (!added)
                throw SourceError(t.line, "context string " + Quoted(t.context) +
                                              " names the same topic as " +
                                              Quoted(it->second->context) + " on line " +
                                              std::to_string(it->second->line) +
                                              " (context strings ignore case)");
        }
        for (const Topic &t : source.topics)
            for (const Paragraph &p : t.body)
                for (const Run &r : p.runs) {
                    if (r.jump.empty())
                        continue;
                    if (!byHash.count(helpfile::ContextHash(r.jump)) || !AllContextChars(r.jump))
                        throw SourceError(r.line, "jump to " + Quoted(r.jump) +
                                                      ", which is no topic's context string");
                }
    }

    static bool AllContextChars(std::string_view s)
    {
        for (char c : s)
            if (!helpfile::IsContextChar(c))
                return false;
        return true;
    }
};

}  // namespace

helpfile::HelpText ParseHelpSource(std::string_view text)
{
    Parser parser;
    int line = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string_view raw =
            text.substr(start,
                        end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        ++line;
        std::string clean = CleanLine(raw, line);
        if (!clean.empty() && clean[0] == '#')
            continue;
        if (Trim(clean).empty())
            parser.Blank();
        else if (clean[0] == '@')
            parser.Directive(clean, line);
        else
            parser.Text(clean, line);
    }
    parser.FinishTopic();
    if (parser.source.title.empty())
        throw SourceError(1, "no @helpfile line gives the help file's title");
    if (parser.source.topics.empty())
        throw SourceError(line, "no @topic: a help file needs at least one topic");
    parser.CheckTopics();
    return std::move(parser.source);
}

}  // namespace hlpc
