// Build-time tool: turns the icon's text pixel map into a 32 x 32, 16-colour .ico file.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const int SIZE = 32;
const char LETTERS[] = "KrgybmcDLRGYBMCW"; // palette order
const char TRANSPARENT = '.';
const uint8_t PALETTE[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
const int HEADER_BYTES = 40;
const int PIXEL_BYTES = SIZE * SIZE / 2;
const int MASK_BYTES = SIZE * SIZE / 8; // rows of 32 bits are already 4-byte aligned
const int IMAGE_BYTES = HEADER_BYTES + 16 * 4 + PIXEL_BYTES + MASK_BYTES;

void put16(std::vector<uint8_t> &out, unsigned v)
{
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

bool readMap(const char *path, std::vector<std::string> &rows)
{
    std::ifstream in(path);
    if (!in) {
        std::cerr << path << ": cannot open\n";
        return false;
    }
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#')
            continue;
        if ((int)line.size() != SIZE) {
            std::cerr << path << ":" << lineNo << ": a row must have " << SIZE << " pixels\n";
            return false;
        }
        for (char c : line)
            if (c != TRANSPARENT && !std::strchr(LETTERS, c)) {
                std::cerr << path << ":" << lineNo << ": unknown pixel letter '" << c << "'\n";
                return false;
            }
        rows.push_back(line);
    }
    if ((int)rows.size() != SIZE) {
        std::cerr << path << ": the map must have " << SIZE << " rows\n";
        return false;
    }
    return true;
}

std::vector<uint8_t> buildIcon(const std::vector<std::string> &rows)
{
    std::vector<uint8_t> out;
    // ICONDIR and its one entry
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    out.push_back(SIZE);
    out.push_back(SIZE);
    out.push_back(16);
    out.push_back(0);
    put16(out, 1);
    put16(out, 4);
    put32(out, IMAGE_BYTES);
    put32(out, 6 + 16);
    // BITMAPINFOHEADER: the height covers the colour image and the mask
    put32(out, HEADER_BYTES);
    put32(out, SIZE);
    put32(out, SIZE * 2);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, PIXEL_BYTES + MASK_BYTES);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (const auto &rgb : PALETTE) {
        out.push_back(rgb[2]);
        out.push_back(rgb[1]);
        out.push_back(rgb[0]);
        out.push_back(0);
    }
    // Bitmaps are stored bottom row first; transparent pixels are black under a set mask bit.
    for (int y = SIZE - 1; y >= 0; --y)
        for (int x = 0; x < SIZE; x += 2) {
            uint8_t pair = 0;
            for (int half = 0; half < 2; ++half) {
                char c = rows[y][x + half];
                int index = c == TRANSPARENT ? 0 : (int)(std::strchr(LETTERS, c) - LETTERS);
                pair |= index << (half ? 0 : 4);
            }
            out.push_back(pair);
        }
    for (int y = SIZE - 1; y >= 0; --y)
        for (int x = 0; x < SIZE; x += 8) {
            uint8_t bits = 0;
            for (int i = 0; i < 8; ++i)
                if (rows[y][x + i] == TRANSPARENT)
                    bits |= 0x80 >> i;
            out.push_back(bits);
        }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::cerr << "usage: mkicon MAP.txt OUT.ico\n";
        return 2;
    }
    std::vector<std::string> rows;
    if (!readMap(argv[1], rows))
        return 1;
    std::vector<uint8_t> icon = buildIcon(rows);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char *>(icon.data()), (std::streamsize)icon.size());
    if (!out) {
        std::cerr << argv[2] << ": cannot write\n";
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
