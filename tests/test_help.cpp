// The help as built by Halibut: its contents file against the help file's topics, the help
// file's index and language, the page, and a source that Halibut refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "peres.h"

namespace {

const std::string HELP_DIR = TRV_WIN32_DIR "/trv/";

std::string Text(const std::string &path)
{
    Bytes bytes;
    EXPECT_TRUE(ReadBytes(path, bytes)) << path;
    return std::string(bytes.begin(), bytes.end());
}

// Runs a shell COMMAND: its exit code, and in SAID what it printed.
int Shell(const std::string &command, std::string &said)
{
    said.clear();
    FILE *out = popen((command + " 2>&1").c_str(), "r");
    char text[512];
    while (out != nullptr && fgets(text, sizeof text, out))
        said += text;
    return out == nullptr ? -1 : WEXITSTATUS(pclose(out));
}

// The entries of a B+ tree of the help file, whose header is at AT, all in its one page.
Cursor TreeEntries(const Bytes &b, size_t at, uint32_t &count)
{
    Cursor c(b, at);
    EXPECT_EQ(0x293Bu, c.U16());
    c.at = at + 30;
    EXPECT_EQ(1u, c.U16()) << "pages";
    EXPECT_EQ(1u, c.U16()) << "levels";
    count = c.U32();
    c.at += 8; // the page's own header
    return c;
}

std::string Z(Cursor &c)
{
    std::string text((const char *)&c.bytes.at(c.at));
    c.at += text.size() + 1;
    return text;
}

// The topic titles that the contents file lists ("2 Title=CONTEXT"), in its order.
std::vector<std::string> ContentsTitles()
{
    std::vector<std::string> titles;
    std::istringstream cnt(Text(HELP_DIR + "TRV.CNT"));
    for (std::string line; std::getline(cnt, line);)
        if (line.find('=') != std::string::npos)
            titles.push_back(line.substr(line.find(' ') + 1, line.find('=') - line.find(' ') - 1));
    return titles;
}

} // namespace

TEST(Help, ContentsFileNamesEveryTopicAndTheHelpFileCarriesItsIndexAndLanguage)
{
    Bytes b;
    ASSERT_TRUE(ReadBytes(HELP_DIR + "TRV.HLP", b));
    ASSERT_EQ(0x00035F3Fu, Cursor(b).U32());
    uint32_t count;
    Cursor dir = TreeEntries(b, Cursor(b, 4).U32() + 9, count);
    std::map<std::string, size_t> files; // each internal file's data, after its own header
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = Z(dir);
        files[name] = dir.U32() + 9;
    }
    ASSERT_EQ(1u, files.count("|TTLBTREE") * files.count("|KWBTREE") * files.count("|SYSTEM"));

    std::set<std::string> topics;
    Cursor titles = TreeEntries(b, files["|TTLBTREE"], count);
    for (uint32_t i = 0; i < count; ++i) {
        titles.U32(); // the topic's offset
        topics.insert(Z(titles));
    }
    std::vector<std::string> listed = ContentsTitles();
    EXPECT_EQ(topics, std::set<std::string>(listed.begin(), listed.end()));
    EXPECT_EQ(5u, listed.size());
    EXPECT_EQ("Contents", listed.at(0));

    std::set<std::string> keywords;
    Cursor index = TreeEntries(b, files["|KWBTREE"], count);
    for (uint32_t i = 0; i < count; ++i, index.at += 6) // the keyword's count and offset
        keywords.insert(Z(index));
    for (const char *word : {"Current Time", "Elapsed Time", "Saved Times", "Start/Stop", "Save",
                             "Help", "About", "Exit", "Alt+S", "Enter", "Alt+V", "Alt+H", "F1",
                             "Alt+A", "Alt+X", "days", "hundredths", "flashing", "Caps Lock",
                             "saving while stopped"})
        EXPECT_EQ(1u, keywords.count(word)) << word;

    // After the header, records of a type and a size: the locale (9) ends in US English's id,
    // the character set (11) is present.
    std::map<uint16_t, Bytes> records;
    const size_t system = files["|SYSTEM"], systemEnd = system + Cursor(b, system - 5).U32();
    for (Cursor c(b, system + 12); c.at + 4 <= systemEnd;) {
        uint16_t type = c.U16(), size = c.U16();
        records[type].assign(b.begin() + c.at, b.begin() + c.at + size);
        c.at += size;
    }
    ASSERT_EQ(10u, records[9].size());
    EXPECT_EQ(0x0409u, Cursor(records[9], 8).U16());
    EXPECT_EQ(1u, records.count(11)) << "character set";
}

TEST(Help, PageIsCleanWithEveryTopicAHeadingAndEveryLinkAnchored)
{
    std::string said, page = Text(HELP_DIR + "TRV.HTM");
    EXPECT_EQ(0, Shell(TIDY " -errors -q " + HELP_DIR + "TRV.HTM", said)) << said;
    EXPECT_EQ("", said);
    EXPECT_NE(std::string::npos, page.find("charset=windows-1252"));
    std::vector<std::string> titles = ContentsTitles();
    for (size_t i = 1; i < titles.size(); ++i) { // a heading, and a line of the contents
        EXPECT_NE(std::string::npos, page.find("</a>" + titles[i] + "</h2>")) << titles[i];
        EXPECT_NE(std::string::npos, page.find("\">" + titles[i] + "</a></li>")) << titles[i];
    }
    const std::regex link(R"re(href="#([^"]*)")re");
    int links = 0;
    for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it, ++links)
        EXPECT_NE(std::string::npos, page.find("name=\"" + (*it)[1].str() + "\"")) << (*it)[1];
    EXPECT_GT(links, 20) << "the topics and the index";
}

// Halibut names the fault by file and line; some it finds only after writing its files.
TEST(Help, ASourceThatHalibutRefusesLeavesNoneOfTheFiles)
{
    struct Case {
        const char *name, *source, *message;
    } cases[] = {
        {"a cross-reference to nowhere", "\\U One\n\nSee \\k{nowhere}.\n", "bad.but:3: unable"},
        {"a context name twice",
         "\\U One\n\n\\cfg{winhelp-topic}{A}\n\n\\U Two\n\n\\cfg{winhelp-topic}{A}\n",
         "bad.but:5: Windows Help context id `A' clashes"},
        {"a brace left open", "\\U One\n\nText \\e{open.\n", "bad.but:3: unclosed braces"},
    };
    const std::filesystem::path scratch = SCRATCH "/refused";
    const char *const files[] = {"TRV.HLP", "TRV.CNT", "TRV.HTM", "halibut"};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::create_directories(scratch);
        std::ofstream(scratch / "bad.but") << c.source;
        for (const char *file : files)
            std::ofstream(scratch / file) << "from an earlier build";
        std::string said;
        EXPECT_NE(0, Shell("bash " HALIBUT_SH " " + (scratch / "bad.but").string() + " " +
                             scratch.string(),
                         said));
        EXPECT_NE(std::string::npos, said.find(c.message)) << said;
        for (const char *file : files)
            EXPECT_FALSE(std::filesystem::exists(scratch / file)) << file;
    }
}
