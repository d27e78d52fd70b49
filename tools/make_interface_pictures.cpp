// Draws the program's interface pictures and writes them as TGA files:
//   make_interface_pictures DATA_FOLDER
// writes DATA_FOLDER/loading.tga and DATA_FOLDER/gfx/*.tga. Some are stored
// uncompressed (type 2), some run-length encoded (type 10), so both readers
// are used on every start.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A picture with row 0 at the top.
struct Canvas {
    int w, h;
    std::vector<Rgba> px;
    Canvas(int width, int height, Rgba fill = {}) : w(width), h(height), px(size_t(width) * height, fill) {}
    void set(int x, int y, Rgba c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
    }
    void rect(int x0, int y0, int x1, int y1, Rgba c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) set(x, y, c);
    }
    void frame(int x0, int y0, int x1, int y1, int t, Rgba c) {
        rect(x0, y0, x1, y0 + t - 1, c);
        rect(x0, y1 - t + 1, x1, y1, c);
        rect(x0, y0, x0 + t - 1, y1, c);
        rect(x1 - t + 1, y0, x1, y1, c);
    }
    // Every pixel whose centre lies within `width` of the segment.
    void line(float ax, float ay, float bx, float by, float width, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float px_ = x + 0.5f, py = y + 0.5f, dx = bx - ax, dy = by - ay;
                float t = ((px_ - ax) * dx + (py - ay) * dy) / std::max(1e-6f, dx * dx + dy * dy);
                t = std::clamp(t, 0.0f, 1.0f);
                if (std::hypot(px_ - (ax + t * dx), py - (ay + t * dy)) <= width / 2) set(x, y, c);
            }
    }
    void disc(float cx, float cy, float r, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (std::hypot(x + 0.5f - cx, y + 0.5f - cy) <= r) set(x, y, c);
    }
    void ring(float cx, float cy, float r0, float r1, Rgba c) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
                if (d >= r0 && d <= r1) set(x, y, c);
            }
    }
};

Rgba grey(uint8_t v) { return {v, v, v, 255}; }

// Stores bottom row first (the usual TGA origin), blue-green-red(-alpha).
bool writeTga(const std::string& path, const Canvas& c, int bits, bool runLength) {
    const int bpp = bits / 8;
    std::vector<uint8_t> out = {0, 0, uint8_t(runLength ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                uint8_t(c.w & 255), uint8_t(c.w >> 8), uint8_t(c.h & 255), uint8_t(c.h >> 8),
                                uint8_t(bits), uint8_t(bits == 32 ? 8 : 0)};
    auto pixel = [&](int x, int y, uint8_t* p) {
        const Rgba& v = c.px[size_t(c.h - 1 - y) * c.w + x];
        p[0] = v.b;
        p[1] = v.g;
        p[2] = v.r;
        p[3] = v.a;
    };
    for (int y = 0; y < c.h; ++y) {
        if (!runLength) {
            for (int x = 0; x < c.w; ++x) {
                uint8_t p[4];
                pixel(x, y, p);
                out.insert(out.end(), p, p + bpp);
            }
            continue;
        }
        // Packets never cross a row.
        int x = 0;
        while (x < c.w) {
            uint8_t first[4], next[4];
            pixel(x, y, first);
            int run = 1;
            while (x + run < c.w && run < 128) {
                pixel(x + run, y, next);
                if (!std::equal(first, first + bpp, next)) break;
                ++run;
            }
            if (run >= 2) {
                out.push_back(uint8_t(127 + run));
                out.insert(out.end(), first, first + bpp);
                x += run;
                continue;
            }
            int raw = 1;
            while (x + raw < c.w && raw < 128) {
                uint8_t a[4], b[4];
                pixel(x + raw, y, a);
                if (x + raw + 1 < c.w) {
                    pixel(x + raw + 1, y, b);
                    if (std::equal(a, a + bpp, b)) break;
                }
                ++raw;
            }
            out.push_back(uint8_t(raw - 1));
            for (int i = 0; i < raw; ++i) {
                uint8_t p[4];
                pixel(x + i, y, p);
                out.insert(out.end(), p, p + bpp);
            }
            x += raw;
        }
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && ok;
}

// Blocky capitals for the loading picture, five rows of five columns each.
const char* glyph(char ch) {
    switch (ch) {
    case 'L': return "10000100001000010000" "11111";
    case 'O': return "01110100011000110001" "01110";
    case 'A': return "01110100011111110001" "10001";
    case 'D': return "11110100011000110001" "11110";
    case 'I': return "11111001000010000100" "11111";
    case 'N': return "10001110011010110011" "10001";
    case 'G': return "01111100001001110001" "01111";
    default: return "00000000000000000000" "00000";
    }
}

// White-on-black: the red channel becomes the picture's alpha when loaded.
Canvas loadingPicture() {
    Canvas c(256, 64, grey(0));
    const std::string word = "LOADING";
    const int cell = 5, advance = 6 * cell, x0 = (256 - int(word.size()) * advance + cell) / 2, y0 = 12;
    for (size_t i = 0; i < word.size(); ++i) {
        const char* g = glyph(word[i]);
        for (int r = 0; r < 5; ++r)
            for (int k = 0; k < 5; ++k)
                if (g[r * 5 + k] == '1')
                    c.rect(x0 + int(i) * advance + k * cell, y0 + r * cell, x0 + int(i) * advance + k * cell + cell - 1,
                           y0 + r * cell + cell - 1, grey(255));
    }
    // A progress bar outline under the word.
    c.frame(x0, 46, 256 - x0, 53, 2, grey(200));
    c.rect(x0 + 4, 49, 128, 50, grey(160));
    return c;
}

Canvas zoneRect() {
    Canvas c(64, 64, grey(0));
    c.frame(0, 0, 63, 63, 3, grey(255));
    c.frame(5, 5, 58, 58, 1, grey(96));
    return c;
}

Canvas zoneRectExit() {
    Canvas c = zoneRect();
    c.line(16, 32, 46, 32, 5, grey(255));
    c.line(34, 20, 47, 32, 5, grey(255));
    c.line(34, 44, 47, 32, 5, grey(255));
    return c;
}

Canvas zoneRectStop() {
    Canvas c = zoneRect();
    c.ring(32, 32, 13, 18, grey(255));
    c.line(21, 43, 43, 21, 5, grey(255));
    return c;
}

Canvas dot() {
    Canvas c(32, 32, grey(0));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const float d = std::hypot(x + 0.5f - 16, y + 0.5f - 16);
            const float v = std::clamp((13.0f - d) / 3.0f, 0.0f, 1.0f);
            c.set(x, y, grey(uint8_t(std::lround(v * 255))));
        }
    return c;
}

Canvas player() {
    Canvas c(64, 64, grey(0));
    c.ring(32, 32, 24, 28, grey(255));
    c.disc(32, 32, 9, grey(200));
    c.line(32, 6, 32, 20, 5, grey(255));  // facing up
    return c;
}

Canvas soundSprite() {
    Canvas c(64, 64, Rgba{0, 0, 0, 0});
    const Rgba body{230, 200, 60, 255}, wave{255, 255, 255, 200};
    c.rect(10, 24, 20, 40, body);
    for (int x = 20; x <= 32; ++x) c.rect(x, 24 - (x - 20), x, 40 + (x - 20), body);
    for (int i = 0; i < 3; ++i) {
        const float r0 = 16.0f + 8.0f * float(i), r1 = r0 + 3.0f;
        for (int y = 0; y < 64; ++y)
            for (int x = 36; x < 64; ++x) {
                const float d = std::hypot(x + 0.5f - 24, y + 0.5f - 32);
                if (d >= r0 && d <= r1 && std::fabs(float(y) + 0.5f - 32) < d * 0.7f) c.set(x, y, wave);
            }
    }
    return c;
}

// Pure blue marks the see-through inside; it turns into a faint white.
Canvas selectedTile(Rgba border, bool dashed) {
    Canvas c(64, 64, Rgba{0, 0, 255, 255});
    for (int i = 0; i < 64; ++i)
        for (int t = 0; t < 4; ++t) {
            if (dashed && (i / 8) % 2) continue;
            c.set(i, t, border);
            c.set(i, 63 - t, border);
            c.set(t, i, border);
            c.set(63 - t, i, border);
        }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string data = argv[1];
    std::filesystem::create_directories(data + "/gfx");
    struct Item {
        std::string file;
        Canvas picture;
        int bits;
        bool runLength;
    };
    const std::vector<Item> items = {
        {"loading.tga", loadingPicture(), 24, true},
        {"gfx/zone_rect.tga", zoneRect(), 24, false},
        {"gfx/zone_rect_exit.tga", zoneRectExit(), 24, true},
        {"gfx/dot.tga", dot(), 24, true},
        {"gfx/player.tga", player(), 24, false},
        {"gfx/soundsprite.tga", soundSprite(), 32, true},
        {"gfx/zone_rect_stop.tga", zoneRectStop(), 24, false},
        {"gfx/selected_tile.tga", selectedTile(Rgba{255, 220, 40, 255}, false), 24, false},
        {"gfx/selected_tile2.tga", selectedTile(Rgba{60, 230, 255, 255}, true), 24, true},
    };
    for (const Item& item : items) {
        if (!writeTga(data + "/" + item.file, item.picture, item.bits, item.runLength)) {
            std::fprintf(stderr, "cannot write %s/%s\n", data.c_str(), item.file.c_str());
            return 1;
        }
    }
    return 0;
}
