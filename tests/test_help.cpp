// The help compiler: its output read back field by field, and its refusals of bad input.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "peres.h"

namespace {

uint32_t U16(const Bytes &b, size_t at) { return Cursor(b, at).U16(); }
uint32_t U32(const Bytes &b, size_t at) { return Cursor(b, at).U32(); }
std::string Z(const Bytes &b, size_t at) { return std::string((const char *)&b.at(at)); }

Bytes ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

size_t Occurrences(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Runs COMMAND; returns its exit code and what it printed.
int Shell(const std::string &command, const std::string &log, std::string &said)
{
    int status = std::system((command + " >" + log + " 2>&1").c_str());
    Bytes text = ReadAll(log);
    said.assign(text.begin(), text.end());
    return WEXITSTATUS(status);
}

// Runs the compiler on SOURCE, writing the help file OUTPUT and the page OUTPUT.htm.
int Compile(const std::string &source, const std::string &output, std::string &said)
{
    return Shell(std::string(MKHELP) + " " + source + " " + output + " " + output + ".htm",
               output + ".log", said);
}

// The internal files of a help file by name, each as (offset of its data, size).
struct HelpFile {
    Bytes bytes;
    std::map<std::string, std::pair<size_t, size_t>> files;
    std::vector<std::string> order;
};

// Leaf entries of a one-page B+ tree at `at`: returns the page's entry area and count.
size_t TreePage(const Bytes &b, size_t at, const char *structure, uint32_t pageSize,
                uint32_t &count)
{
    EXPECT_EQ(0x293Bu, U16(b, at));
    EXPECT_EQ(pageSize, U16(b, at + 4));
    EXPECT_EQ(structure, Z(b, at + 6));
    EXPECT_EQ(1u, U16(b, at + 32)) << "levels";
    count = U32(b, at + 34);
    size_t page = at + 38;
    EXPECT_EQ(count, U16(b, page + 2));
    return page + 8;
}

HelpFile Read(const std::string &path)
{
    HelpFile h;
    h.bytes = ReadAll(path);
    const Bytes &b = h.bytes;
    EXPECT_EQ(0x00035F3Fu, U32(b, 0));
    EXPECT_EQ(b.size(), U32(b, 12)) << "whole size";
    size_t dir = U32(b, 4);
    EXPECT_EQ(U32(b, dir + 4) + 9, U32(b, dir)) << "directory reserved space";
    uint32_t count;
    size_t at = TreePage(b, dir + 9, "z4", 0x400, count);
    for (uint32_t i = 0; i < count; ++i) {
        std::string name = Z(b, at);
        at += name.size() + 1;
        size_t header = U32(b, at);
        at += 4;
        EXPECT_EQ(U32(b, header + 4) + 9, U32(b, header)) << name;
        EXPECT_EQ(4u, b.at(header + 8)) << name;
        h.files[name] = {header + 9, U32(b, header + 4)};
        h.order.push_back(name);
    }
    return h;
}

uint32_t Hash(const std::string &name)
{
    uint32_t h = 0;
    for (char c : name)
        h = h * 43 + (isalpha((unsigned char)c) ? 17 + (toupper(c) - 'A')
                      : c == '0'                ? 10
                      : isdigit((unsigned char)c) ? (uint32_t)(c - '0')
                      : c == '.'                ? 12
                                                : 13);
    return h;
}

struct Link {
    uint32_t pos, type, data1At, blockSize, data2Length;
};

// Walks the |TOPIC chain from the first link, checking that no header or LinkData1 crosses
// a block boundary; returns the links in order.
std::vector<Link> Links(const HelpFile &h)
{
    auto topic = h.files.at("|TOPIC");
    const Bytes &b = h.bytes;
    EXPECT_EQ(0u, topic.second % 4096) << "whole blocks";
    auto fileOffset = [&](uint32_t pos) { return topic.first + pos / 0x4000 * 4096 + pos % 0x4000; };
    std::vector<Link> links;
    uint32_t pos = U32(b, topic.first + 4);
    while (pos != 0xFFFFFFFFu && links.size() < 10000) {
        size_t at = fileOffset(pos);
        Link l = {pos, b.at(at + 20), (uint32_t)at + 21, U32(b, at), U32(b, at + 4)};
        uint32_t data1 = U32(b, at + 16);
        EXPECT_LE(pos % 0x4000 + data1, 4096u) << "link at " << pos << " crosses its block";
        EXPECT_EQ(links.empty() ? 0xFFFFFFFFu : links.back().pos, U32(b, at + 8)) << "prev";
        links.push_back(l);
        pos = U32(b, at + 12);
    }
    return links;
}

} // namespace

TEST(HelpCompiler, ContextHashIsTheEnginesOwn)
{
    EXPECT_EQ(0x00216034u, Hash("KEYS"));
}

TEST(HelpCompiler, WritesTheFileSystemAndItsInternalFiles)
{
    std::string out = std::string(SCRATCH) + "/TRV.HLP", said;
    ASSERT_EQ(0, Compile(HELP_SOURCE, out, said)) << said;
    HelpFile h = Read(out);
    EXPECT_EQ((std::vector<std::string>{"|CONTEXT", "|FONT", "|SYSTEM", "|TOPIC", "|TTLBTREE"}),
              h.order);
    const Bytes &b = h.bytes;

    size_t system = h.files.at("|SYSTEM").first;
    EXPECT_EQ(0x036Cu, U16(b, system));
    EXPECT_EQ(33u, U16(b, system + 2));
    EXPECT_EQ(1u, U16(b, system + 4));
    EXPECT_EQ(0u, U16(b, system + 10)) << "flags: 4 KiB blocks, no compression";
    EXPECT_EQ(1u, U16(b, system + 12));
    EXPECT_EQ("Tarvik 2 Help", Z(b, system + 16));
    size_t record3 = system + 16 + U16(b, system + 14);
    EXPECT_EQ(3u, U16(b, record3));
    EXPECT_EQ(system + h.files.at("|SYSTEM").second, record3 + 8) << "nothing after the records";
    uint32_t contentsOffset = U32(b, record3 + 4);

    size_t font = h.files.at("|FONT").first;
    EXPECT_GE(U16(b, font), 1u);
    EXPECT_EQ(8u, U16(b, font + 4));

    // Every context names the offset of its topic; titles agree with |TTLBTREE.
    std::vector<Link> links = Links(h);
    std::map<uint32_t, std::string> titleByOffset;
    uint32_t count;
    size_t at = TreePage(b, h.files.at("|TTLBTREE").first, "Lz", 0x800, count);
    for (uint32_t i = 0; i < count; ++i) {
        std::string title = Z(b, at + 4);
        titleByOffset[U32(b, at)] = title;
        at += 4 + title.size() + 1;
    }
    const std::map<std::string, std::string> topics = {
        {"CONTENTS", "Tarvik 2 Help"}, {"DISPLAYS", "What the window shows"},
        {"CLOCK", "Using the clock"},  {"KEYS", "The keyboard"},
        {"ABOUT", "The About box"}};
    std::map<uint32_t, uint32_t> offsetByHash;
    at = TreePage(b, h.files.at("|CONTEXT").first, "L4", 0x800, count);
    int32_t previous = INT32_MIN;
    for (uint32_t i = 0; i < count; ++i, at += 8) {
        EXPECT_LT(previous, (int32_t)U32(b, at)) << "sorted as signed";
        previous = (int32_t)U32(b, at);
        offsetByHash[U32(b, at)] = U32(b, at + 4);
    }
    ASSERT_EQ(topics.size(), offsetByHash.size());
    for (const auto &t : topics) {
        SCOPED_TRACE(t.first);
        ASSERT_EQ(1u, offsetByHash.count(Hash(t.first)));
        EXPECT_EQ(t.second, titleByOffset[offsetByHash[Hash(t.first)]]);
    }
    EXPECT_EQ(offsetByHash[Hash("CONTENTS")], contentsOffset);

    // Topic headers in order, each with its title, closed by an untitled one.
    std::vector<std::string> headers;
    for (const Link &l : links)
        if (l.type == 2)
            headers.push_back(std::string((const char *)&b[l.data1At + 28], l.data2Length)
                                  .c_str());
    EXPECT_EQ((std::vector<std::string>{"Tarvik 2 Help", "What the window shows",
                                        "Using the clock", "The keyboard", "The About box", ""}),
              headers);

    // The same help as one page: the title, each topic's heading and each line of text as
    // often as the source has it, every jump a link to an anchor there, no error for a checker.
    Bytes html = ReadAll(out + ".htm");
    std::string page(html.begin(), html.end()), line;
    EXPECT_EQ(1u, Occurrences(page, "<TITLE>Tarvik 2 Help</TITLE>"));
    for (const auto &t : topics)
        EXPECT_EQ(1u, Occurrences(page, "<A NAME=\"" + t.first + "\">" + t.second + "</A></H"))
            << t.first;
    Bytes sourceBytes = ReadAll(HELP_SOURCE);
    std::string source(sourceBytes.begin(), sourceBytes.end());
    const std::regex jump(R"(\{([^|}]*)\|([^}]*)\})"), link(R"re(HREF="#([^"]*)")re");
    for (std::istringstream lines(source); std::getline(lines, line);) {
        if (line.empty() || std::string("#@=").find(line[0]) != std::string::npos)
            continue;
        EXPECT_EQ(Occurrences("\n" + source, "\n" + line + "\n"),
                  Occurrences(page, std::regex_replace(line, jump, "<A HREF=\"#$2\">$1</A>")))
            << line;
    }
    for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it)
        EXPECT_EQ(1u, Occurrences(page, "NAME=\"" + (*it)[1].str() + "\"")) << (*it)[1];
    EXPECT_EQ(0, Shell(std::string(TIDY) + " -errors -q " + out + ".htm", out + ".tidy", said))
        << said;
    EXPECT_EQ("", said);
}

TEST(HelpCompiler, TopicsRunAcrossBlocksWithTheirOffsets)
{
    std::string source = std::string(SCRATCH) + "/long.txt", out = source + ".hlp", said;
    std::string text = "@title Long\n= FIRST First\n{to the second|SECOND}\n\n";
    for (int i = 0; i < 120; ++i)
        text += "Paragraph " + std::to_string(i) + " of a topic longer than one block of text.\n\n";
    text += "= SECOND Second\nShort.\n";
    Write(source, text);
    ASSERT_EQ(0, Compile(source, out, said)) << said;
    HelpFile h = Read(out);
    std::vector<Link> links = Links(h);
    ASSERT_FALSE(links.empty());
    EXPECT_GE(links.back().pos / 0x4000, 1u) << "more than one block";

    // Each block's header names the first link that starts in it.
    auto topic = h.files.at("|TOPIC");
    for (size_t block = 0; block < topic.second / 4096; ++block) {
        SCOPED_TRACE(block);
        uint32_t first = U32(h.bytes, topic.first + block * 4096 + 4);
        for (const Link &l : links)
            if (l.pos / 0x4000 >= block) {
                EXPECT_EQ(l.pos, first);
                break;
            }
    }
    // The second topic's offset: its block, plus the text lengths before it in that block.
    const Link *second = nullptr;
    for (const Link &l : links)
        if (l.type == 2 && std::string((const char *)&h.bytes[l.data1At + 28]) == "Second")
            second = &l;
    ASSERT_NE(nullptr, second);
    uint32_t block = second->pos / 0x4000;
    uint32_t characters = 0;
    for (const Link &l : links)
        if (l.type == 0x20 && l.pos / 0x4000 == block && l.pos < second->pos)
            characters += l.data2Length;
    uint32_t count;
    size_t at = TreePage(h.bytes, h.files.at("|CONTEXT").first, "L4", 0x800, count);
    std::map<uint32_t, uint32_t> offsetByHash;
    for (uint32_t i = 0; i < count; ++i, at += 8)
        offsetByHash[U32(h.bytes, at)] = U32(h.bytes, at + 4);
    EXPECT_EQ(block * 0x8000 + characters, offsetByHash[Hash("SECOND")]);
}

TEST(HelpCompiler, RefusesBadInputWithFileAndLineAndLeavesNoOutput)
{
    struct Case {
        const char *name, *source, *message;
    } cases[] = {
        {"unknown jump", "@title T\n= A A\n\nSee {that|NOWHERE}.\n", "src.txt:4: jump to unknown context"},
        {"unmapped character", "@title T\n= A-B Topic\nText.\n", "src.txt:2: context \"A-B\""},
        {"duplicate context", "@title T\n= A One\nx\n= a Two\ny\n", "src.txt:4: duplicate context"},
        {"not code page 1252", "@title T\n= A One\n\xe2\x86\x92 arrow\n", "src.txt:3: text not in code page 1252"},
        {"broken jump", "@title T\n= A One\n{no bar}\n", "src.txt:3: a jump is written"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string source = std::string(SCRATCH) + "/src.txt", out = source + ".hlp", said;
        Write(source, c.source);
        Write(out, "stale");
        Write(out + ".htm", "stale");
        EXPECT_EQ(1, Compile(source, out, said));
        EXPECT_NE(std::string::npos, said.find(c.message)) << said;
        EXPECT_FALSE(std::ifstream(out).good()) << "help file left behind";
        EXPECT_FALSE(std::ifstream(out + ".htm").good()) << "page left behind";
    }
}
