// Resampling. The fast mode picks, for every target pixel, the source pixel at
// (truncate(x * xScale), truncate(y * yScale)) with single-precision scale factors, which is
// what the wallpaper pipeline's pictures have always looked like. It computes the source
// column of every target column once, copies a target row whenever its source row repeats and
// copies palette indices rather than colours, so it runs at memory speed. The smoothing mode
// averages areas when shrinking and interpolates bilinearly when enlarging.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "image/ImageBuffer.h"

namespace tavolin {
namespace {

/// Source column (or row) for each target column with the historic float arithmetic.
std::vector<uint32_t> NearestTable(int source, int target) {
    const float scale = static_cast<float>(source) / static_cast<float>(target);
    std::vector<uint32_t> table(static_cast<size_t>(target));
    for (int i = 0; i < target; ++i) {
        const auto s = static_cast<int>(static_cast<float>(i) * scale);
        table[i] = static_cast<uint32_t>(std::clamp(s, 0, source - 1));
    }
    return table;
}

void GatherRow24(const uint8_t* src, size_t srcRowBytes, uint8_t* dst,
                 const std::vector<uint32_t>& byteOffsets) {
    const size_t n = byteOffsets.size();
    size_t x = 0;
    // Four-byte moves; the fourth byte is overwritten by the next pixel. The last pixel and
    // any whose four-byte read would leave the source row take the three-byte path.
    for (; x + 1 < n && byteOffsets[x] + 4 <= srcRowBytes; ++x) {
        std::memcpy(dst + 3 * x, src + byteOffsets[x], 4);
    }
    for (; x < n; ++x) std::memcpy(dst + 3 * x, src + byteOffsets[x], 3);
}

void GatherRow8(const uint8_t* src, uint8_t* dst, const std::vector<uint32_t>& cols) {
    const size_t n = cols.size();
    for (size_t x = 0; x < n; ++x) dst[x] = src[cols[x]];
}

void GatherRow4(const uint8_t* src, uint8_t* dst, const std::vector<uint32_t>& cols) {
    const size_t n = cols.size();
    auto nibble = [&](size_t x) {
        const uint32_t c = cols[x];
        return static_cast<uint8_t>((c & 1) ? (src[c >> 1] & 0x0F) : (src[c >> 1] >> 4));
    };
    size_t x = 0;
    for (; x + 1 < n; x += 2) dst[x >> 1] = static_cast<uint8_t>(nibble(x) << 4 | nibble(x + 1));
    if (x < n) dst[x >> 1] = static_cast<uint8_t>(nibble(x) << 4);
}

void GatherRow1(const uint8_t* src, uint8_t* dst, const std::vector<uint32_t>& cols) {
    const size_t n = cols.size();
    for (size_t x0 = 0; x0 < n; x0 += 8) {
        uint8_t byte = 0;
        const size_t end = std::min(n, x0 + 8);
        for (size_t x = x0; x < end; ++x) {
            const uint32_t c = cols[x];
            const uint8_t bit = (src[c >> 3] >> (7 - (c & 7))) & 1;
            byte = static_cast<uint8_t>(byte | bit << (7 - (x - x0)));
        }
        dst[x0 >> 3] = byte;
    }
}

/// The source samples contributing to one target sample, with weights that add up to 1.
struct Contributions {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<size_t> offset;  // into weights
    std::vector<float> weights;
};

/// Area coverage when shrinking, a tent between the two nearest centres when enlarging.
Contributions SmoothTable(int source, int target) {
    Contributions c;
    c.first.resize(target);
    c.count.resize(target);
    c.offset.resize(target);
    const double scale = static_cast<double>(source) / target;
    for (int i = 0; i < target; ++i) {
        c.offset[i] = c.weights.size();
        if (scale > 1.0) {
            const double begin = i * scale;
            const double end = std::min<double>((i + 1) * scale, source);
            const int lo = static_cast<int>(std::floor(begin));
            const int hi = std::min(source - 1, static_cast<int>(std::ceil(end)) - 1);
            c.first[i] = lo;
            c.count[i] = hi - lo + 1;
            for (int s = lo; s <= hi; ++s) {
                const double cover = std::min<double>(s + 1, end) - std::max<double>(s, begin);
                c.weights.push_back(static_cast<float>(std::max(0.0, cover) / (end - begin)));
            }
        } else {
            const double centre = (i + 0.5) * scale - 0.5;
            int lo = static_cast<int>(std::floor(centre));
            double f = centre - lo;
            if (lo < 0) {
                lo = 0;
                f = 0;
            }
            if (lo >= source - 1) {
                lo = source - 1;
                f = 0;
            }
            c.first[i] = lo;
            c.count[i] = f > 0 ? 2 : 1;
            c.weights.push_back(static_cast<float>(1.0 - f));
            if (f > 0) c.weights.push_back(static_cast<float>(f));
        }
    }
    return c;
}

/// The smoothing resampler: a horizontal pass per source row (cached, since neighbouring
/// target rows share source rows), then a vertical blend per target row. With an alpha plane,
/// colours are weighted by alpha so that transparent pixels lend no colour. The target is a
/// 24-bit picture of the new size; false when the cancel flag stops it.
bool SmoothInto(ImageBuffer& source, ImageBuffer& target) {
    const int srcW = source.Width();
    const int width = target.Width();
    const int height = target.Height();
    const Contributions cx = SmoothTable(srcW, width);
    const Contributions cy = SmoothTable(source.Height(), height);
    const bool alpha = source.HasAlpha();
    const size_t channels = alpha ? 4 : 3;
    const size_t lineSize = static_cast<size_t>(width) * channels;
    std::vector<float> line(static_cast<size_t>(srcW) * channels);
    constexpr int kSlots = 4;
    std::vector<float> cache(kSlots * lineSize);
    int cachedRow[kSlots] = {-1, -1, -1, -1};
    std::vector<float> sum(lineSize);

    auto filtered = [&](int sy) -> const float* {
        float* slot = &cache[static_cast<size_t>(sy % kSlots) * lineSize];
        if (cachedRow[sy % kSlots] == sy) return slot;
        cachedRow[sy % kSlots] = sy;
        const uint8_t* row = source.Row(sy);
        const uint8_t* a = alpha ? source.AlphaRow(sy) : nullptr;
        for (int x = 0; x < srcW; ++x) {
            const RgbQuad c = source.BitsPerPixel() == 24
                                  ? RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0}
                                  : source.Palette()[source.GetPixelIndex(x, sy)];
            const float weight = a ? a[x] / 255.0f : 1.0f;
            float* p = &line[static_cast<size_t>(x) * channels];
            p[0] = c.blue * weight;
            p[1] = c.green * weight;
            p[2] = c.red * weight;
            if (a) p[3] = weight;
        }
        for (int x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < cx.count[x]; ++k) {
                const float w = cx.weights[cx.offset[x] + k];
                const float* p = &line[static_cast<size_t>(cx.first[x] + k) * channels];
                for (size_t ch = 0; ch < channels; ++ch) acc[ch] += w * p[ch];
            }
            std::copy(acc, acc + channels, slot + static_cast<size_t>(x) * channels);
        }
        return slot;
    };

    for (int y = 0; y < height; ++y) {
        source.SetProgress(static_cast<int>(100LL * y / height));
        if (source.Cancelled()) return false;
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int k = 0; k < cy.count[y]; ++k) {
            const float w = cy.weights[cy.offset[y] + k];
            const float* f = filtered(cy.first[y] + k);
            for (size_t i = 0; i < lineSize; ++i) sum[i] += w * f[i];
        }
        uint8_t* dst = target.Row(y);
        uint8_t* dstAlpha = alpha ? target.AlphaRow(y) : nullptr;
        for (int x = 0; x < width; ++x) {
            float* p = &sum[static_cast<size_t>(x) * channels];
            if (dstAlpha) {
                const float a = p[3];
                for (int ch = 0; ch < 3; ++ch) p[ch] = a > 0 ? p[ch] / a : 0;
                dstAlpha[x] = static_cast<uint8_t>(std::clamp(a * 255.0f + 0.5f, 0.0f, 255.0f));
            }
            for (int ch = 0; ch < 3; ++ch) {
                dst[3 * x + ch] = static_cast<uint8_t>(std::clamp(p[ch] + 0.5f, 0.0f, 255.0f));
            }
        }
    }
    return true;
}

}  // namespace

bool ImageBuffer::Resample(int width, int height, bool fast) {
    if (width <= 0 || height <= 0) {
        SetLastError("Invalid size");
        return false;
    }
    if (m_block.empty()) {
        SetLastError("Image is empty");
        return false;
    }
    if (width == m_width && height == m_height) return true;

    const bool smooth = !fast;
    ImageBuffer target(m_format);
    target.m_dpiX = m_dpiX;
    target.m_dpiY = m_dpiY;
    // Mixing colours needs real colours, so a smoothed palette picture becomes 24-bit.
    const int depth = smooth ? 24 : m_bpp;
    try {
        if (!target.Create(static_cast<uint32_t>(width), static_cast<uint32_t>(height), depth,
                           m_format)) {
            SetLastError(target.LastError());
            return false;
        }
        if (!smooth) {
            std::memcpy(target.Palette(), Palette(), 4u * static_cast<size_t>(m_paletteEntries));
            target.m_transparentIndex = m_transparentIndex;
        }
        if (HasAlpha()) target.AllocateAlpha();

        if (!smooth) {
            const std::vector<uint32_t> rows = NearestTable(m_height, height);
            std::vector<uint32_t> cols = NearestTable(m_width, width);
            const std::vector<uint32_t> alphaCols = HasAlpha() ? cols : std::vector<uint32_t>{};
            if (m_bpp == 24) {
                for (auto& c : cols) c *= 3;
            }
            const size_t rowBytes = (static_cast<size_t>(width) * m_bpp + 7) / 8;
            int previous = -1;
            for (int y = 0; y < height; ++y) {
                m_progress = static_cast<int>(100LL * y / height);
                if (m_cancel) {
                    SetLastError("Cancelled");
                    return false;
                }
                const int sy = static_cast<int>(rows[y]);
                uint8_t* dst = target.Row(y);
                if (sy == previous) {
                    std::memcpy(dst, target.Row(y - 1), rowBytes);
                    if (HasAlpha()) std::memcpy(target.AlphaRow(y), target.AlphaRow(y - 1), width);
                    continue;
                }
                previous = sy;
                const uint8_t* src = Row(sy);
                switch (m_bpp) {
                    case 24:
                        GatherRow24(src, m_stride, dst, cols);
                        break;
                    case 8:
                        GatherRow8(src, dst, cols);
                        break;
                    case 4:
                        GatherRow4(src, dst, cols);
                        break;
                    default:
                        GatherRow1(src, dst, cols);
                        break;
                }
                if (HasAlpha()) GatherRow8(AlphaRow(sy), target.AlphaRow(y), alphaCols);
            }
        } else {
            if (!SmoothInto(*this, target)) {
                SetLastError("Cancelled");
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        SetLastError("Can't allocate memory");
        return false;
    }

    // The new picture replaces the old; the error text, progress and cancel flag stay ours.
    target.m_lastError = std::move(m_lastError);
    target.m_cancel = m_cancel;
    target.m_progress = 100;
    *this = std::move(target);
    return true;
}

}  // namespace tavolin
