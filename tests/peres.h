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

struct PeSection {
    std::string name;
    uint32_t rva = 0, virtualSize = 0, rawSize = 0, rawOffset = 0;
};

// Imported functions of one DLL, by name, or "#N" for an import by ordinal.
struct PeImport {
    std::string dll;
    std::vector<std::string> functions;
};

enum { PE_DIRECTORIES = 16, PE_DIR_IMPORT = 1, PE_DIR_RESOURCE = 2, PE_DIR_TLS = 9,
       PE_DIR_LOAD_CONFIG = 10, PE_DIR_BOUND_IMPORT = 11, PE_DIR_DELAY_IMPORT = 13,
       PE_DIR_CLR = 14 };

// The headers of a 32-bit PE image that a loader looks at, its sections and its imports.
struct PeImage {
    Bytes bytes;
    uint16_t machine = 0, characteristics = 0, magic = 0, subsystem = 0;
    uint16_t osMajor = 0, osMinor = 0, subsystemMajor = 0, subsystemMinor = 0;
    uint32_t imageBase = 0, sectionAlignment = 0, fileAlignment = 0, win32Version = 0;
    uint32_t directoryRva[PE_DIRECTORIES] = {}, directorySize[PE_DIRECTORIES] = {};
    std::vector<PeSection> sections;
    std::vector<PeImport> imports;

    // File offset of an RVA, or 0 when no section holds it.
    size_t Offset(uint32_t rva) const;
};

// The whole file; false where it cannot be read.
bool ReadBytes(const std::string &path, Bytes &bytes);

// These return an empty text on success, or what is wrong with the file.
std::string ReadResFile(const std::string &path, std::vector<Resource> &out);
std::string ReadPeImage(const std::string &path, PeImage &out);
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
