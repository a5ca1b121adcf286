// A small reader of Win32 resources, from a .res file or from a PE image's resource section.
#ifndef PERES_H
#define PERES_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

// A resource type or name: a number, or a name as stored (UTF-16 reduced to 8 bits).
struct ResId {
    bool isName = false;
    uint16_t id = 0;
    std::string name;
    std::string Text() const { return isName ? "\"" + name + "\"" : std::to_string(id); }
    bool operator==(const ResId &o) const
    {
        return isName == o.isName && (isName ? name == o.name : id == o.id);
    }
};

struct Resource {
    ResId type, name;
    uint16_t language = 0;
    Bytes data;
};

// Both return an empty text on success, or what is wrong with the file.
std::string ReadResFile(const std::string &path, std::vector<Resource> &out);
std::string ReadPeResources(const std::string &path, std::vector<Resource> &out);

// Little-endian cursor over resource data.
struct Cursor {
    const Bytes &bytes;
    size_t at = 0;
    bool overrun = false;
    explicit Cursor(const Bytes &b, size_t start = 0) : bytes(b), at(start) {}
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    std::string Utf16z();       // NUL-terminated UTF-16, reduced to 8 bits
    ResId SzOrOrd();            // 0xFFFF and an ordinal, or a NUL-terminated UTF-16 name
    void Align(size_t boundary); // relative to the start of the data
};

#endif
