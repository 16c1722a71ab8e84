// Metafile playing at its worst: 4000 x 4000 pictures whose records ask for as much drawing of
// one kind as the file format allows. Each should end within about a second on the development
// machine, by drawing everything or by running out of its work budget; the figures show how
// evenly the budget's units match the time each kind of drawing takes.
//   build/x/bench/bench_metafile --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "image/ImageBuffer.h"

using namespace tavolin;

namespace {

constexpr int kSide = 4000;  // the largest metafile picture

void Le16(std::string& s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Le32(std::string& s, uint32_t v) {
    Le16(s, static_cast<int>(v & 0xFFFF));
    Le16(s, static_cast<int>(v >> 16));
}

/// Records of a placeable metafile of kSide x kSide units at 96 units per inch.
class Wmf {
public:
    Wmf& Raw(int function, const std::string& params) {
        Le32(m_records, static_cast<uint32_t>(3 + params.size() / 2));
        Le16(m_records, function);
        m_records += params;
        return *this;
    }
    Wmf& Add(int function, std::initializer_list<int> words) {
        std::string p;
        for (int w : words) Le16(p, w);
        return Raw(function, p);
    }
    Wmf& Pen(int width, int style = 0, uint32_t colour = 0x0000FF) {
        return Add(0x02FA, {style, width, 0, int(colour & 0xFFFF), int(colour >> 16)});
    }
    Wmf& Brush(int style, int hatch = 0, uint32_t colour = 0x00FF00) {
        return Add(0x02FC, {style, int(colour & 0xFFFF), int(colour >> 16), hatch});
    }
    Wmf& Select(int slot) { return Add(0x012D, {slot}); }
    Wmf& Rectangle(int l, int t, int r, int b) { return Add(0x041B, {b, r, t, l}); }
    Wmf& Poly(int function, const std::vector<std::pair<int, int>>& points) {
        std::string p;
        Le16(p, static_cast<int>(points.size()));
        for (auto [x, y] : points) {
            Le16(p, x);
            Le16(p, y);
        }
        return Raw(function, p);
    }

    std::string Build() const {
        std::string f;
        Le32(f, 0x9AC6CDD7);
        for (int v : {0, 0, 0, kSide, kSide, 96, 0, 0}) Le16(f, v);
        uint16_t checksum = 0;
        for (size_t i = 0; i < 20; i += 2) {
            checksum ^= static_cast<uint16_t>(static_cast<uint8_t>(f[i]) |
                                              (static_cast<uint8_t>(f[i + 1]) << 8));
        }
        Le16(f, checksum);
        const std::string records = m_records + std::string("\x03\0\0\0\0\0", 6);
        for (int v : {1, 9, 0x0300}) Le16(f, v);
        Le32(f, static_cast<uint32_t>(9 + records.size() / 2));
        for (int v : {8, 0, 0, 0}) Le16(f, v);
        return f + records;
    }

private:
    std::string m_records;
};

/// Polygons of points alternating between the top and the bottom edge, so that every row of
/// the picture crosses every edge: ten of them make a file of 1.3 MB.
Wmf Zigzags(int function, int count, int penWidth) {
    Wmf wmf;
    wmf.Pen(penWidth, penWidth > 0 ? 0 : 5).Brush(0).Select(0).Select(1);
    std::vector<std::pair<int, int>> points(32767);
    for (int k = 0; k < count; ++k) {
        for (int i = 0; i < 32767; ++i) {
            points[i] = {int(int64_t{i} * kSide / 32767) + k, i % 2 == 0 ? 0 : kSide - 1};
        }
        wmf.Poly(function, points);
    }
    return wmf;
}

// A 2 x 2 24-bit bitmap for blits and pattern brushes.
std::string TinyDib() {
    std::string d;
    for (uint32_t v : {40u, 2u, 2u}) Le32(d, v);
    Le16(d, 1);
    Le16(d, 24);
    d += std::string(24, '\0');
    d += std::string("\xFF\x00\x00\x00\xFF\x00\0\0\x00\x00\xFF\xFF\xFF\xFF\0\0", 16);
    return d;
}

std::string Words(std::initializer_list<int> words) {
    std::string s;
    for (int w : words) Le16(s, w);
    return s;
}

void Play(benchmark::State& state, const std::string& file) {
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    for (auto _ : state) {
        ImageBuffer image(kFormatWmf);
        if (!image.Decode(bytes, kFormatWmf)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.Block().data());
    }
    state.counters["file_kB"] = static_cast<double>(file.size()) / 1000;
}

void BM_ZigzagPolygons(benchmark::State& state) {
    Play(state, Zigzags(0x0324, 10, 0).Build());
}
void BM_ZigzagPolygonsWidePen(benchmark::State& state) {
    Play(state, Zigzags(0x0324, 10, 50).Build());
}
void BM_ZigzagPolylinesWidePen(benchmark::State& state) {
    Play(state, Zigzags(0x0325, 10, 50).Build());
}
void BM_HugePenPolyline(benchmark::State& state) {
    Wmf wmf;
    wmf.Pen(4000).Select(0);
    std::vector<std::pair<int, int>> points(32767);
    for (int i = 0; i < 32767; ++i) points[i] = {(i * 37) % kSide, (i * 91) % kSide};
    Play(state, wmf.Poly(0x0325, points).Build());
}

// Whole-picture fills, far more than the budget allows.
void Fills(benchmark::State& state, Wmf wmf) {
    for (int i = 0; i < 5000; ++i) wmf.Rectangle(0, 0, kSide + 1, kSide + 1);
    Play(state, wmf.Build());
}
void BM_SolidFills(benchmark::State& state) {
    Fills(state, Wmf().Pen(0, 5).Brush(0).Select(0).Select(1));
}
void BM_HatchedFills(benchmark::State& state) {
    Fills(state, Wmf().Pen(0, 5).Brush(2, 5).Select(0).Select(1));
}
void BM_PatternFills(benchmark::State& state) {
    Fills(state, Wmf().Pen(0, 5).Raw(0x0142, Words({5, 0}) + TinyDib()).Select(0).Select(1));
}
void BM_StretchedBitmaps(benchmark::State& state) {
    Wmf wmf;
    const std::string blit = Words({0x0020, 0x00CC, 0, 2, 2, 0, 0, kSide, kSide, 0, 0}) + TinyDib();
    for (int i = 0; i < 5000; ++i) wmf.Raw(0x0F43, blit);
    Play(state, wmf.Build());
}
void BM_MixingBitmaps(benchmark::State& state) {
    // PSDPxax: the pattern, source and destination all count for every pixel.
    Wmf wmf;
    wmf.Brush(2, 5).Select(0);
    const std::string blit = Words({0x074A, 0x00B8, 0, 2, 2, 0, 0, kSide, kSide, 0, 0}) + TinyDib();
    for (int i = 0; i < 5000; ++i) wmf.Raw(0x0F43, blit);
    Play(state, wmf.Build());
}
void BM_ThinLines(benchmark::State& state) {
    Wmf wmf;
    for (int i = 0; i < 200000; ++i) {
        wmf.Add(0x0214, {0, i % kSide}).Add(0x0213, {kSide - 1, (i * 7) % kSide});
    }
    Play(state, wmf.Build());
}
void BM_LinesOutside(benchmark::State& state) {
    Wmf wmf;
    std::vector<std::pair<int, int>> points(32767);
    for (int i = 0; i < 32767; ++i) points[i] = {-30000 + i % 2, 30000 - i % 2};
    for (int k = 0; k < 200; ++k) wmf.Poly(0x0325, points);
    Play(state, wmf.Build());
}
void BM_LargeEllipses(benchmark::State& state) {
    Wmf wmf;
    wmf.Pen(3).Brush(0).Select(0).Select(1);
    for (int i = 0; i < 200000; ++i) wmf.Add(0x0418, {32000, 32000, -32000, -32000});
    Play(state, wmf.Build());
}
void BM_SmallTriangles(benchmark::State& state) {
    Wmf wmf;
    wmf.Pen(0).Brush(0).Select(0).Select(1);
    for (int i = 0; i < 200000; ++i) {
        const int x = (i * 13) % kSide, y = (i * 29) % kSide;
        wmf.Poly(0x0324, {{x, y}, {x + 20, y}, {x, y + 20}});
    }
    Play(state, wmf.Build());
}
void BM_ObjectSlots(benchmark::State& state) {
    // Every slot taken, then brushes created and deleted over and over.
    Wmf wmf;
    for (int i = 0; i < 65535; ++i) wmf.Brush(0);
    for (int i = 0; i < 300000; ++i) wmf.Add(0x01F0, {i % 7}).Brush(0).Brush(0);
    Play(state, wmf.Build());
}

#define METAFILE_BENCH(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->Iterations(1)
METAFILE_BENCH(BM_ZigzagPolygons);
METAFILE_BENCH(BM_ZigzagPolygonsWidePen);
METAFILE_BENCH(BM_ZigzagPolylinesWidePen);
METAFILE_BENCH(BM_HugePenPolyline);
METAFILE_BENCH(BM_SolidFills);
METAFILE_BENCH(BM_HatchedFills);
METAFILE_BENCH(BM_PatternFills);
METAFILE_BENCH(BM_StretchedBitmaps);
METAFILE_BENCH(BM_MixingBitmaps);
METAFILE_BENCH(BM_ThinLines);
METAFILE_BENCH(BM_LinesOutside);
METAFILE_BENCH(BM_LargeEllipses);
METAFILE_BENCH(BM_SmallTriangles);
METAFILE_BENCH(BM_ObjectSlots);

}  // namespace
