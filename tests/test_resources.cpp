// The resources as built: read back from the compiled .res and from the linked TRV.EXE and
// compared field by field with what the program's templates, tables and records must hold.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "main_layout.h"
#include "peres.h"
#include "version_record.h"

namespace {

const uint16_t RT_ICON = 3, RT_DIALOG = 5, RT_STRING = 6, RT_ACCELERATOR = 9,
               RT_GROUP_ICON = 14, RT_VERSION = 16;
const uint16_t EN_US = 0x0409;

const char *const FILES[] = {TRV_RES_FILE, TRV_EXE_FILE};

std::vector<Resource> Load(const char *path)
{
    std::vector<Resource> resources;
    const std::string file = path;
    std::string error = file.size() > 4 && file.compare(file.size() - 4, 4, ".res") == 0
                            ? ReadResFile(path, resources)
                            : ReadPeResources(path, resources);
    EXPECT_EQ("", error);
    return resources;
}

ResId Id(uint16_t id) { return ResId{false, id, ""}; }
ResId Name(const char *name) { return ResId{true, 0, name}; }

const Resource *Find(const std::vector<Resource> &all, uint16_t type, const ResId &name)
{
    for (const Resource &r : all)
        if (!r.type.isName && r.type.id == type && r.name == name)
            return &r;
    return nullptr;
}

struct Template {
    const char *name;
    uint32_t style;
    uint16_t x, y, cx, cy;
    const char *className; // "" when none
    const char *caption;
    uint16_t pointSize;    // 0 when no font
    const char *face;
    std::vector<Control> controls;
};

const Template TEMPLATES[] = {
    {"DIAL_MAIN", 0x00CA0080, 10, 33, MAIN_CX, MAIN_CY, "Tarvik 2", "Tarvik 2", 0, "",
     std::vector<Control>(std::begin(MAIN_CONTROLS), std::end(MAIN_CONTROLS))},
    {"DIAL_ABOUT", 0x90C800C0, 12, 17, 148, 194, "", "Tarvik 2", 8, "System",
     {
         {105, STATIC, nullptr, 0x50000000, 8, 132, 132, 43, 5},
         {2, BUTTON, "&OK", 0x50010001, 54, 179, 40, 12, 0},
         {114, STATIC, "Tarvik 2 v. 2.02 for Windows 95, Windows 98, and NT 4 or later",
          0x50000000, 8, 7, 106, 27, 0},
         {115, STATIC, nullptr, 0x50000000, 8, 40, 88, 28, 3},
         {118, STATIC, "ICONX", 0x50000003, 120, 7, 20, 20, 0},
         {119, STATIC, nullptr, 0x50000000, 8, 75, 132, 52, 6},
     }},
};

int LineCount(const std::string &text)
{
    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

void CheckTemplate(const Resource &r, const Template &t)
{
    Cursor c(r.data);
    EXPECT_EQ(t.style, c.U32()) << "style";
    EXPECT_EQ(0u, c.U32()) << "extended style";
    uint16_t count = c.U16();
    EXPECT_EQ(t.x, c.U16()) << "x";
    EXPECT_EQ(t.y, c.U16()) << "y";
    EXPECT_EQ(t.cx, c.U16()) << "cx";
    EXPECT_EQ(t.cy, c.U16()) << "cy";
    // An empty name stands for "none" in the menu and class fields.
    EXPECT_EQ(Name("").Text(), c.SzOrOrd().Text()) << "menu";
    EXPECT_EQ(Name(t.className).Text(), c.SzOrOrd().Text()) << "class";
    EXPECT_EQ(t.caption, c.Utf16z()) << "caption";
    if (t.pointSize) {
        EXPECT_EQ(t.pointSize, c.U16()) << "font size";
        EXPECT_EQ(t.face, c.Utf16z()) << "font face";
    }
    ASSERT_EQ(t.controls.size(), count) << "control count";
    for (const Control &e : t.controls) {
        SCOPED_TRACE(testing::Message() << "control " << e.id);
        c.Align(4);
        EXPECT_EQ(e.style, c.U32()) << "style";
        EXPECT_EQ(0u, c.U32()) << "extended style";
        EXPECT_EQ(e.x, c.U16()) << "x";
        EXPECT_EQ(e.y, c.U16()) << "y";
        EXPECT_EQ(e.cx, c.U16()) << "cx";
        EXPECT_EQ(e.cy, c.U16()) << "cy";
        EXPECT_EQ(e.id, c.U16()) << "id";
        EXPECT_EQ(Id(e.classOrdinal).Text(), c.SzOrOrd().Text()) << "class";
        ResId text = c.SzOrOrd();
        ASSERT_TRUE(text.isName) << "text";
        if (e.text) {
            EXPECT_EQ(e.text, text.name) << "text";
        } else {
            EXPECT_FALSE(text.name.empty()) << "text";
            EXPECT_LE(LineCount(text.name), e.maxLines) << text.name;
        }
        EXPECT_EQ(0, c.U16()) << "creation data";
    }
    EXPECT_FALSE(c.overrun);
}

// Texts of every string-table block, by string id.
std::map<unsigned, std::string> Strings(const std::vector<Resource> &all)
{
    std::map<unsigned, std::string> strings;
    for (const Resource &r : all) {
        if (r.type.isName || r.type.id != RT_STRING)
            continue;
        Cursor c(r.data);
        for (unsigned i = 0; i < 16; ++i) {
            uint16_t length = c.U16();
            std::string text;
            for (uint16_t k = 0; k < length; ++k)
                text += (char)c.U16();
            if (length)
                strings[(r.name.id - 1u) * 16 + i] = text;
        }
        EXPECT_FALSE(c.overrun);
    }
    return strings;
}

// One key/value record of the version resource; children follow at `children`.
struct VersionNode {
    uint16_t length, valueLength, type;
    std::string key;
    size_t value, end;
};

VersionNode ReadNode(Cursor &c)
{
    VersionNode n;
    size_t start = c.at;
    n.length = c.U16();
    n.valueLength = c.U16();
    n.type = c.U16();
    n.key = c.Utf16z();
    c.Align(4);
    n.value = c.at;
    n.end = start + n.length;
    return n;
}

} // namespace

TEST(Resources, HoldExactlyTheProgramsInventoryInUsEnglish)
{
    for (const char *file : FILES) {
        SCOPED_TRACE(file);
        std::set<std::string> found, expected = {
                                         "5/\"DIAL_MAIN\"", "5/\"DIAL_ABOUT\"", "6/1", "6/2",
                                         "6/626", "9/\"ACCELS\"", "14/\"ICONX\"", "3/1", "16/1"};
        for (const Resource &r : Load(file)) {
            found.insert(r.type.Text() + "/" + r.name.Text());
            EXPECT_EQ(EN_US, r.language) << r.type.Text() << "/" << r.name.Text();
        }
        EXPECT_EQ(expected, found);
    }
}

TEST(Resources, DialogTemplatesMatchFieldByField)
{
    for (const char *file : FILES) {
        std::vector<Resource> all = Load(file);
        for (const Template &t : TEMPLATES) {
            SCOPED_TRACE(testing::Message() << file << " " << t.name);
            const Resource *r = Find(all, RT_DIALOG, Name(t.name));
            ASSERT_NE(nullptr, r);
            CheckTemplate(*r, t);
        }
    }
}

TEST(Resources, StringTableHoldsTheElevenTextsAndNothingElse)
{
    const std::map<unsigned, std::string> expected = {
        {0, "Tarvik 2"}, {5, "Tarvik 2"}, {20, "Timer not available"},
        {21, "Cannot create dialog box"}, {10000, "TRV.EXE"}, {10001, "Tarvik 2 - Error"},
        {10002, "Tarvik 2 - Fatal Error"}, {10003, "GDI Error"},
        {10007, "Cannot load accelerators"}, {10008, "TRV.HLP"}, {10009, "Help error"},
    };
    for (const char *file : FILES) {
        SCOPED_TRACE(file);
        EXPECT_EQ(expected, Strings(Load(file)));
    }
}

TEST(Resources, AcceleratorTableIsTheSevenEntriesInOrder)
{
    const uint16_t expected[7][4] = {
        {0x10, 0x73, 121, 0}, {0x01, 0x0D, 121, 0}, {0x10, 0x76, 136, 0}, {0x10, 0x68, 122, 0},
        {0x01, 0x70, 122, 0}, {0x10, 0x61, 123, 0}, {0x90, 0x78, 124, 0},
    };
    for (const char *file : FILES) {
        SCOPED_TRACE(file);
        std::vector<Resource> all = Load(file);
        const Resource *r = Find(all, RT_ACCELERATOR, Name("ACCELS"));
        ASSERT_NE(nullptr, r);
        ASSERT_EQ(sizeof expected, r->data.size());
        Cursor c(r->data);
        for (const auto &entry : expected)
            for (int field = 0; field < 4; ++field)
                EXPECT_EQ(entry[field], c.U16()) << "entry word " << field;
    }
}

TEST(Resources, IconIsOne32By32SixteenColourImage)
{
    const uint32_t palette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                  0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                  0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (const char *file : FILES) {
        SCOPED_TRACE(file);
        std::vector<Resource> all = Load(file);
        const Resource *group = Find(all, RT_GROUP_ICON, Name("ICONX"));
        ASSERT_NE(nullptr, group);
        Cursor g(group->data);
        EXPECT_EQ(0, g.U16());
        EXPECT_EQ(1, g.U16()) << "type icon";
        EXPECT_EQ(1, g.U16()) << "one image";
        EXPECT_EQ(32, g.U8());
        EXPECT_EQ(32, g.U8());
        EXPECT_EQ(16, g.U8()) << "colours";
        EXPECT_EQ(0, g.U8());
        EXPECT_EQ(1, g.U16()) << "planes";
        EXPECT_EQ(4, g.U16()) << "bits per pixel";
        EXPECT_EQ(744u, g.U32()) << "image bytes";
        EXPECT_EQ(1, g.U16()) << "image id";
        EXPECT_EQ(group->data.size(), g.at);

        const Resource *image = Find(all, RT_ICON, Id(1));
        ASSERT_NE(nullptr, image);
        ASSERT_EQ(744u, image->data.size());
        Cursor c(image->data);
        EXPECT_EQ(40u, c.U32()) << "header size";
        EXPECT_EQ(32u, c.U32()) << "width";
        EXPECT_EQ(64u, c.U32()) << "height of image and mask";
        EXPECT_EQ(1, c.U16()) << "planes";
        EXPECT_EQ(4, c.U16()) << "bits per pixel";
        EXPECT_EQ(0u, c.U32()) << "compression";
        c.at = 40;
        for (uint32_t rgb : palette) {
            uint32_t bgrx = c.U32();
            EXPECT_EQ(rgb, bgrx & 0xFFFFFF) << "palette entry " << (c.at - 44) / 4;
        }
        // 512 bytes of pixels and a 128-byte mask follow; a transparent background shows
        // in the mask's corners, an opaque dial in its middle.
        EXPECT_EQ(40u + 64u, c.at);
        const uint8_t *mask = &image->data[40 + 64 + 512];
        EXPECT_EQ(0x80, mask[0] & 0x80) << "bottom-left corner transparent";
        EXPECT_EQ(0x00, mask[16 * 4 + 1]) << "centre opaque";
    }
}

TEST(Resources, VersionRecordHasItsFixedFieldsAndTwelveKeysInOrder)
{
    std::vector<std::pair<std::string, std::string>> strings;
    for (const VersionString &v : VERSION_STRINGS)
        strings.push_back({v.key, v.value});
    for (const char *file : FILES) {
        SCOPED_TRACE(file);
        std::vector<Resource> all = Load(file);
        const Resource *r = Find(all, RT_VERSION, Id(1));
        ASSERT_NE(nullptr, r);
        Cursor c(r->data);
        VersionNode root = ReadNode(c);
        EXPECT_EQ("VS_VERSION_INFO", root.key);
        ASSERT_EQ(52, root.valueLength);
        for (int i = 0; i < 13; ++i)
            EXPECT_EQ(VERSION_FIXED[i], c.U32()) << "fixed field " << i;
        c.Align(4);

        VersionNode stringInfo = ReadNode(c);
        EXPECT_EQ("StringFileInfo", stringInfo.key);
        VersionNode table = ReadNode(c);
        EXPECT_EQ("040904b0", table.key);
        std::vector<std::pair<std::string, std::string>> found;
        while (c.at < table.end && !c.overrun) {
            VersionNode s = ReadNode(c);
            std::string value = s.valueLength ? c.Utf16z() : "";
            found.push_back({s.key, value});
            c.at = s.end;
            c.Align(4);
        }
        EXPECT_EQ(strings, found);

        c.at = stringInfo.end;
        c.Align(4);
        VersionNode varInfo = ReadNode(c);
        EXPECT_EQ("VarFileInfo", varInfo.key);
        VersionNode translation = ReadNode(c);
        EXPECT_EQ("Translation", translation.key);
        EXPECT_EQ(4, translation.valueLength);
        EXPECT_EQ(VERSION_LANGUAGE, c.U16());
        EXPECT_EQ(VERSION_CODE_PAGE, c.U16());
        EXPECT_FALSE(c.overrun);
    }
}
