// A small reader of Win32 resources, from a .res file or from a PE image's resource section.
#include "peres.h"

#include <fstream>
#include <iterator>

uint8_t Cursor::U8()
{
    if (at + 1 > bytes.size()) {
        overrun = true;
        return 0;
    }
    return bytes[at++];
}

uint16_t Cursor::U16()
{
    uint16_t low = U8();
    return (uint16_t)(low | U8() << 8);
}

uint32_t Cursor::U32()
{
    uint32_t low = U16();
    return low | (uint32_t)U16() << 16;
}

std::string Cursor::Utf16z()
{
    std::string text;
    for (uint16_t c = U16(); c != 0 && !overrun; c = U16())
        text += c < 0x100 ? (char)c : '?';
    return text;
}

ResId Cursor::SzOrOrd()
{
    ResId id;
    size_t start = at;
    if (U16() == 0xFFFF) {
        id.id = U16();
        return id;
    }
    at = start;
    id.isName = true;
    id.name = Utf16z();
    return id;
}

void Cursor::Align(size_t boundary)
{
    at = (at + boundary - 1) / boundary * boundary;
}

bool ReadBytes(const std::string &path, Bytes &bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string ReadResFile(const std::string &path, std::vector<Resource> &out)
{
    Bytes bytes;
    if (!ReadBytes(path, bytes))
        return path + ": cannot read";
    Cursor c(bytes);
    while (c.at + 32 <= bytes.size()) {
        size_t start = c.at;
        uint32_t dataSize = c.U32();
        uint32_t headerSize = c.U32();
        Resource r;
        r.type = c.SzOrOrd();
        r.name = c.SzOrOrd();
        c.Align(4);
        c.U32(); // data version
        c.U16(); // memory flags
        r.language = c.U16();
        c.at = start + headerSize;
        if (c.at + dataSize > bytes.size())
            return path + ": resource data runs past the end";
        r.data.assign(bytes.begin() + (long)c.at, bytes.begin() + (long)(c.at + dataSize));
        c.at += dataSize;
        c.Align(4);
        // The file starts with an empty entry that marks it as 32-bit.
        if (!(dataSize == 0 && !r.type.isName && r.type.id == 0))
            out.push_back(r);
    }
    return c.overrun ? path + ": truncated" : "";
}

size_t PeImage::Offset(uint32_t rva) const
{
    for (const PeSection &s : sections) {
        uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.rva && rva < s.rva + extent)
            return s.rawOffset + (rva - s.rva);
    }
    return 0;
}

namespace {

// A NUL-terminated 8-bit text at an RVA, as import names are stored.
std::string TextAt(const PeImage &pe, uint32_t rva)
{
    std::string text;
    for (size_t at = pe.Offset(rva); at != 0 && at < pe.bytes.size() && pe.bytes[at]; ++at)
        text += (char)pe.bytes[at];
    return text;
}

std::string ReadImports(PeImage &pe)
{
    uint32_t rva = pe.directoryRva[PE_DIR_IMPORT];
    if (rva == 0)
        return "";
    Cursor c(pe.bytes, pe.Offset(rva));
    for (;;) {
        uint32_t lookup = c.U32();
        c.U32(); // time stamp
        c.U32(); // forwarder chain
        uint32_t name = c.U32();
        uint32_t addresses = c.U32();
        if (c.overrun)
            return "import directory runs past the end";
        if (name == 0)
            return "";
        PeImport import;
        import.dll = TextAt(pe, name);
        Cursor thunk(pe.bytes, pe.Offset(lookup ? lookup : addresses));
        for (uint32_t entry = thunk.U32(); entry != 0 && !thunk.overrun; entry = thunk.U32())
            import.functions.push_back(entry & 0x80000000u
                                           ? "#" + std::to_string(entry & 0xFFFF)
                                           : TextAt(pe, entry + 2));
        if (thunk.overrun)
            return import.dll + ": import list runs past the end";
        pe.imports.push_back(import);
    }
}

ResId EntryId(const PeImage &pe, size_t resourceBase, uint32_t nameField)
{
    ResId id;
    if (!(nameField & 0x80000000u)) {
        id.id = (uint16_t)nameField;
        return id;
    }
    Cursor c(pe.bytes, resourceBase + (nameField & 0x7FFFFFFFu));
    uint16_t length = c.U16();
    id.isName = true;
    for (uint16_t i = 0; i < length; ++i) {
        uint16_t ch = c.U16();
        id.name += ch < 0x100 ? (char)ch : '?';
    }
    return id;
}

// Entries of one directory level: (id, offset field).
std::vector<std::pair<ResId, uint32_t>> DirectoryEntries(const PeImage &pe, size_t base,
                                                         uint32_t offset)
{
    Cursor c(pe.bytes, base + offset + 12);
    unsigned count = c.U16();
    count += c.U16();
    std::vector<std::pair<ResId, uint32_t>> entries;
    for (unsigned i = 0; i < count && !c.overrun; ++i) {
        uint32_t name = c.U32();
        uint32_t target = c.U32();
        entries.push_back({EntryId(pe, base, name), target});
    }
    return entries;
}

} // namespace

std::string ReadPeImage(const std::string &path, PeImage &pe)
{
    if (!ReadBytes(path, pe.bytes))
        return path + ": cannot read";
    Cursor c(pe.bytes, 0x3C);
    uint32_t peOffset = c.U32();
    c.at = peOffset;
    if (c.U32() != 0x00004550)
        return path + ": no PE signature";
    pe.machine = c.U16();
    unsigned sectionCount = c.U16();
    c.at += 12;
    unsigned optionalSize = c.U16();
    pe.characteristics = c.U16();
    size_t optional = c.at;
    pe.magic = c.U16();
    c.at = optional + 28;
    pe.imageBase = c.U32();
    pe.sectionAlignment = c.U32();
    pe.fileAlignment = c.U32();
    pe.osMajor = c.U16();
    pe.osMinor = c.U16();
    c.at += 4; // image version
    pe.subsystemMajor = c.U16();
    pe.subsystemMinor = c.U16();
    pe.win32Version = c.U32();
    c.at = optional + 68;
    pe.subsystem = c.U16();
    c.at = optional + 92;
    unsigned directories = c.U32();
    for (unsigned i = 0; i < directories && i < PE_DIRECTORIES; ++i) {
        pe.directoryRva[i] = c.U32();
        pe.directorySize[i] = c.U32();
    }
    c.at = optional + optionalSize;
    for (unsigned i = 0; i < sectionCount; ++i) {
        PeSection s;
        for (int k = 0; k < 8; ++k) {
            char ch = (char)c.U8();
            if (ch)
                s.name += ch;
        }
        s.virtualSize = c.U32();
        s.rva = c.U32();
        s.rawSize = c.U32();
        s.rawOffset = c.U32();
        c.at += 16;
        pe.sections.push_back(s);
    }
    if (c.overrun || pe.magic != 0x10B)
        return path + ": truncated headers, or not a 32-bit image";
    std::string error = ReadImports(pe);
    return error.empty() ? "" : path + ": " + error;
}

std::string ReadPeResources(const std::string &path, std::vector<Resource> &out)
{
    PeImage pe;
    std::string error = ReadPeImage(path, pe);
    if (!error.empty())
        return error;
    if (pe.directoryRva[PE_DIR_RESOURCE] == 0)
        return path + ": no resource section";
    size_t base = pe.Offset(pe.directoryRva[PE_DIR_RESOURCE]);
    for (const auto &type : DirectoryEntries(pe, base, 0))
        for (const auto &name : DirectoryEntries(pe, base, type.second & 0x7FFFFFFFu))
            for (const auto &language : DirectoryEntries(pe, base, name.second & 0x7FFFFFFFu)) {
                Cursor data(pe.bytes, base + language.second);
                uint32_t rva = data.U32();
                uint32_t size = data.U32();
                size_t at = pe.Offset(rva);
                if (data.overrun || at == 0 || at + size > pe.bytes.size())
                    return path + ": resource data outside the file";
                Resource r;
                r.type = type.first;
                r.name = name.first;
                r.language = language.first.id;
                r.data.assign(pe.bytes.begin() + (long)at, pe.bytes.begin() + (long)(at + size));
                out.push_back(r);
            }
    return "";
}
