// hlpc's reading of the help source: what a source means, what a malformed
// one is told (with its line), and the tool's exit on a bad source.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "help_source.h"

namespace {

TEST(HelpSource, ItemsJumpsAndKeywordsReadAsWritten)
{
    helpfile::HelpText src = hlpc::ParseHelpSource("# a comment\n"
                                                   "@helpfile My Help\n"
                                                   "\n"
                                                   "@topic first\n"
                                                   "@title First topic\n"
                                                   "@keywords one; two ;one\n"
                                                   "Some text that\n"
                                                   "goes on, then {a jump|Second.topic}.\n"
                                                   "* a bullet\n"
                                                   "\n"
                                                   "12. a numbered item\n"
                                                   "continued\n"
                                                   "Term :: what it means\n"
                                                   "@topic Second.topic\n"
                                                   "@title Second\n"
                                                   "Text.\n");
    EXPECT_EQ(src.title, "My Help");
    ASSERT_EQ(src.topics.size(), 2u);
    const helpfile::Topic &t = src.topics[0];
    EXPECT_EQ(t.context, "first");
    EXPECT_EQ(t.title, "First topic");
    EXPECT_EQ(t.keywords, (std::vector<std::string>{"one", "two"}));
    ASSERT_EQ(t.body.size(), 4u);

    struct Expected {
        helpfile::ParagraphKind kind;
        const char *marker;
        bool spaced;
        const char *text;  // runs joined, jumps as [text>context]
    } expected[] = {
        {helpfile::ParagraphKind::kText, "", false,
         "Some text that goes on, then [a jump>Second.topic]."},
        {helpfile::ParagraphKind::kBullet, "", false, "a bullet"},
        {helpfile::ParagraphKind::kNumbered, "12.", true, "a numbered item continued"},
        {helpfile::ParagraphKind::kTerm, "Term", false, "what it means"},
    };
    for (size_t i = 0; i < t.body.size(); ++i) {
        SCOPED_TRACE(i);
        std::string text;
        for (const helpfile::Run &r : t.body[i].runs)
            text += r.jump.empty() ? r.text : "[" + r.text + ">" + r.jump + "]";
        EXPECT_EQ(t.body[i].kind, expected[i].kind);
        EXPECT_EQ(t.body[i].marker, expected[i].marker);
        EXPECT_EQ(t.body[i].spaced, expected[i].spaced);
        EXPECT_EQ(text, expected[i].text);
    }
}

TEST(HelpSource, MalformedSourcesNameTheLineAndTheFault)
{
    const std::string head = "@helpfile H\n@topic a\n@title A\n";  // lines 1-3
    struct Case {
        std::string source;
        int line;
        const char *message;
    } cases[] = {
        {"Text first\n@helpfile H\n", 1, "text before the first @topic"},
        {"@topic a\n@title A\nx\n", 1, "no @helpfile line gives the help file's title"},
        {"@helpfile H\n", 1, "no @topic: a help file needs at least one topic"},
        {"@helpfile H\n@topic bad-name\n", 2,
         "context string 'bad-name' may hold only letters, digits, '.' and '_'"},
        {"@helpfile H\n@topic a\nText\n", 3, "topic 'a' needs a @title before its text"},
        {"@helpfile H\n@topic a\n@title A\n@topic b\n", 2, "topic 'a' has no text"},
        {head + "x\n@title B\n", 5, "@title must come before the topic's text"},
        {head + "x\n@topic A\n@title B\ny\n", 5,
         "context string 'A' names the same topic as 'a' on line 2"},
        {head + "See {this|nowhere}.\n", 4,
         "jump to 'nowhere', which is no topic's context string"},
        {head + "See {this\n|a}\n", 4, "'{' without a '}' after it on the same line"},
        {head + "See this}\n", 4, "'}' without a '{' before it"},
        {head + "See {this}\n", 4, "jump 'this' needs the form {text|context}"},
        {head + "See { |a}\n", 4, "jump to 'a' shows no text"},
        {head + "@keywords a;;b\nx\n", 4, "an empty keyword in @keywords"},
        {head + "@kewords a\nx\n", 4, "unknown directive '@kewords'"},
        {head + "caf\xC3\xA9\n", 4, "character 0xC3 is not printable ASCII"},
        {"@helpfile " + std::string(51, 'T') + "\n", 1,
         "the help file's title is longer than 50 characters"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.source);
        try {
            hlpc::ParseHelpSource(c.source);
            ADD_FAILURE() << "accepted";
        } catch (const hlpc::SourceError &e) {
            EXPECT_EQ(e.Line(), c.line);
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(Hlpc, ABadSourceFailsWithFileAndLineAndWritesNothing)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("hlpc-test-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "bad.hlpsrc") << "@helpfile H\n@topic a\n@title A\nSee {it|b}.\n";
    std::ofstream(dir / "good.hlpsrc") << "@helpfile H\n@topic a\n@title A\nText.\n";
    auto run = [&](const char *source, const char *output) {
        const std::string command = std::string(TOLVANE_BINARY_DIR "/hlpc ") +
                                    (dir / source).string() + " " + (dir / output).string() +
                                    " 2>" + (dir / "stderr").string();
        return WEXITSTATUS(std::system(command.c_str()));
    };

    EXPECT_EQ(run("bad.hlpsrc", "bad.hlp"), 1);
    std::stringstream err;
    err << std::ifstream(dir / "stderr").rdbuf();
    EXPECT_EQ(err.str(), (dir / "bad.hlpsrc").string() +
                             ":4: jump to 'b', which is no topic's context string\n");
    EXPECT_FALSE(fs::exists(dir / "bad.hlp"));
    EXPECT_FALSE(fs::exists(dir / "bad.hlp.partial"));

    EXPECT_EQ(run("good.hlpsrc", "good.hlp"), 0);
    EXPECT_GT(fs::file_size(dir / "good.hlp"), 16u);
    fs::remove_all(dir);
}

}  // namespace
