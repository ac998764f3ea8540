// Build-time host tool: turns the project's XPM pictures into the Windows icon and
// cursor files that windres puts into tolv.exe, so that the Windows program and the
// Linux program draw from the same sources.
//
//   xpm2ico icon   in.xpm out.ico   32 x 32, 16 colours (4 bits a pixel)
//   xpm2ico cursor in.xpm out.cur   two colours (1 bit a pixel), hotspot from the XPM
//
// Supports the XPM subset the project's pictures use: one character a pixel or more,
// colours as "c #RRGGBB" (or #RGB / #RRRRGGGGBBBB), "c None" for transparent, and a few
// colour names. Anything else is refused with a message, so a picture that would be
// drawn wrongly fails the build instead.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator<(const Rgb& o) const { return (r << 16 | g << 8 | b) < (o.r << 16 | o.g << 8 | o.b); }
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct Picture {
    int width = 0, height = 0, hotX = 0, hotY = 0;
    std::vector<int> pixels;  // palette index, -1 transparent
    std::vector<Rgb> palette;
};

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "xpm2ico: %s\n", message.c_str());
    std::exit(1);
}

std::vector<std::string> quotedStrings(const std::string& text)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 2, "/*") == 0) {
            const size_t end = text.find("*/", i + 2);
            i = end == std::string::npos ? text.size() : end + 2;
        } else if (text[i] == '"') {
            const size_t end = text.find('"', i + 1);
            if (end == std::string::npos) fail("unterminated string");
            out.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            ++i;
        }
    }
    return out;
}

bool parseColour(std::string value, Rgb& rgb)
{
    for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const std::map<std::string, Rgb> names = {
        {"black", {0, 0, 0}},  {"white", {255, 255, 255}}, {"red", {255, 0, 0}},     {"green", {0, 255, 0}},
        {"blue", {0, 0, 255}}, {"gray", {190, 190, 190}},  {"grey", {190, 190, 190}}};
    if (auto it = names.find(value); it != names.end()) {
        rgb = it->second;
        return true;
    }
    if (value.empty() || value[0] != '#') return false;
    const std::string hex = value.substr(1);
    if (hex.size() % 3 != 0 || hex.empty()) return false;
    const size_t n = hex.size() / 3;
    auto channel = [&](size_t k) {
        const unsigned long v = std::stoul(hex.substr(k * n, n), nullptr, 16);
        return static_cast<uint8_t>(n == 1 ? v * 17 : v >> (4 * (n - 2)));
    };
    rgb = {channel(0), channel(1), channel(2)};
    return true;
}

Picture readXpm(const std::string& path)
{
    std::ifstream in(path);
    if (!in) fail("cannot read " + path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const auto strings = quotedStrings(buffer.str());
    if (strings.empty()) fail(path + ": no XPM values");
    Picture p;
    int colours = 0, cpp = 0;
    std::istringstream header(strings[0]);
    header >> p.width >> p.height >> colours >> cpp;
    if (!(header >> p.hotX >> p.hotY)) p.hotX = p.hotY = 0;
    if (p.width <= 0 || p.height <= 0 || colours <= 0 || cpp <= 0) fail(path + ": bad XPM header");
    if (strings.size() < static_cast<size_t>(1 + colours + p.height)) fail(path + ": too few lines");
    std::map<std::string, int> keys;
    for (int i = 0; i < colours; ++i) {
        const std::string& line = strings[static_cast<size_t>(1 + i)];
        const std::string key = line.substr(0, static_cast<size_t>(cpp));
        std::istringstream rest(line.substr(static_cast<size_t>(cpp)));
        std::string kind, value;
        int index = -2;
        while (rest >> kind >> value) {
            if (kind != "c") continue;
            if (value == "None" || value == "none") {
                index = -1;
            } else {
                Rgb rgb;
                if (!parseColour(value, rgb)) fail(path + ": colour " + value + " is not supported");
                index = -1;
                for (size_t k = 0; k < p.palette.size(); ++k)
                    if (p.palette[k] == rgb) index = static_cast<int>(k);
                if (index < 0) {
                    p.palette.push_back(rgb);
                    index = static_cast<int>(p.palette.size() - 1);
                }
            }
        }
        if (index == -2) fail(path + ": colour line without a c value");
        keys[key] = index;
    }
    for (int y = 0; y < p.height; ++y) {
        const std::string& row = strings[static_cast<size_t>(1 + colours + y)];
        if (row.size() < static_cast<size_t>(p.width * cpp)) fail(path + ": short pixel row");
        for (int x = 0; x < p.width; ++x) {
            auto it = keys.find(row.substr(static_cast<size_t>(x * cpp), static_cast<size_t>(cpp)));
            if (it == keys.end()) fail(path + ": unknown pixel key");
            p.pixels.push_back(it->second);
        }
    }
    return p;
}

void put16(std::vector<uint8_t>& out, unsigned v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void put32(std::vector<uint8_t>& out, unsigned v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// One image as an icon-file DIB: header, palette, colour bits and the AND mask, both
// bottom-up with rows padded to four bytes.
std::vector<uint8_t> dib(const Picture& p, int bits)
{
    const int colours = 1 << bits;
    if (static_cast<int>(p.palette.size()) > colours)
        fail("the picture has " + std::to_string(p.palette.size()) + " colours, more than " + std::to_string(colours));
    std::vector<uint8_t> out;
    const int xorStride = ((p.width * bits + 31) / 32) * 4;
    const int andStride = ((p.width + 31) / 32) * 4;
    put32(out, 40);
    put32(out, static_cast<unsigned>(p.width));
    put32(out, static_cast<unsigned>(p.height * 2));
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0);
    put32(out, static_cast<unsigned>((xorStride + andStride) * p.height));
    put32(out, 0);
    put32(out, 0);
    put32(out, static_cast<unsigned>(colours));
    put32(out, 0);
    for (int i = 0; i < colours; ++i) {
        const Rgb c = i < static_cast<int>(p.palette.size()) ? p.palette[static_cast<size_t>(i)] : Rgb{};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = p.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(xorStride), 0);
        for (int x = 0; x < p.width; ++x) {
            const int index = std::max(0, p.pixels[static_cast<size_t>(y * p.width + x)]);
            const int bit = x * bits;
            row[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(index << (8 - bits - bit % 8));
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = p.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(andStride), 0);
        for (int x = 0; x < p.width; ++x)
            if (p.pixels[static_cast<size_t>(y * p.width + x)] < 0)
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) fail("usage: xpm2ico icon|cursor in.xpm out");
    const std::string kind = argv[1];
    const bool cursor = kind == "cursor";
    if (!cursor && kind != "icon") fail("the kind is icon or cursor");
    const Picture p = readXpm(argv[2]);
    if (p.width > 255 || p.height > 255) fail("the picture is too large for an icon file");
    const int bits = cursor ? 1 : 4;
    const std::vector<uint8_t> image = dib(p, bits);
    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, cursor ? 2 : 1);
    put16(file, 1);
    file.push_back(static_cast<uint8_t>(p.width));
    file.push_back(static_cast<uint8_t>(p.height));
    file.push_back(static_cast<uint8_t>(1 << bits));
    file.push_back(0);
    put16(file, cursor ? static_cast<unsigned>(p.hotX) : 1);
    put16(file, cursor ? static_cast<unsigned>(p.hotY) : static_cast<unsigned>(bits));
    put32(file, static_cast<unsigned>(image.size()));
    put32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) fail(std::string("cannot write ") + argv[3]);
    return 0;
}
