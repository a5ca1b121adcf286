// The main window's template, control by control, for the checks that read it back: the
// host's reader of the resource, and the window itself under Wine.
#ifndef MAIN_LAYOUT_H
#define MAIN_LAYOUT_H

#include <stdint.h>

const uint16_t BUTTON = 0x80, STATIC = 0x82, LISTBOX = 0x83; // predefined class ordinals

struct Control {
    uint16_t id;
    uint16_t classOrdinal;
    const char *text; // nullptr: the implementer's wording, checked for its line count
    uint32_t style;
    uint16_t x, y, cx, cy;
    int maxLines;
};

const uint16_t MAIN_CX = 208, MAIN_CY = 131; // dialog units

const Control MAIN_CONTROLS[] = {
    {121, BUTTON, "&Start/Stop", 0x50010001, 6, 114, 44, 12, 0},
    {122, BUTTON, "&Help...", 0x50010000, 99, 114, 32, 12, 0},
    {123, BUTTON, "&About...", 0x50010000, 136, 114, 32, 12, 0},
    {124, BUTTON, "E&xit", 0x50010000, 173, 114, 28, 12, 0},
    {134, STATIC, "Elapsed Time:", 0x50000000, 6, 31, 50, 10, 0},
    {135, STATIC, "", 0x50000000, 64, 31, 100, 11, 0},
    {136, BUTTON, "Sa&ve", 0x50010000, 54, 114, 30, 12, 0},
    {137, LISTBOX, "", 0x50A00000, 64, 51, 101, 47, 0},
    {138, STATIC, "Saved Times:", 0x50000000, 6, 51, 50, 12, 0},
    {139, STATIC, "Current Time:", 0x50000000, 6, 6, 50, 10, 0},
    {140, STATIC, "", 0x50000000, 64, 6, 100, 11, 0},
};

#endif
