// What the program's version record holds, for the checks that read it back: the host's
// reader of the resource, and the platform's version library under Wine.
#ifndef VERSION_RECORD_H
#define VERSION_RECORD_H

#include <stdint.h>

struct VersionString {
    const char *key, *value;
};

// StringFileInfo\040904b0, in the stored order.
const VersionString VERSION_STRINGS[12] = {
    {"Comments", ""},
    {"CompanyName", "The Tarvik 2 developers"},
    {"FileDescription", "Tarvik"},
    {"FileVersion", "2, 0, 2, 0"},
    {"InternalName", "Tarvik"},
    {"LegalCopyright", "Copyright (c) 2026 the Tarvik 2 developers"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "TRV.exe"},
    {"PrivateBuild", ""},
    {"ProductName", "Tarvik"},
    {"ProductVersion", "2, 0, 2, 0"},
    {"SpecialBuild", ""},
};

// VS_FIXEDFILEINFO, field by field: signature, structure version, file and product version
// (high and low pairs), flags mask, flags, OS, type, subtype, date (two halves).
const uint32_t VERSION_FIXED[13] = {0xFEEF04BD, 0x00010000, 0x00020000, 0x00020000,
                                    0x00020000, 0x00020000, 0x3F,       0,
                                    0x4,        0x1,        0,          0,
                                    0};

const uint16_t VERSION_LANGUAGE = 0x0409, VERSION_CODE_PAGE = 0x04B0;

#endif
