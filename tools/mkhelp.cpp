// Build-time tool: compiles the help source (a small text markup) into an uncompressed
// help file of the engine's minimal subset (file system, |SYSTEM, |FONT, |TOPIC, |CONTEXT,
// |TTLBTREE), and into the same help as one HTML page, for systems without the help engine.
//
// Markup: "# ..." comment; "@title TEXT" the file's title; "= CONTEXT Title" starts a topic
// (the first is the contents); other lines are paragraph text, a blank line ends a paragraph;
// "{text|CONTEXT}" in a paragraph is a jump to another topic.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

const uint32_t BLOCK_SIZE = 4096, BLOCK_HEADER = 12, PAYLOAD = BLOCK_SIZE - BLOCK_HEADER;
const uint32_t LINK_HEADER = 21;
const uint8_t TOPIC_HEADER = 0x02, TEXT_RECORD = 0x20;
const uint16_t FONT_BODY = 0, FONT_TITLE = 1;

struct Span {
    std::string text;
    std::string jump; // target context, or empty for plain text
    int line;
};

struct Topic {
    std::string context, title;
    int line;
    std::vector<std::vector<Span>> paragraphs;
};

struct Source {
    std::string title;
    std::vector<Topic> topics;
};

struct Failure {
    std::string message;
};

void put8(Bytes &b, uint32_t v) { b.push_back((uint8_t)v); }
void put16(Bytes &b, uint32_t v) { put8(b, v & 0xFF); put8(b, (v >> 8) & 0xFF); }
void put32(Bytes &b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }
void putz(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); put8(b, 0); }
void patch32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = (uint8_t)(v >> (8 * i));
}

// The engine's context hash; characters outside its map are refused.
bool HashContext(const std::string &name, uint32_t &hash)
{
    hash = 0;
    for (char c : name) {
        uint32_t v;
        if (c >= 'A' && c <= 'Z')
            v = 17 + (uint32_t)(c - 'A');
        else if (c >= 'a' && c <= 'z')
            v = 17 + (uint32_t)(c - 'a');
        else if (c >= '1' && c <= '9')
            v = (uint32_t)(c - '0');
        else if (c == '0')
            v = 10;
        else if (c == '.')
            v = 12;
        else if (c == '_')
            v = 13;
        else
            return false;
        hash = hash * 43 + v;
    }
    return !name.empty();
}

// Code page 1252 text: the source is UTF-8; characters outside the code page are refused.
bool ToCp1252(const std::string &utf8, std::string &out)
{
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020,
                                      0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,
                                      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D,
                                      0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
                                      0x0153, 0,      0x017E, 0x0178};
    out.clear();
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = (unsigned char)utf8[i];
        uint32_t code;
        int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > utf8.size())
            return false;
        code = length == 1 ? c : c & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            unsigned char d = (unsigned char)utf8[i + k];
            if ((d & 0xC0) != 0x80)
                return false;
            code = code << 6 | (d & 0x3F);
        }
        i += length;
        if (code < 0x20 && code != '\t')
            return false;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += (char)code;
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (high[k] == code)
                found = k;
        if (found < 0)
            return false;
        out += (char)(0x80 + found);
    }
    return true;
}

std::string Where(const std::string &path, int line)
{
    return path + ":" + std::to_string(line) + ": ";
}

std::vector<Span> ParseParagraph(const std::string &text, const std::string &path, int line)
{
    std::vector<Span> spans;
    size_t at = 0;
    while (at < text.size()) {
        size_t open = text.find('{', at);
        if (open == std::string::npos) {
            spans.push_back({text.substr(at), "", line});
            break;
        }
        if (open > at)
            spans.push_back({text.substr(at, open - at), "", line});
        size_t bar = text.find('|', open), close = text.find('}', open);
        if (bar == std::string::npos || close == std::string::npos || bar > close)
            throw Failure{Where(path, line) + "a jump is written {text|CONTEXT}"};
        spans.push_back({text.substr(open + 1, bar - open - 1), text.substr(bar + 1, close - bar - 1),
                         line});
        at = close + 1;
    }
    return spans;
}

Source Parse(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        throw Failure{path + ": cannot read"};
    Source source;
    std::string raw, paragraph;
    int lineNo = 0, paragraphLine = 0;
    auto endParagraph = [&] {
        if (paragraph.empty())
            return;
        if (source.topics.empty())
            throw Failure{Where(path, paragraphLine) + "text before the first topic"};
        source.topics.back().paragraphs.push_back(ParseParagraph(paragraph, path, paragraphLine));
        paragraph.clear();
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line;
        if (!ToCp1252(raw, line))
            throw Failure{Where(path, lineNo) + "text not in code page 1252"};
        if (!line.empty() && line[0] == '#')
            continue;
        if (line.empty()) {
            endParagraph();
        } else if (line.rfind("@title ", 0) == 0) {
            endParagraph();
            source.title = line.substr(7);
        } else if (line.rfind("= ", 0) == 0) {
            endParagraph();
            size_t space = line.find(' ', 2);
            if (space == std::string::npos)
                throw Failure{Where(path, lineNo) + "a topic is written = CONTEXT Title"};
            source.topics.push_back({line.substr(2, space - 2), line.substr(space + 1), lineNo, {}});
        } else {
            if (paragraph.empty())
                paragraphLine = lineNo;
            paragraph += paragraph.empty() ? line : " " + line;
        }
    }
    endParagraph();
    if (source.topics.empty())
        throw Failure{path + ": no topic"};
    if (source.title.empty())
        throw Failure{path + ": no @title"};
    return source;
}

// The |TOPIC stream: links laid into 4 KiB blocks.
struct TopicStream {
    Bytes payload; // block payloads back to back, without their 12-byte headers
    std::vector<uint32_t> linkStarts;
    std::vector<bool> isHeader;
    uint32_t lastLinkHeaderAt = 0; // payload offset of the previous link's header

    static uint32_t Pos(uint32_t offset)
    {
        return offset / PAYLOAD * 0x4000 + BLOCK_HEADER + offset % PAYLOAD;
    }

    // A link header and its LinkData1 stay inside one block.
    uint32_t Place(uint32_t headerAndData1)
    {
        uint32_t room = PAYLOAD - (uint32_t)payload.size() % PAYLOAD;
        if (room < headerAndData1)
            payload.resize(payload.size() + room, 0);
        return (uint32_t)payload.size();
    }

    uint32_t Add(uint8_t type, const Bytes &data1, const Bytes &data2)
    {
        uint32_t at = Place(LINK_HEADER + (uint32_t)data1.size());
        put32(payload, LINK_HEADER + (uint32_t)(data1.size() + data2.size()));
        put32(payload, (uint32_t)data2.size());
        put32(payload, linkStarts.empty() ? 0xFFFFFFFFu : Pos(linkStarts.back()));
        put32(payload, 0xFFFFFFFFu); // next: patched when the next link is placed
        put32(payload, LINK_HEADER + (uint32_t)data1.size());
        put8(payload, type);
        payload.insert(payload.end(), data1.begin(), data1.end());
        payload.insert(payload.end(), data2.begin(), data2.end());
        if (!linkStarts.empty())
            patch32(payload, linkStarts.back() + 12, Pos(at));
        linkStarts.push_back(at);
        isHeader.push_back(type == TOPIC_HEADER);
        return at;
    }
};

void PutCompressedShort(Bytes &b, uint32_t v)
{
    if (v < 128) {
        put8(b, v * 2);
    } else {
        put8(b, (v % 128) * 2 + 1);
        put8(b, v / 128);
    }
}

void PutCompressedLong(Bytes &b, uint32_t v)
{
    uint32_t x = v + 16384;
    if (x <= 0x7FFF)
        put16(b, x * 2);
    else
        put32(b, x * 2 + 1);
}

// A text record of one paragraph: strings in LinkData2 alternate with commands in LinkData1.
void TextRecord(const std::vector<Span> &spans, uint16_t font,
                const std::map<std::string, uint32_t> &hashes, Bytes &data1, Bytes &data2)
{
    Bytes commands;
    data2.clear();
    std::string current;
    auto command = [&](std::initializer_list<uint8_t> bytes) {
        data2.insert(data2.end(), current.begin(), current.end());
        put8(data2, 0);
        commands.insert(commands.end(), bytes);
        current.clear();
    };
    command({0x80, (uint8_t)font, (uint8_t)(font >> 8)});
    for (const Span &s : spans) {
        if (s.jump.empty()) {
            current += s.text;
            continue;
        }
        uint32_t h = hashes.at(s.jump);
        command({0xE3, (uint8_t)h, (uint8_t)(h >> 8), (uint8_t)(h >> 16), (uint8_t)(h >> 24)});
        current = s.text;
        command({0x89});
    }
    command({0x82});
    command({0xFF});

    Bytes rest;
    PutCompressedShort(rest, (uint32_t)data2.size());
    put8(rest, 0x00);
    put8(rest, 0x80);
    put16(rest, 0);
    put16(rest, 0);
    rest.insert(rest.end(), commands.begin(), commands.end());
    data1.clear();
    PutCompressedLong(data1, (uint32_t)rest.size());
    data1.insert(data1.end(), rest.begin(), rest.end());
}

Bytes TopicHeaderData1(uint32_t number)
{
    Bytes b;
    put32(b, 0);           // block size, informational
    put32(b, 0xFFFFFFFFu); // browse back
    put32(b, 0xFFFFFFFFu); // browse forward
    put32(b, number);
    put32(b, 0xFFFFFFFFu); // no non-scrolling region
    put32(b, 0xFFFFFFFFu); // scroll: patched to the first text record
    put32(b, 0xFFFFFFFFu); // next topic: patched
    return b;
}

struct Layout {
    Bytes topicFile;
    std::vector<uint32_t> topicOffsets; // TOPICOFFSET of each topic
};

Layout LayTopics(const Source &source, const std::map<std::string, uint32_t> &hashes)
{
    TopicStream stream;
    Layout layout;
    std::vector<uint32_t> headers;
    uint32_t block = 0, characters = 0;
    auto track = [&](uint32_t at, uint32_t textLength) {
        if (at / PAYLOAD != block) {
            block = at / PAYLOAD;
            characters = 0;
        }
        characters += textLength;
    };
    for (size_t t = 0; t <= source.topics.size(); ++t) {
        bool end = t == source.topics.size();
        std::string title = end ? "" : source.topics[t].title;
        Bytes data2(title.begin(), title.end());
        if (!end)
            data2.push_back(0);
        uint32_t before = characters;
        uint32_t at = stream.Add(TOPIC_HEADER, TopicHeaderData1((uint32_t)t), data2);
        if (at / PAYLOAD != block) {
            block = at / PAYLOAD;
            characters = before = 0;
        }
        layout.topicOffsets.push_back(block * 0x8000 + before);
        if (!headers.empty())
            patch32(stream.payload, headers.back() + LINK_HEADER + 24, TopicStream::Pos(at));
        headers.push_back(at);
        if (end)
            break;
        std::vector<std::vector<Span>> paragraphs = source.topics[t].paragraphs;
        paragraphs.insert(paragraphs.begin(), std::vector<Span>{{title, "", 0}});
        for (size_t p = 0; p < paragraphs.size(); ++p) {
            Bytes data1, text;
            TextRecord(paragraphs[p], p == 0 ? FONT_TITLE : FONT_BODY, hashes, data1, text);
            uint32_t textAt = stream.Add(TEXT_RECORD, data1, text);
            track(textAt, (uint32_t)text.size());
            if (p == 0)
                patch32(stream.payload, at + LINK_HEADER + 20, TopicStream::Pos(textAt));
        }
    }
    layout.topicOffsets.pop_back(); // the closing header is no topic

    uint32_t blocks = ((uint32_t)stream.payload.size() + PAYLOAD - 1) / PAYLOAD;
    stream.payload.resize((size_t)blocks * PAYLOAD, 0);
    for (uint32_t b = 0; b < blocks; ++b) {
        uint32_t lastLink = 0xFFFFFFFFu, firstLink = 0xFFFFFFFFu, lastHeader = 0;
        for (size_t i = 0; i < stream.linkStarts.size(); ++i) {
            uint32_t at = stream.linkStarts[i];
            if (at < b * PAYLOAD) {
                lastLink = TopicStream::Pos(at);
                if (stream.isHeader[i])
                    lastHeader = TopicStream::Pos(at);
            } else if (firstLink == 0xFFFFFFFFu) {
                firstLink = TopicStream::Pos(at);
            }
        }
        put32(layout.topicFile, lastLink);
        put32(layout.topicFile, firstLink);
        put32(layout.topicFile, lastHeader);
        layout.topicFile.insert(layout.topicFile.end(), stream.payload.begin() + b * PAYLOAD,
                                stream.payload.begin() + (b + 1) * PAYLOAD);
    }
    return layout;
}

// A B+ tree of one leaf page.
Bytes LeafTree(uint16_t flags, uint16_t pageSize, const char *structure,
               const std::vector<Bytes> &entries)
{
    Bytes b;
    put16(b, 0x293B);
    put16(b, flags);
    put16(b, pageSize);
    std::string format(structure);
    format.resize(16, '\0');
    b.insert(b.end(), format.begin(), format.end());
    put16(b, 0);
    put16(b, 0);      // page splits
    put16(b, 0);      // root page
    put16(b, 0xFFFF);
    put16(b, 1);      // total pages
    put16(b, 1);      // levels
    put32(b, (uint32_t)entries.size());
    size_t used = 8;
    for (const Bytes &e : entries)
        used += e.size();
    if (used > pageSize)
        throw Failure{"too many entries for one page of a tree"};
    put16(b, (uint32_t)(pageSize - used));
    put16(b, (uint32_t)entries.size());
    put16(b, 0xFFFF);
    put16(b, 0xFFFF);
    for (const Bytes &e : entries)
        b.insert(b.end(), e.begin(), e.end());
    b.resize(38 + pageSize, 0);
    return b;
}

Bytes SystemFile(const Source &source, uint32_t contents)
{
    Bytes b;
    put16(b, 0x036C);
    put16(b, 33); // minor version
    put16(b, 1);  // major version
    put32(b, 0);  // build date: none, so that the same source gives the same bytes
    put16(b, 0);  // 4 KiB topic blocks, no compression
    put16(b, 1);
    put16(b, (uint32_t)source.title.size() + 1);
    putz(b, source.title);
    put16(b, 3);
    put16(b, 4);
    put32(b, contents);
    return b;
}

Bytes FontFile()
{
    Bytes b;
    put16(b, 1);
    put16(b, 2);
    put16(b, 8);
    put16(b, 8 + 32);
    std::string face = "Arial";
    face.resize(32, '\0');
    b.insert(b.end(), face.begin(), face.end());
    const uint8_t attributes[2] = {0, 1}, halfPoints[2] = {20, 28};
    for (int i = 0; i < 2; ++i) {
        put8(b, attributes[i]);
        put8(b, halfPoints[i]);
        put8(b, 3); // swiss
        put16(b, 0);
        put8(b, 0), put8(b, 0), put8(b, 0);
        put8(b, 0xFF), put8(b, 0xFF), put8(b, 0xFF);
    }
    return b;
}

Bytes Compile(const Source &source, const std::string &path)
{
    std::map<std::string, uint32_t> hashes;
    std::map<uint32_t, size_t> byHash;
    for (size_t t = 0; t < source.topics.size(); ++t) {
        const Topic &topic = source.topics[t];
        uint32_t hash;
        if (!HashContext(topic.context, hash))
            throw Failure{Where(path, topic.line) + "context \"" + topic.context +
                          "\" has a character the hash does not map (letters, digits, . and _)"};
        if (hashes.count(topic.context) || byHash.count(hash))
            throw Failure{Where(path, topic.line) + "duplicate context \"" + topic.context + "\""};
        hashes[topic.context] = hash;
        byHash[hash] = t;
    }
    for (const Topic &topic : source.topics)
        for (const auto &paragraph : topic.paragraphs)
            for (const Span &s : paragraph)
                if (!s.jump.empty() && !hashes.count(s.jump))
                    throw Failure{Where(path, s.line) + "jump to unknown context \"" + s.jump + "\""};

    Layout layout = LayTopics(source, hashes);
    std::vector<std::pair<int32_t, Bytes>> context;
    for (const auto &entry : byHash) {
        Bytes e;
        put32(e, entry.first);
        put32(e, layout.topicOffsets[entry.second]);
        context.push_back({(int32_t)entry.first, e});
    }
    std::sort(context.begin(), context.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<Bytes> contextEntries, titleEntries;
    for (const auto &c : context)
        contextEntries.push_back(c.second);
    for (size_t t = 0; t < source.topics.size(); ++t) {
        Bytes e;
        put32(e, layout.topicOffsets[t]);
        putz(e, source.topics[t].title);
        titleEntries.push_back(e);
    }

    // Internal files in the directory's order (byte-wise by name).
    std::vector<std::pair<std::string, Bytes>> files = {
        {"|CONTEXT", LeafTree(0x0002, 0x0800, "L4", contextEntries)},
        {"|FONT", FontFile()},
        {"|SYSTEM", SystemFile(source, layout.topicOffsets[0])},
        {"|TOPIC", layout.topicFile},
        {"|TTLBTREE", LeafTree(0x0002, 0x0800, "Lz", titleEntries)},
    };
    Bytes out(16, 0);
    std::vector<Bytes> directory;
    for (const auto &f : files) {
        Bytes e;
        putz(e, f.first);
        put32(e, (uint32_t)out.size());
        directory.push_back(e);
        put32(out, (uint32_t)f.second.size() + 9);
        put32(out, (uint32_t)f.second.size());
        put8(out, 4);
        out.insert(out.end(), f.second.begin(), f.second.end());
    }
    uint32_t directoryStart = (uint32_t)out.size();
    Bytes tree = LeafTree(0x0402, 0x0400, "z4", directory);
    put32(out, (uint32_t)tree.size() + 9);
    put32(out, (uint32_t)tree.size());
    put8(out, 4);
    out.insert(out.end(), tree.begin(), tree.end());
    patch32(out, 0, 0x00035F3F);
    patch32(out, 4, directoryStart);
    patch32(out, 8, 0xFFFFFFFFu);
    patch32(out, 12, (uint32_t)out.size());
    return out;
}

std::string Html(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

// One page that every browser shows, from 1996's (HTML 3.2) to today's: each topic a heading
// with an anchor named by its context, each jump a link to that anchor. The text stays in code
// page 1252, as the page declares; lines end in CR LF, as on the system it ships for.
std::string HtmlPage(const Source &source)
{
    std::string page = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n"
                       "<HTML>\r\n<HEAD>\r\n"
                       "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                       "charset=windows-1252\">\r\n"
                       "<TITLE>" + Html(source.title) + "</TITLE>\r\n"
                       "<STYLE TYPE=\"text/css\">\r\n"
                       "<!-- BODY { max-width: 40em; margin: 1em auto; padding: 0 1em } -->\r\n"
                       "</STYLE>\r\n</HEAD>\r\n<BODY>\r\n";
    for (size_t t = 0; t < source.topics.size(); ++t) {
        const Topic &topic = source.topics[t];
        std::string heading = t == 0 ? "H1" : "H2";
        page += (t == 0 ? "" : "<HR>\r\n") + ("<" + heading + "><A NAME=\"" + topic.context +
                                              "\">" + Html(topic.title) + "</A></" + heading +
                                              ">\r\n");
        for (const auto &paragraph : topic.paragraphs) {
            page += "<P>";
            for (const Span &s : paragraph)
                page += s.jump.empty() ? Html(s.text)
                                       : "<A HREF=\"#" + s.jump + "\">" + Html(s.text) + "</A>";
            page += "</P>\r\n";
        }
    }
    return page + "</BODY>\r\n</HTML>\r\n";
}

void Save(const char *path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    out.close();
    if (!out)
        throw Failure{std::string(path) + ": cannot write"};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: mkhelp SOURCE.txt OUT.HLP OUT.HTM\n";
        return 2;
    }
    // A bad source leaves neither file, not even one from an earlier build.
    std::remove(argv[2]);
    std::remove(argv[3]);
    try {
        Source source = Parse(argv[1]);
        Bytes help = Compile(source, argv[1]);
        Save(argv[2], std::string(help.begin(), help.end()));
        Save(argv[3], HtmlPage(source));
    } catch (const Failure &failure) {
        std::remove(argv[2]);
        std::remove(argv[3]);
        std::cerr << "mkhelp: " << failure.message << "\n";
        return 1;
    }
    return 0;
}
