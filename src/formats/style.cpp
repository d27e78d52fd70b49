#include "formats/style.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/runtime.h"
#include "base/text.h"
#include "formats/chunk_file.h"
#include "formats/file_reader.h"
#include "maplist/map_list.h"

namespace vant {

namespace {

constexpr size_t VirtualPalettes = 16384;
constexpr int PhysicalPalettes = 320;
constexpr size_t PpalEntries = 81920;  // 5 pages of 64 palettes x 256 colours
constexpr size_t PageBytes = 65536;
constexpr size_t SpritePages = 64;
constexpr uint32_t WaterSignaturePage = 38;
constexpr uint16_t NoGroup = 0xFFFF;

// Palette tables alive for one loadStyle, filled by readPalettes.
struct Palettes {
    UnzeroedVector<uint16_t> virtualTable;  // VirtualPalettes entries
    // Raw "PPAL" store as red, green, blue, 0 (little-endian uint32).
    UnzeroedVector<uint32_t> physicalRaw;  // PpalEntries entries
    uint16_t paletteBase = 0;

    // Colour c of physical palette p; a palette number past the store reads
    // as black rather than outside it.
    uint32_t colour(uint32_t p, uint32_t c) const {
        if (p >= static_cast<uint32_t>(PhysicalPalettes)) return 0;
        return physicalRaw[(p / 64) * 16384 + c * 64 + (p % 64)];
    }
    uint32_t physicalOf(size_t virtualPalette) const {
        return virtualPalette < virtualTable.size() ? virtualTable[virtualPalette] : PhysicalPalettes;
    }
};

inline uint32_t packRgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16) | (uint32_t(a) << 24);
}

// Both tables are read straight into place (the files' byte order is the
// machine's), what the file does not hold reading as zero.
void readPalettes(ChunkReader& file, const ChunkDirectory& dir, Level& level, Palettes& pal) {
    pal.virtualTable.resize(VirtualPalettes);
    size_t entries = 0;
    const ChunkEntry palx = dir.find("PALX");
    if (palx.offset != 0) {
        const size_t wanted = std::min<size_t>((size_t(palx.size) + 1) / 2, VirtualPalettes);
        auto* bytes = reinterpret_cast<uint8_t*>(pal.virtualTable.data());
        entries = file.readInto(palx.offset, bytes, wanted * 2) / 2;
        level.checksum.feed(bytes, entries * 2);
    }
    std::fill(pal.virtualTable.begin() + long(entries), pal.virtualTable.end(), uint16_t(0));

    pal.physicalRaw.resize(PpalEntries);
    entries = 0;
    const ChunkEntry ppal = dir.find("PPAL");
    if (ppal.offset != 0) {
        const size_t wanted = std::min<size_t>((size_t(ppal.size) + 3) / 4, PpalEntries);
        auto* bytes = reinterpret_cast<uint8_t*>(pal.physicalRaw.data());
        entries = file.readInto(ppal.offset, bytes, wanted * 4) / 4;
        if (level.checksum.enabled()) {
            FileBytes fed(entries * 3);
            for (size_t i = 0; i < entries; ++i) std::memcpy(&fed[3 * i], &bytes[4 * i], 3);
            level.checksum.feed(fed.data(), fed.size());
        }
        // Blue, green, red, padding to red, green, blue, 0.
        for (size_t i = 0; i < entries; ++i) {
            const uint32_t c = pal.physicalRaw[i];
            pal.physicalRaw[i] = ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
        }
    }
    std::fill(pal.physicalRaw.begin() + long(entries), pal.physicalRaw.end(), 0u);

    pal.paletteBase = 0;
    const ChunkEntry palb = dir.find("PALB");
    if (palb.offset != 0) {
        const FileBytes bytes = file.read(palb.offset, 16);
        if (bytes.size() >= 2) pal.paletteBase = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    }
}

// Sprites: decoded only by the windowed load.
void readSprites(Runtime& rt, ChunkReader& file, const ChunkDirectory& dir, Level& level, const Palettes& pal) {
    level.sprites.clear();
    level.spriteAtlas.clear();
    const ChunkEntry sprg = dir.find("SPRG");
    if (sprg.offset == 0) return;
    // A sprite on the atlas's last page reaches at most one page further;
    // graphics past that never show.
    const FileBytes graphics = file.read(sprg.offset, std::min<uint64_t>(sprg.size, (SpritePages + 1) * PageBytes));
    assignZeros(level.spriteAtlas, AtlasBytes);

    struct Entry {
        uint32_t ptr;
        uint8_t w, h;
    };
    std::vector<Entry> list;
    const ChunkEntry sprx = dir.find("SPRX");
    if (sprx.offset != 0) {
        // Read a piece at a time; a list longer than the virtual palettes
        // that colour its sprites is junk and stops there.
        ChunkCursor entries(file, sprx.offset, (uint64_t(sprx.size) + 7) / 8 * 8);
        for (const uint8_t* e; list.size() < VirtualPalettes && (e = entries.take(8)) != nullptr;) {
            const uint32_t ptr = uint32_t(e[0]) | (uint32_t(e[1]) << 8) | (uint32_t(e[2]) << 16) | (uint32_t(e[3]) << 24);
            if (ptr < sprg.size) list.push_back({ptr, e[4], e[5]});
        }
    }
    if (sprx.offset == 0 || !dir.has("PALB") || !dir.has("PPAL")) return;

    rt.addProgressLine("Loading sprites...");
    level.sprites.assign(list.size(), SpritePlacement{});
    for (size_t n = list.size(); n-- > 0;) {
        const Entry& e = list[n];
        const uint32_t page = e.ptr / 65536;
        SpritePlacement& p = level.sprites[n];
        p.x = static_cast<uint16_t>(256 * (page % 8) + (e.ptr % 256));
        p.y = static_cast<uint16_t>(256 * (page / 8) + ((e.ptr / 256) % 256));
        p.w = e.w;
        p.h = e.h;
        // Sprites running off their page, or on pages past the atlas, are
        // clipped to what lies inside both the page data and the atlas.
        const uint32_t physical = pal.physicalOf(size_t(pal.paletteBase) + n);
        for (uint32_t j = 0; j < e.h; ++j) {
            for (uint32_t k = 0; k < e.w; ++k) {
                const uint64_t src = uint64_t(e.ptr) + 256u * j + k;
                const uint32_t ax = p.x + k, ay = p.y + j;
                if (src >= graphics.size() || ax >= uint32_t(AtlasSize) || ay >= uint32_t(AtlasSize)) continue;
                const uint8_t i = graphics[src];
                uint8_t* out = &level.spriteAtlas[(size_t(ay) * AtlasSize + ax) * 4];
                if (i == 0) {
                    std::memset(out, 0, 4);
                } else {
                    const uint32_t c = pal.colour(physical, i) | 0xFF000000u;
                    std::memcpy(out, &c, 4);
                }
            }
        }
    }
}

void readSurfaceGroups(ChunkReader& file, const ChunkDirectory& dir, Level& level) {
    const ChunkEntry groups = dir.find("SPEC");
    if (groups.offset == 0) return;
    level.surfaceGroup.fill(NoGroup);
    ChunkCursor entries(file, groups.offset, (uint64_t(groups.size) + 1) / 2 * 2);
    uint16_t group = 0;
    for (const uint8_t* e; (e = entries.take(2)) != nullptr;) {
        const uint16_t v = static_cast<uint16_t>(e[0] | (e[1] << 8));
        if (v == 0) ++group;
        else if (v < TileCount) level.surfaceGroup[v] = group;
    }
    if (level.styleIsBil) applyBilCorrections(level.surfaceGroup);
}

// Averages eight decoded rows of a page into one row of 32 pixels of the
// reduced atlas, each byte rounded half up: the same as reducing the whole
// atlas afterwards.
void reduceBand(const uint8_t* rows, size_t rowBytes, uint8_t* out) {
#ifdef __SSE2__
    // 64 bytes of at most 255 fit a 16-bit lane: widen, add, fold the two
    // pixels of each lane group at the end.
    const __m128i zero = _mm_setzero_si128();
    for (size_t u = 0; u < 32; ++u) {
        __m128i acc = zero;
        for (size_t j = 0; j < 8; ++j) {
            const uint8_t* p = rows + j * rowBytes + u * 32;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            acc = _mm_add_epi16(acc, _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpackhi_epi8(a, zero)));
            acc = _mm_add_epi16(acc, _mm_add_epi16(_mm_unpacklo_epi8(b, zero), _mm_unpackhi_epi8(b, zero)));
        }
        alignas(16) uint16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
        for (size_t c = 0; c < 4; ++c) out[u * 4 + c] = static_cast<uint8_t>((lanes[c] + lanes[c + 4] + 32u) >> 6);
    }
#else
    uint32_t sums[32 * 4] = {};
    for (size_t j = 0; j < 8; ++j) {
        const uint8_t* row = rows + j * rowBytes;
        for (size_t k = 0; k < 256 * 4; ++k) sums[(k / 32) * 4 + k % 4] += row[k];
    }
    for (size_t k = 0; k < 32 * 4; ++k) out[k] = static_cast<uint8_t>((sums[k] + 32) >> 6);
#endif
}

// A colour word (red, green, blue, alpha bytes) as four 16-bit lanes.
inline uint64_t channelLanes(uint64_t c) {
    return (c & 0xFF) | ((c & 0xFF00) << 8) | ((c & 0xFF0000) << 16) | ((c & 0xFF000000) << 24);
}

// The colours of physical palette p as channel lanes: colour 0 is clear, the
// others opaque.
void colourLanes(const Palettes& pal, uint32_t p, uint64_t* lanes) {
    lanes[0] = 0;
    if (p >= static_cast<uint32_t>(PhysicalPalettes)) {
        std::fill(lanes + 1, lanes + 256, channelLanes(0xFF000000u));
        return;
    }
    const uint32_t* column = &pal.physicalRaw[(p / 64) * 16384 + (p % 64)];
    for (size_t c = 1; c < 256; ++c) lanes[c] = channelLanes(column[c * 64] | 0xFF000000u);
}

// The same for eight rows of colour numbers, four tiles across, each tile's
// colours given as channel lanes (see readTiles). Two instructions a pixel
// (fetch the colour number, add its lanes); the rows are unrolled so nothing
// else runs per row, and the 32 sums are rounded to bytes four at a time.
// Against one loop per row and four shifts and masks per sum: 4 million
// instructions fewer in a job on the sample city.
void reduceIndexedBand(const uint8_t* rows, const uint64_t* const (&lanes)[4], uint8_t* out) {
    alignas(16) uint64_t sums[32];
    for (size_t q = 0; q < 4; ++q) {
        const uint64_t* colours = lanes[q];
        for (size_t u = 8 * q; u < 8 * q + 8; ++u) {
            const uint8_t* p = rows + u * 8;
            uint64_t sum = 0;
#pragma GCC unroll 8
            for (size_t j = 0; j < 8; ++j)
#pragma GCC unroll 8
                for (size_t k = 0; k < 8; ++k) sum += colours[p[j * 256 + k]];
#ifdef __GNUC__
            // Left to itself the compiler fetches two blocks' colours at
            // once into vector registers, at twice the instructions.
            asm("" : "+r"(sum));
#endif
            sums[u] = sum;
        }
    }
#ifdef __SSE2__
    // A lane holds at most 64 x 255, so adding 32 stays inside it and the
    // rounded byte fits without saturating.
    const __m128i half = _mm_set1_epi16(32);
    for (size_t u = 0; u < 32; u += 4) {
        const __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(&sums[u]));
        const __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(&sums[u + 2]));
        const __m128i bytes = _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(a, half), 6),
                                               _mm_srli_epi16(_mm_add_epi16(b, half), 6));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * u), bytes);
    }
#else
    for (size_t u = 0; u < 32; ++u)
        for (int c = 0; c < 4; ++c)
            out[4 * u + c] = static_cast<uint8_t>((((sums[u] >> (16 * c)) & 0xFFFF) + 32) >> 6);
#endif
}

bool waterSignatureMatches(ChunkReader& file, const ChunkEntry& tile) {
    static const uint8_t kSignature[12][4] = {
        {204, 201, 172, 172}, {172, 172, 172, 172}, {172, 172, 202, 204}, {223, 204, 223, 208},
        {204, 201, 204, 223}, {204, 201, 201, 208}, {223, 223, 208, 208}, {208, 211, 211, 185},
        {223, 208, 208, 211}, {204, 208, 213, 208}, {201, 202, 201, 208}, {204, 223, 223, 204},
    };
    // A chunk or file too short to hold the page cannot match. Only the
    // starts of three rows of it are looked at.
    const uint64_t start = uint64_t(tile.offset) + WaterSignaturePage * PageBytes;
    if (uint64_t(tile.size) < uint64_t(WaterSignaturePage + 1) * PageBytes || file.length() < start + PageBytes)
        return false;
    for (int row = 0; row < 3; ++row) {
        uint8_t bytes[3 * 64 + 4];
        if (file.readInto(start + uint64_t(row) * 16384, bytes, sizeof bytes) < sizeof bytes) return false;
        for (int s = 0; s < 4; ++s)
            if (std::memcmp(&bytes[64 * s], kSignature[4 * row + s], 4) != 0) return false;
    }
    return true;
}

void readTiles(Runtime& rt, ChunkReader& file, const ChunkDirectory& dir, Level& level, const Palettes& pal) {
    const ChunkEntry tile = dir.find("TILE");
    if (tile.offset == 0) return;
    rt.addProgressLine("Generating tilemaps...");

    if (rt.waterTintMode <= 0) level.waterTint = false;
    else if (rt.waterTintMode >= 2) level.waterTint = true;
    else level.waterTint = waterSignatureMatches(file, tile);

    const bool keepAtlas = level.tileAtlas.size() >= AtlasBytes;
    // Pages past the 64 the atlas holds are not read.
    const uint64_t pages = std::min<uint64_t>((uint64_t(tile.size) + PageBytes - 1) / PageBytes, TilePages);
    FileBytes page(PageBytes);
    size_t pageWritten = 0;  // a short read leaves the rest as it was, zero at first
    // Eight decoded rows at a time: their checksum bytes (alpha, blue, green,
    // red per pixel) and, without a full atlas, their colours, so the work
    // stays in the first-level cache.
    const bool feeding = level.checksum.enabled();
    std::vector<uint32_t> fed(feeding ? 8 * 256 : 0);
    // With neither the atlas nor the checksum wanted (the headless job), no
    // pixel is needed on its own: each 8 x 8 block's channel sums are taken
    // straight from the colour words, spread to one 16-bit lane per channel
    // (64 bytes of at most 255 fit): 16 million instructions fewer, a sixth
    // of a 256 job.
    const bool sumsOnly = !keepAtlas && !feeding;
    std::vector<uint32_t> band(keepAtlas || sumsOnly ? 0 : 8 * 256);
    uint32_t lut[4][256];
    // Each tile's colours as lanes: its physical palette's, made once per
    // palette as tiles share them, or its own when tinted.
    const uint64_t* lanes[4] = {};
    uint64_t tinted[4][256];
    UnzeroedVector<uint64_t> paletteLanes(sumsOnly ? size_t(PhysicalPalettes + 1) * 256 : 0);
    std::vector<bool> paletteDone(sumsOnly ? size_t(PhysicalPalettes + 1) : 0);

    for (uint32_t p = 0; p < pages; ++p) {
        pageWritten = std::max(pageWritten, file.readInto(uint64_t(tile.offset) + uint64_t(p) * PageBytes, page.data(), PageBytes));
        if (pageWritten < PageBytes) {
            std::memset(page.data() + pageWritten, 0, PageBytes - pageWritten);
            pageWritten = PageBytes;
        }
        const size_t atlasX = 256 * (p % 8), atlasY = 256 * (p / 8);
        for (int ty = 0; ty < 4; ++ty) {
            for (int tx = 0; tx < 4; ++tx) {
                const int t = int(16 * p) + 4 * ty + tx;
                const uint32_t physical = pal.physicalOf(size_t(t));
                const bool tint = level.waterTint && level.surfaceGroup[size_t(t)] == 2;
                if (sumsOnly && !tint) {
                    const size_t at = std::min<uint32_t>(physical, PhysicalPalettes);  // past the store: all black
                    if (!paletteDone[at]) colourLanes(pal, uint32_t(at), &paletteLanes[at * 256]);
                    paletteDone[at] = true;
                    lanes[tx] = &paletteLanes[at * 256];
                    continue;
                }
                uint32_t* l = lut[tx];
                for (uint32_t i = 0; i < 256; ++i) {
                    uint32_t c = i == 0 ? 0u : (pal.colour(physical, i) | 0xFF000000u);
                    if (tint) {
                        const uint8_t r = tintByte(uint8_t(c), 0.67f);
                        const uint8_t g = tintByte(uint8_t(c >> 8), 0.84f);
                        const uint8_t b = tintByte(uint8_t(c >> 16), 1.13f);
                        c = packRgba(r, g, b, uint8_t(c >> 24));
                    }
                    l[i] = c;
                    if (sumsOnly) tinted[tx][i] = channelLanes(c);
                }
                lanes[tx] = tinted[tx];
            }
            if (sumsOnly) {
                for (int y = 64 * ty; y < 64 * ty + 64; y += 8) {
                    const size_t v = atlasY / 8 + size_t(y / 8);
                    reduceIndexedBand(&page[size_t(y) * 256], lanes, &level.reducedAtlas[(v * 256 + atlasX / 8) * 4]);
                }
                continue;
            }
            for (int y = 64 * ty; y < 64 * ty + 64; ++y) {
                const uint8_t* row = &page[size_t(y) * 256];
                uint32_t* fedRow = feeding ? &fed[size_t(y % 8) * 256] : nullptr;
                uint8_t* out = keepAtlas ? &level.tileAtlas[((atlasY + size_t(y)) * AtlasSize + atlasX) * 4]
                                         : reinterpret_cast<uint8_t*>(&band[size_t(y % 8) * 256]);
                for (int q = 0; q < 4; ++q) {
                    // One tile's row at a time, with that tile's colours.
                    const uint32_t* colours = lut[q];
                    for (int x = 64 * q; x < 64 * q + 64; ++x) std::memcpy(out + 4 * x, &colours[row[x]], 4);
                }
                if (feeding) {
                    for (int x = 0; x < 256; ++x) {
                        uint32_t c;
                        std::memcpy(&c, out + 4 * x, 4);
                        fedRow[x] = __builtin_bswap32(c);
                    }
                }
                if (y % 8 != 7) continue;
                if (feeding) level.checksum.feed(fed.data(), fed.size() * 4);
                const size_t v = atlasY / 8 + size_t(y / 8);
                if (keepAtlas)
                    reduceBand(&level.tileAtlas[((atlasY + size_t(y) - 7) * AtlasSize + atlasX) * 4], AtlasSize * 4,
                               &level.reducedAtlas[(v * 256 + atlasX / 8) * 4]);
                else
                    reduceBand(reinterpret_cast<const uint8_t*>(band.data()), 256 * 4,
                               &level.reducedAtlas[(v * 256 + atlasX / 8) * 4]);
            }
        }
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                level.tileOrigin[16 * p + 4 * j + k] = TileOrigin{float(atlasX + 64 * k), float(atlasY + 64 * j)};
    }
}

}  // namespace

uint8_t tintByte(uint8_t value, float factor) {
    const double v = static_cast<double>(value) * static_cast<double>(factor) + 0.5;
    const int t = static_cast<int>(v);
    return static_cast<uint8_t>(t > 255 ? 255 : t);
}

void applyBilCorrections(std::array<uint16_t, TileCount>& groups) {
    struct Range {
        uint16_t first, last, group;
    };
    static const Range kRanges[] = {
        {274, 274, 0}, {282, 283, 0}, {285, 285, 0}, {525, 525, 0}, {531, 531, 0}, {533, 536, 0},
        {538, 539, 0}, {541, 541, 0}, {606, 606, 0}, {854, 854, 0}, {945, 945, 0},
        {77, 77, 1}, {80, 83, 1}, {85, 85, 1}, {87, 87, 1}, {256, 273, 1}, {275, 281, 1}, {284, 284, 1},
        {286, 287, 1}, {423, 423, 1}, {512, 524, 1}, {526, 530, 1}, {532, 532, 1}, {537, 537, 1},
        {540, 540, 1}, {542, 543, 1}, {672, 673, 1}, {675, 678, 1}, {682, 682, 1}, {684, 684, 1},
        {688, 689, 1}, {736, 767, 1}, {770, 771, 1}, {775, 775, 1}, {778, 779, 1},
        {3, 3, 5}, {153, 153, 5}, {231, 231, 5}, {240, 241, 5}, {248, 248, 5}, {430, 430, 5},
        {435, 435, 5}, {440, 440, 5}, {443, 443, 5}, {465, 465, 5}, {695, 695, 5}, {699, 700, 5},
        {713, 713, 5},
        {470, 470, 6}, {479, 479, 6}, {565, 565, 6},
    };
    for (const Range& r : kRanges)
        for (int t = r.first; t <= r.last; ++t) groups[size_t(t)] = r.group;
}

bool loadStyle(Runtime& rt, Level& level, const MapList& maps, int mapIndex, std::string fileName,
               StyleUploader* uploader) {
    if (!rt.headless && !maps.valid(mapIndex)) {
        rt.showMessage(BoxOk, "ERROR", "Cannot load map");
        return false;
    }
    if (fileName.empty() && maps.valid(mapIndex)) fileName = maps.entries[size_t(mapIndex)].styfile;

    rt.addProgressLine("Loading %s file: %s", upperAscii(fileExtension(fileName, false)).c_str(), fileName.c_str());
    level.styleIsBil = lowerAscii(fileNameOf(fileName, true)) == "bil.sty";

    // A style that cannot be read leaves a transparent atlas behind, so the
    // minimap is still drawn from what was loaded.
    if (level.keepTileAtlas) assignZeros(level.tileAtlas, AtlasBytes);
    else level.releaseTileAtlas();
    level.reducedAtlas.assign(size_t(256) * 256 * 4, 0);
    Palettes pal;

    ChunkReader file(fileName);
    file.open();
    const ChunkDirectory dir = readChunkDirectory(rt, file);
    reportChunkFileStatus(rt, dir.status, fileName);
    if (dir.status != ChunkFileStatus::Ok) return false;
    reportCutChunks(rt, dir, file.length(), {"PALX", "PPAL", "TILE"});
    if (!dir.has("TILE")) rt.reportProblem(fileName, true, "no tiles: no TILE chunk");
    if (!dir.has("PALX") || !dir.has("PPAL")) rt.reportProblem(fileName, false, "no palettes: PALX or PPAL missing");

    readPalettes(file, dir, level, pal);
    if (!rt.headless) readSprites(rt, file, dir, level, pal);
    readSurfaceGroups(file, dir, level);
    readTiles(rt, file, dir, level, pal);
    file.close();

    if (!rt.headless && uploader) uploader->uploadStyle(rt, level);
    return true;
}

}  // namespace vant
