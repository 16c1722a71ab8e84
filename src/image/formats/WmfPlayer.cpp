#include "image/formats/WmfPlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <queue>
#include <vector>

#include "image/ByteReader.h"
#include "image/formats/Dib.h"
#include "image/formats/ScanlineFill.h"

namespace tavolin::codecs {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr size_t kMaxPointsPerRecord = size_t{1} << 20;
constexpr size_t kMaxPathPoints = size_t{1} << 20;
constexpr size_t kMaxSavedStates = 1024;
constexpr size_t kMaxObjects = 65536;

// Work units (see WorkBudget) of the drawing steps, measured against a solid fill's pixel.
constexpr uint64_t kRecordWork = 32;       // reading a record, copying state and objects
constexpr uint64_t kPointWork = 2;         // a point mapped to the device
constexpr uint64_t kCurvePointWork = 12;   // a point of an arc, with its sine and cosine
constexpr uint64_t kLineWork = 16;         // a thin line, clipped
constexpr uint64_t kLinePixelWork = 4;     // each of its pixels
constexpr uint64_t kLineRowWork = 96;      // each step to another row: memory not yet touched
constexpr uint64_t kBrushPixelWork = 3;    // a pixel of a hatch brush
constexpr uint64_t kPatternPixelWork = 6;  // a pixel of a bitmap brush
constexpr uint64_t kCopyPixelWork = 10;    // a pixel copied from a bitmap
constexpr uint64_t kMixPixelWork = 18;     // a pixel of any other raster operation
constexpr size_t kPenBatchEdges = 4096;    // edges of a wide pen's outline filled at once

// Map modes.
constexpr int kMmText = 1;
constexpr int kMmLoMetric = 2;
constexpr int kMmHiMetric = 3;
constexpr int kMmLoEnglish = 4;
constexpr int kMmHiEnglish = 5;
constexpr int kMmTwips = 6;
constexpr int kMmIsotropic = 7;
constexpr int kMmAnisotropic = 8;

// Pen and brush styles.
constexpr uint32_t kPsNull = 5;
constexpr uint32_t kPsGeometric = 0x00010000;
constexpr uint32_t kBsSolid = 0;
constexpr uint32_t kBsNull = 1;
constexpr uint32_t kBsHatched = 2;

// A few raster operations by name; the rest are evaluated from their truth table.
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kPatCopy = 0x00F00021;

/// 2 x 3 affine map in the Windows XFORM layout: x' = x m11 + y m21 + dx, y' = x m12 + y m22 + dy.
struct Xform {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    PointD Apply(double x, double y) const {
        return {x * m11 + y * m21 + dx, x * m12 + y * m22 + dy};
    }
    /// This map followed by next.
    Xform Then(const Xform& next) const {
        return {m11 * next.m11 + m12 * next.m21,         m11 * next.m12 + m12 * next.m22,
                m21 * next.m11 + m22 * next.m21,         m21 * next.m12 + m22 * next.m22,
                dx * next.m11 + dy * next.m21 + next.dx, dx * next.m12 + dy * next.m22 + next.dy};
    }
    bool AxisAligned() const { return m12 == 0 && m21 == 0; }
    /// Average length scale, for pen widths and curve detail.
    double Scale() const { return std::sqrt(std::fabs(m11 * m22 - m12 * m21)); }
    bool Finite() const {
        return std::isfinite(m11) && std::isfinite(m12) && std::isfinite(m21) &&
               std::isfinite(m22) && std::isfinite(dx) && std::isfinite(dy);
    }
};

Xform Scaling(double sx, double sy) {
    return {sx, 0, 0, sy, 0, 0};
}
Xform Translation(double x, double y) {
    return {1, 0, 0, 1, x, y};
}

RgbQuad FromColorRef(uint32_t c) {
    return {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
            0};
}

struct Pen {
    bool null = false;
    RgbQuad colour{0, 0, 0, 0};
    double width = 0;  // logical units; 0 draws one pixel
    bool cosmetic = true;
};

struct Brush {
    enum class Kind { Solid, Null, Hatched, Pattern } kind = Kind::Solid;
    RgbQuad colour{255, 255, 255, 0};
    int hatch = 0;
    std::optional<Dib> pattern;
};

struct GdiObject {
    enum class Type { None, Pen, Brush, Other } type = Type::None;
    Pen pen;
    Brush brush;
};

struct DcState {
    int mapMode = kMmText;
    PointD windowOrg{0, 0};
    PointD windowExt{1, 1};
    PointD viewportOrg{0, 0};
    PointD viewportExt{1, 1};
    Xform world;
    Pen pen;
    Brush brush;
    RgbQuad textColour{0, 0, 0, 0};
    RgbQuad backColour{255, 255, 255, 0};
    bool opaqueBackground = true;
    FillRule fillRule = FillRule::Alternate;
    PointD position{0, 0};  // current position, logical
    PixelRect clip;
    bool clockwiseArcs = false;
};

struct Figure {
    std::vector<PointD> points;  // device coordinates
    bool closed = false;
};

// Box-shaped records (rectangles, ellipses, arcs) in a space where the box is axis-aligned,
// with the map from that space to the device. Without rotation the space is the device itself
// and the box loses a pixel on its right and bottom, as the Windows graphics interface draws.
struct BoxSpace {
    double left, top, right, bottom;
    Xform toDevice;
    double unitX, unitY;  // logical length to box-space length
    bool deviceSpace;     // the box is in device coordinates
};

class Player {
public:
    explicit Player(ImageBuffer& image)
        : m_image(image),
          m_budget(kMetafileWorkPerPixel * static_cast<uint64_t>(image.Width()) *
                       static_cast<uint64_t>(image.Height()) +
                   kMetafileWorkAllowance),
          m_width(image.Width()),
          m_height(image.Height()) {
        m_dc.clip = {0, 0, m_width, m_height};
    }

    // Mapping set-up.
    //
    // Windows draws a placeable metafile by converting it to an enhanced metafile (the
    // conversion of old-style metafile bits, with a METAFILEPICT in MM_ANISOTROPIC covering the
    // bounding box) and playing that into the picture. Pictures made on Windows only look
    // there as they do here if the player keeps that conversion's device context: the viewport
    // starts as the picture in reference-device pixels, and the metafile's own viewport, map
    // mode and extent records then act as they do on any Windows device context.
    void SetWmfPlacement(const WmfPlacement& p) {
        const double w = std::max<double>(1, double(p.pixelsX));
        const double h = std::max<double>(1, double(p.pixelsY));
        m_devicePixels = {w, h};
        m_deviceMm = {w * 25.4 / 96, h * 25.4 / 96};
        m_out = Scaling(m_width / w, m_height / h);
        m_dc.mapMode = kMmAnisotropic;
        m_dc.windowOrg = {double(p.bounds.left), double(p.bounds.top)};
        m_dc.windowExt = {double(p.bounds.right) - p.bounds.left,
                          double(p.bounds.bottom) - p.bounds.top};
        m_dc.viewportExt = {w, h};
    }
    void SetEmfFrame(const EmfFrame& f) {
        // The reference device's size in pixels and millimetres; the screen's 96 dpi when the
        // header has none.
        const double pixelsPerMmX = (f.devicePixelsX > 0 && f.deviceMillimetresX > 0)
                                        ? double(f.devicePixelsX) / f.deviceMillimetresX
                                        : 96 / 25.4;
        const double pixelsPerMmY = (f.devicePixelsY > 0 && f.deviceMillimetresY > 0)
                                        ? double(f.devicePixelsY) / f.deviceMillimetresY
                                        : 96 / 25.4;
        m_devicePixels = {
            f.devicePixelsX > 0 && f.deviceMillimetresX > 0 ? f.devicePixelsX : double(m_width),
            f.devicePixelsY > 0 && f.deviceMillimetresY > 0 ? f.devicePixelsY : double(m_height)};
        m_deviceMm = {m_devicePixels.x / pixelsPerMmX, m_devicePixels.y / pixelsPerMmY};
        const double left = f.left / 100.0 * pixelsPerMmX;
        const double top = f.top / 100.0 * pixelsPerMmY;
        const double width = (double(f.right) - f.left) / 100.0 * pixelsPerMmX;
        const double height = (double(f.bottom) - f.top) / 100.0 * pixelsPerMmY;
        m_out = Translation(-left, -top).Then(Scaling(m_width / width, m_height / height));
        m_objects.resize(std::clamp<size_t>(f.handles, 1, kMaxObjects));
    }
    void SetWmfObjectCount(int count) {
        m_objects.resize(std::clamp<size_t>(static_cast<size_t>(count), 0, kMaxObjects));
        for (size_t i = 0; i < m_objects.size(); ++i) m_freeSlots.push(static_cast<uint32_t>(i));
    }

    bool Exhausted() const { return m_budget.Exhausted(); }
    bool Cancelled() const { return m_image.Cancelled(); }

    void PlayWmfRecord(uint16_t function, std::span<const uint8_t> params);
    /// False at the end-of-file record.
    bool PlayEmfRecord(uint32_t type, std::span<const uint8_t> record);

private:
    // ---- Mapping ----
    // The page maps the window onto the viewport (in reference-device pixels), m_out those
    // pixels onto the picture.
    Xform PageToDevice() const {
        const DcState& dc = m_dc;
        return Translation(-dc.windowOrg.x, -dc.windowOrg.y)
            .Then(Scaling(dc.viewportExt.x / dc.windowExt.x, dc.viewportExt.y / dc.windowExt.y))
            .Then(Translation(dc.viewportOrg.x, dc.viewportOrg.y))
            .Then(m_out);
    }
    // A map mode sets both extents: one to one in MM_TEXT, the device's size in the mode's
    // unit against its size in pixels (y upwards) in the metric modes and MM_ISOTROPIC;
    // MM_ANISOTROPIC keeps what is there.
    void SetMapMode(uint32_t mode) {
        if (mode < kMmText || mode > kMmAnisotropic) return;
        const int m = static_cast<int>(mode);
        if (m == m_dc.mapMode && (m == kMmIsotropic || m == kMmAnisotropic)) return;
        auto metric = [&](double unitsPerMm) {
            m_dc.windowExt = {m_deviceMm.x * unitsPerMm, m_deviceMm.y * unitsPerMm};
            m_dc.viewportExt = {m_devicePixels.x, -m_devicePixels.y};
        };
        switch (m) {
            case kMmText:
                m_dc.windowExt = {1, 1};
                m_dc.viewportExt = {1, 1};
                break;
            case kMmLoMetric:
            case kMmIsotropic:
                metric(10);
                break;
            case kMmHiMetric:
                metric(100);
                break;
            case kMmLoEnglish:
                metric(100 / 25.4);
                break;
            case kMmHiEnglish:
                metric(1000 / 25.4);
                break;
            case kMmTwips:
                metric(1440 / 25.4);
                break;
            default:
                break;
        }
        m_dc.mapMode = m;
    }
    bool ScalableExtents() const {
        return m_dc.mapMode == kMmIsotropic || m_dc.mapMode == kMmAnisotropic;
    }
    // Extents only count in the two scalable modes, and never as zero.
    void SetExtent(bool viewport, double x, double y) {
        if (!ScalableExtents() || x == 0 || y == 0 || !std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        (viewport ? m_dc.viewportExt : m_dc.windowExt) = {x, y};
        FixIsotropic();
    }
    void ScaleExtent(bool viewport, double xNum, double xDenom, double yNum, double yDenom) {
        if (!ScalableExtents() || xNum == 0 || xDenom == 0 || yNum == 0 || yDenom == 0) return;
        PointD& ext = viewport ? m_dc.viewportExt : m_dc.windowExt;
        const double x = std::trunc(ext.x * xNum / xDenom), y = std::trunc(ext.y * yNum / yDenom);
        if (!std::isfinite(x) || !std::isfinite(y)) return;
        ext = {x == 0 ? 1 : x, y == 0 ? 1 : y};
        FixIsotropic();
    }
    // MM_ISOTROPIC keeps one scale both ways by shrinking the viewport extent of the axis that
    // would come out larger (in millimetres of the device), rounded to whole pixels.
    void FixIsotropic() {
        if (m_dc.mapMode != kMmIsotropic) return;
        PointD& v = m_dc.viewportExt;
        const PointD& w = m_dc.windowExt;
        const double xDim = std::fabs(v.x * m_deviceMm.x / (m_devicePixels.x * w.x));
        const double yDim = std::fabs(v.y * m_deviceMm.y / (m_devicePixels.y * w.y));
        if (!std::isfinite(xDim) || !std::isfinite(yDim) || xDim == 0 || yDim == 0) return;
        auto shrink = [](double& e, double ratio) {
            const double sign = e >= 0 ? 1 : -1;
            e = std::floor(e * ratio + 0.5);
            if (e == 0) e = sign;
        };
        if (xDim > yDim) {
            shrink(v.x, yDim / xDim);
        } else {
            shrink(v.y, xDim / yDim);
        }
    }
    Xform LogicalToDevice() const { return m_dc.world.Then(PageToDevice()); }
    PointD ToDevice(PointD p) const { return LogicalToDevice().Apply(p.x, p.y); }
    // The points mapped to the device, charged first; empty when the budget is spent.
    std::vector<PointD> ToDevice(std::span<const PointD> logical, size_t reserve = 0) {
        std::vector<PointD> out;
        if (!m_budget.Spend(logical.size() * kPointWork)) return out;
        const Xform m = LogicalToDevice();
        out.reserve(logical.size() + reserve);
        for (const PointD& p : logical) out.push_back(m.Apply(p.x, p.y));
        return out;
    }

    BoxSpace MakeBox(double l, double t, double r, double b) const {
        const Xform m = LogicalToDevice();
        if (m.AxisAligned()) {
            const PointD a = m.Apply(l, t), c = m.Apply(r, b);
            double left = std::min(a.x, c.x), right = std::max(a.x, c.x);
            double top = std::min(a.y, c.y), bottom = std::max(a.y, c.y);
            right = std::max(left, right - 1);
            bottom = std::max(top, bottom - 1);
            return {left, top, right, bottom, Xform{}, std::fabs(m.m11), std::fabs(m.m22), true};
        }
        return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b), m, 1, 1, false};
    }
    PointD ToBox(const BoxSpace& box, PointD logical) const {
        return box.deviceSpace ? ToDevice(logical) : logical;
    }
    int CurveSegments(double radius, double sweep, double scale) const {
        const double length = std::fabs(sweep) * radius * scale;
        if (!std::isfinite(length)) return 8;
        return static_cast<int>(std::clamp(length / 3, 8.0, 720.0));
    }
    // Points along the ellipse in the box from angle start over sweep (radians, counter-
    // clockwise on the screen), mapped to the device; false when the budget is spent.
    bool AppendArc(const BoxSpace& box, double cx, double cy, double rx, double ry, double start,
                   double sweep, std::vector<PointD>& out) {
        const double scale = box.toDevice.Scale();
        const int n = CurveSegments(std::max(rx, ry), sweep, scale);
        if (!m_budget.Spend(static_cast<uint64_t>(n + 1) * kCurvePointWork)) return false;
        for (int i = 0; i <= n; ++i) {
            const double a = start + sweep * i / n;
            out.push_back(box.toDevice.Apply(cx + rx * std::cos(a), cy - ry * std::sin(a)));
        }
        return true;
    }

    // ---- Output ----
    void PutPixel(int x, int y, RgbQuad c) {
        if (x < m_dc.clip.left || x >= m_dc.clip.right || y < m_dc.clip.top ||
            y >= m_dc.clip.bottom) {
            return;
        }
        uint8_t* p = m_image.Row(m_height - 1 - y) + 3 * static_cast<size_t>(x);
        p[0] = c.blue;
        p[1] = c.green;
        p[2] = c.red;
    }
    RgbQuad GetPixel(int x, int y) const {
        const uint8_t* p = m_image.Row(m_height - 1 - y) + 3 * static_cast<size_t>(x);
        return {p[0], p[1], p[2], 0};
    }
    // The brush's colour at a device pixel; nullopt where a transparent hatch leaves it alone.
    std::optional<RgbQuad> BrushColour(const Brush& brush, int x, int y) const {
        switch (brush.kind) {
            case Brush::Kind::Solid:
                return brush.colour;
            case Brush::Kind::Null:
                return std::nullopt;
            case Brush::Kind::Hatched: {
                // The 8 x 8 tiles of the Windows hatch patterns, from the picture's corner:
                // the horizontal line in row 3, the vertical one in column 4.
                const int i = x & 7, j = y & 7;
                bool on = false;
                switch (brush.hatch) {
                    case 0:
                        on = j == 3;
                        break;  // horizontal
                    case 1:
                        on = i == 4;
                        break;  // vertical
                    case 2:
                        on = i == j;
                        break;  // forward diagonal
                    case 3:
                        on = i + j == 7;
                        break;  // backward diagonal
                    case 4:
                        on = i == 4 || j == 3;
                        break;  // cross
                    default:
                        on = i == j || i + j == 7;
                        break;  // diagonal cross
                }
                if (on) return brush.colour;
                if (m_dc.opaqueBackground) return m_dc.backColour;
                return std::nullopt;
            }
            case Brush::Kind::Pattern: {
                const Dib& d = *brush.pattern;
                const RgbQuad c = d.Pixel(x % d.Width(), y % d.Height());
                return RgbQuad{c.blue, c.green, c.red, 0};
            }
        }
        return std::nullopt;
    }
    static uint64_t PixelWork(const Brush& brush) {
        switch (brush.kind) {
            case Brush::Kind::Solid:
                return 1;
            case Brush::Kind::Pattern:
                return kPatternPixelWork;
            default:
                return kBrushPixelWork;
        }
    }
    void PaintSpan(const Brush& brush, int y, int x0, int x1) {
        uint8_t* row = m_image.Row(m_height - 1 - y);
        if (brush.kind == Brush::Kind::Solid) {
            for (int x = x0; x < x1; ++x) {
                uint8_t* p = row + 3 * static_cast<size_t>(x);
                p[0] = brush.colour.blue;
                p[1] = brush.colour.green;
                p[2] = brush.colour.red;
            }
            return;
        }
        for (int x = x0; x < x1; ++x) {
            if (const auto c = BrushColour(brush, x, y)) {
                uint8_t* p = row + 3 * static_cast<size_t>(x);
                p[0] = c->blue;
                p[1] = c->green;
                p[2] = c->red;
            }
        }
    }
    void FillWithBrush(std::span<const Contour> contours, const Brush& brush, FillRule rule) {
        if (brush.kind == Brush::Kind::Null) return;
        FillContours(contours, rule, m_dc.clip, m_budget, PixelWork(brush),
                     [&](int y, int x0, int x1) { PaintSpan(brush, y, x0, x1); });
    }

    // One-pixel line from a to b in device coordinates, the end point left out.
    void ThinLine(PointD a, PointD b, RgbQuad colour) {
        if (!m_budget.Spend(kLineWork)) return;
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) ||
            !std::isfinite(b.y)) {
            return;
        }
        // Clip to the picture (plus a pixel) first, so the loop below stays short.
        double t0 = 0, t1 = 1;
        const double dx = b.x - a.x, dy = b.y - a.y;
        if (!std::isfinite(dx) || !std::isfinite(dy)) return;
        const double bounds[4][2] = {{-dx, a.x - (m_dc.clip.left - 1)},
                                     {dx, (m_dc.clip.right + 1) - a.x},
                                     {-dy, a.y - (m_dc.clip.top - 1)},
                                     {dy, (m_dc.clip.bottom + 1) - a.y}};
        for (const auto& [p, q] : bounds) {
            if (p == 0) {
                if (q < 0) return;
                continue;
            }
            const double r = q / p;
            if (p < 0) {
                if (r > t1) return;
                t0 = std::max(t0, r);
            } else {
                if (r < t0) return;
                t1 = std::min(t1, r);
            }
        }
        const bool endClipped = t1 < 1;
        // Rounding on huge coordinates may land a little outside the clipped range.
        auto column = [&](double v) {
            return static_cast<int>(
                std::clamp(std::floor(v), m_dc.clip.left - 2.0, m_dc.clip.right + 2.0));
        };
        auto row = [&](double v) {
            return static_cast<int>(
                std::clamp(std::floor(v), m_dc.clip.top - 2.0, m_dc.clip.bottom + 2.0));
        };
        int x0 = column(a.x + t0 * dx);
        int y0 = row(a.y + t0 * dy);
        const int x1 = column(a.x + t1 * dx);
        const int y1 = row(a.y + t1 * dy);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        const int ax = std::abs(x1 - x0), ay = -std::abs(y1 - y0);
        if (!m_budget.Spend(static_cast<uint64_t>(ax - ay + 1) * kLinePixelWork +
                            static_cast<uint64_t>(-ay) * kLineRowWork)) {
            return;
        }
        int err = ax + ay;
        for (;;) {
            const bool last = x0 == x1 && y0 == y1;
            if (last && !endClipped) break;
            PutPixel(x0, y0, colour);
            if (last) break;
            const int e2 = 2 * err;
            if (e2 >= ay) {
                err += ay;
                x0 += sx;
            }
            if (e2 <= ax) {
                err += ax;
                y0 += sy;
            }
        }
    }
    void Stroke(const std::vector<PointD>& points, bool closed) {
        const Pen& pen = m_dc.pen;
        if (pen.null || points.empty()) return;
        const double width =
            pen.cosmetic ? 1 : std::max(1.0, pen.width * LogicalToDevice().Scale());
        const size_t segments = closed ? points.size() : points.size() - 1;
        if (points.size() == 1) {
            ThinLine(points[0], {points[0].x + 1, points[0].y}, pen.colour);
            return;
        }
        if (!(width > 1.5)) {
            // Each segment leaves out its end point, as the Windows graphics interface does.
            for (size_t i = 0; i < segments; ++i) {
                ThinLine(points[i], points[(i + 1) % points.size()], pen.colour);
            }
            return;
        }
        // A wide pen: each segment as a rectangle, round joins and ends as discs, all turning
        // the same way and filled with the non-zero rule, so overlaps never cancel. The pen is
        // centred on the middle of the path's pixels, as a thin line is. Being one solid
        // colour, the outline can be filled a few thousand edges at a time, which keeps a long
        // path's memory small and lets the budget stop it early.
        const double half = std::min(width, 1e6) / 2;
        const int n = std::clamp(static_cast<int>(half * 2), 8, 32);
        std::vector<PointD> circle;
        for (int i = 0; i < n; ++i) {
            const double a = 2 * kPi * i / n;
            circle.push_back({half * std::cos(a), half * std::sin(a)});
        }
        Brush penBrush;
        penBrush.colour = pen.colour;
        std::vector<Contour> parts;
        size_t edges = 0;
        for (size_t i = 0; i < points.size(); ++i) {
            const PointD a{points[i].x + 0.5, points[i].y + 0.5};
            Contour disc;
            disc.reserve(circle.size());
            for (const PointD& c : circle) disc.push_back({a.x + c.x, a.y + c.y});
            parts.push_back(std::move(disc));
            edges += circle.size();
            if (i < segments) {
                const PointD& next = points[(i + 1) % points.size()];
                const PointD b{next.x + 0.5, next.y + 0.5};
                const double len = std::hypot(b.x - a.x, b.y - a.y);
                if (len > 0) {
                    const double nx = -(b.y - a.y) / len * half, ny = (b.x - a.x) / len * half;
                    parts.push_back({{a.x - nx, a.y - ny},
                                     {b.x - nx, b.y - ny},
                                     {b.x + nx, b.y + ny},
                                     {a.x + nx, a.y + ny}});
                    edges += 4;
                }
            }
            if (edges >= kPenBatchEdges || i + 1 == points.size()) {
                FillWithBrush(parts, penBrush, FillRule::Winding);
                if (m_budget.Exhausted()) return;
                parts.clear();
                edges = 0;
            }
        }
    }

    // A finished shape: into the path while one is being recorded, otherwise filled with the
    // brush (closed shapes) and outlined with the pen.
    void Draw(std::vector<Contour> contours, bool closed, bool fill) {
        if (m_inPath) {
            for (auto& c : contours) AddFigure(std::move(c), closed);
            return;
        }
        if (fill && closed) FillWithBrush(contours, m_dc.brush, m_dc.fillRule);
        for (const auto& c : contours) Stroke(c, closed);
    }
    void AddFigure(std::vector<PointD> points, bool closed) {
        if (m_pathPoints + points.size() > kMaxPathPoints) return;
        m_pathPoints += points.size();
        m_path.push_back({std::move(points), closed});
        m_figureOpen = false;
    }
    // The figure being built by lines and curves from the current position, with room for
    // count more points; null when the path is full.
    std::vector<PointD>* ExtendFigure(size_t count) {
        const size_t needed = count + (m_figureOpen ? 0 : 1);
        if (count > kMaxPathPoints || m_pathPoints + needed > kMaxPathPoints) return nullptr;
        m_pathPoints += needed;
        if (!m_figureOpen) {
            m_path.push_back({{ToDevice(m_dc.position)}, false});
            m_figureOpen = true;
        }
        return &m_path.back().points;
    }

    // ---- Shapes in logical coordinates ----
    void Rectangle(double l, double t, double r, double b) {
        const BoxSpace box = MakeBox(l, t, r, b);
        const Xform& m = box.toDevice;
        Draw({{m.Apply(box.left, box.top), m.Apply(box.right, box.top),
               m.Apply(box.right, box.bottom), m.Apply(box.left, box.bottom)}},
             true, true);
    }
    void Ellipse(double l, double t, double r, double b) {
        const BoxSpace box = MakeBox(l, t, r, b);
        std::vector<PointD> pts;
        if (!AppendArc(box, (box.left + box.right) / 2, (box.top + box.bottom) / 2,
                       (box.right - box.left) / 2, (box.bottom - box.top) / 2, 0, 2 * kPi, pts)) {
            return;
        }
        pts.pop_back();  // the closing point repeats the first
        Draw({std::move(pts)}, true, true);
    }
    void RoundRect(double l, double t, double r, double b, double cw, double ch) {
        const BoxSpace box = MakeBox(l, t, r, b);
        const double rx = std::min(std::fabs(cw) * box.unitX / 2, (box.right - box.left) / 2);
        const double ry = std::min(std::fabs(ch) * box.unitY / 2, (box.bottom - box.top) / 2);
        std::vector<PointD> pts;
        if (!AppendArc(box, box.right - rx, box.top + ry, rx, ry, 0, kPi / 2, pts) ||
            !AppendArc(box, box.left + rx, box.top + ry, rx, ry, kPi / 2, kPi / 2, pts) ||
            !AppendArc(box, box.left + rx, box.bottom - ry, rx, ry, kPi, kPi / 2, pts) ||
            !AppendArc(box, box.right - rx, box.bottom - ry, rx, ry, 3 * kPi / 2, kPi / 2, pts)) {
            return;
        }
        Draw({std::move(pts)}, true, true);
    }
    enum class ArcKind { Arc, Chord, Pie, ArcTo };
    void ArcShape(ArcKind kind, double l, double t, double r, double b, PointD start, PointD end) {
        const BoxSpace box = MakeBox(l, t, r, b);
        const double cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
        const double rx = (box.right - box.left) / 2, ry = (box.bottom - box.top) / 2;
        auto angle = [&](PointD logical) {
            const PointD p = ToBox(box, logical);
            return std::atan2(-(p.y - cy) / std::max(ry, 1e-9), (p.x - cx) / std::max(rx, 1e-9));
        };
        const double a0 = angle(start), a1 = angle(end);
        double sweep = a1 - a0;
        if (m_dc.clockwiseArcs) {
            if (sweep >= 0) sweep -= 2 * kPi;
        } else if (sweep <= 0) {
            sweep += 2 * kPi;
        }
        std::vector<PointD> pts;
        if (kind == ArcKind::Pie) pts.push_back(box.toDevice.Apply(cx, cy));
        if (!AppendArc(box, cx, cy, rx, ry, a0, sweep, pts)) return;
        if (kind == ArcKind::ArcTo) {
            // A line from the current position to the arc's start, then the arc; the current
            // position moves to the arc's end.
            const PointD endDevice = pts.back();
            if (m_inPath) {
                if (auto* figure = ExtendFigure(pts.size())) {
                    figure->insert(figure->end(), pts.begin(), pts.end());
                }
            } else {
                pts.insert(pts.begin(), ToDevice(m_dc.position));
                Stroke(pts, false);
            }
            const Xform inverse = Invert(LogicalToDevice());
            m_dc.position = inverse.Apply(endDevice.x, endDevice.y);
            return;
        }
        Draw({std::move(pts)}, kind != ArcKind::Arc, kind != ArcKind::Arc);
    }
    static Xform Invert(const Xform& m) {
        const double det = m.m11 * m.m22 - m.m12 * m.m21;
        if (det == 0 || !std::isfinite(det)) return {};
        Xform r{m.m22 / det, -m.m12 / det, -m.m21 / det, m.m11 / det, 0, 0};
        r.dx = -(m.dx * r.m11 + m.dy * r.m21);
        r.dy = -(m.dx * r.m12 + m.dy * r.m22);
        return r;
    }
    void LineTo(PointD p) {
        if (m_inPath) {
            if (auto* figure = ExtendFigure(1)) figure->push_back(ToDevice(p));
        } else {
            Stroke({ToDevice(m_dc.position), ToDevice(p)}, false);
        }
        m_dc.position = p;
    }
    void MoveTo(PointD p) {
        m_dc.position = p;
        m_figureOpen = false;
    }
    void Polyline(const std::vector<PointD>& logical) {
        if (logical.size() < 2) return;
        std::vector<PointD> pts = ToDevice(logical);
        if (!pts.empty()) Draw({std::move(pts)}, false, false);
    }
    void Polygons(const std::vector<std::vector<PointD>>& logical) {
        std::vector<Contour> contours;
        for (const auto& poly : logical) {
            if (poly.size() < 2) continue;
            contours.push_back(ToDevice(poly));
            if (contours.back().empty()) return;
        }
        if (!contours.empty()) Draw(std::move(contours), true, true);
    }
    void PolylineTo(const std::vector<PointD>& logical) {
        if (logical.empty()) return;
        const PointD start = ToDevice(m_dc.position);
        std::vector<PointD> pts = ToDevice(logical, 1);
        if (pts.empty()) return;
        m_dc.position = logical.back();
        if (m_inPath) {
            if (auto* figure = ExtendFigure(pts.size())) {
                figure->insert(figure->end(), pts.begin(), pts.end());
            }
        } else {
            pts.insert(pts.begin(), start);
            Stroke(pts, false);
        }
    }
    // Cubic Bezier segments (start, then three points each) flattened in device space, after
    // the points they make are counted and charged; false when that is too many.
    bool FlattenBeziers(const std::vector<PointD>& device, std::vector<PointD>& out) {
        auto steps = [&](size_t i) {
            const PointD p0 = device[i], p1 = device[i + 1], p2 = device[i + 2], p3 = device[i + 3];
            const double length = std::hypot(p1.x - p0.x, p1.y - p0.y) +
                                  std::hypot(p2.x - p1.x, p2.y - p1.y) +
                                  std::hypot(p3.x - p2.x, p3.y - p2.y);
            return std::isfinite(length) ? static_cast<int>(std::clamp(length / 4, 1.0, 64.0)) : 1;
        };
        size_t total = 0;
        for (size_t i = 0; i + 3 < device.size(); i += 3) total += static_cast<size_t>(steps(i));
        if (total > kMaxPathPoints || !m_budget.Spend(total * kPointWork)) return false;
        out.reserve(out.size() + total);
        for (size_t i = 0; i + 3 < device.size(); i += 3) {
            const PointD p0 = device[i], p1 = device[i + 1], p2 = device[i + 2], p3 = device[i + 3];
            const int n = steps(i);
            for (int k = 1; k <= n; ++k) {
                const double t = double(k) / n, u = 1 - t;
                const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
                out.push_back({a * p0.x + b * p1.x + c * p2.x + d * p3.x,
                               a * p0.y + b * p1.y + c * p2.y + d * p3.y});
            }
        }
        return true;
    }
    void PolyBezier(const std::vector<PointD>& logical, bool fromCurrent) {
        std::vector<PointD> device = ToDevice(logical, 1);
        if (device.empty()) return;
        if (fromCurrent) device.insert(device.begin(), ToDevice(m_dc.position));
        if (device.size() < 4) return;
        std::vector<PointD> flat{device.front()};
        if (!FlattenBeziers(device, flat)) return;
        if (fromCurrent) {
            m_dc.position = logical[(device.size() - 1) / 3 * 3 - 1];
            if (m_inPath) {
                if (auto* figure = ExtendFigure(flat.size() - 1)) {
                    figure->insert(figure->end(), flat.begin() + 1, flat.end());
                }
                return;
            }
            Stroke(flat, false);
            return;
        }
        Draw({std::move(flat)}, false, false);
    }

    // ---- Bitmaps ----
    // Stretches the source rectangle of dib (x, y from the bitmap's lower left corner for
    // bottom-up bitmaps, width and height) onto the logical destination rectangle, combining
    // source, brush and destination by the ternary raster operation. dib may be null for the
    // operations that use no source. scanStart is the first row (from the bottom) that dib
    // holds, for bitmaps handed over in bands.
    void Blit(const Dib* dib, double sx, double sy, double sw, double sh, int scanStart, double dx,
              double dy, double dw, double dh, uint32_t rop) {
        const Xform m = LogicalToDevice();
        const PointD a = m.Apply(dx, dy), c = m.Apply(dx + dw, dy + dh);
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(c.x) ||
            !std::isfinite(c.y) || a.x == c.x || a.y == c.y) {
            return;
        }
        const int x0 = std::max(m_dc.clip.left, FirstPixelAtOrAfter(std::min(a.x, c.x)));
        const int x1 = std::min(m_dc.clip.right, FirstPixelAtOrAfter(std::max(a.x, c.x)));
        const int y0 = std::max(m_dc.clip.top, FirstPixelAtOrAfter(std::min(a.y, c.y)));
        const int y1 = std::min(m_dc.clip.bottom, FirstPixelAtOrAfter(std::max(a.y, c.y)));
        if (x1 <= x0 || y1 <= y0) return;
        // The result depends on the source when the table differs between s = 0 and s = 1.
        const uint8_t table = static_cast<uint8_t>(rop >> 16);
        const bool usesSource = ((table >> 2) & 0x33) != (table & 0x33);
        if (usesSource && (dib == nullptr || sw == 0 || sh == 0)) return;
        const Brush& brush = m_dc.brush;
        const uint64_t pixelWork = rop == kSrcCopy   ? kCopyPixelWork
                                   : rop == kPatCopy ? PixelWork(brush)
                                                     : kMixPixelWork;
        if (!m_budget.Spend(uint64_t(x1 - x0) * uint64_t(y1 - y0) * pixelWork)) return;
        for (int y = y0; y < y1; ++y) {
            const double v = (y + 0.5 - a.y) / (c.y - a.y);
            int srcRow = 0;
            bool rowValid = true;
            if (usesSource) {
                // Source positions are worked out in floating point and range-checked before
                // they become indices.
                if (dib->TopDown()) {
                    const double row = std::floor(sy + v * sh);
                    rowValid = row >= 0 && row < dib->Height();
                    if (rowValid) srcRow = static_cast<int>(row);
                } else {
                    const double local = std::ceil(sy + sh * (1 - v)) - 1 - scanStart;
                    rowValid = local >= 0 && local < dib->Height();
                    if (rowValid) srcRow = dib->Height() - 1 - static_cast<int>(local);
                }
                if (!rowValid) continue;
            }
            for (int x = x0; x < x1; ++x) {
                RgbQuad s{};
                if (usesSource) {
                    const double u = (x + 0.5 - a.x) / (c.x - a.x);
                    const double col = std::floor(sx + u * sw);
                    if (!(col >= 0 && col < dib->Width())) continue;
                    s = dib->Pixel(static_cast<int>(col), srcRow);
                }
                RgbQuad out;
                if (rop == kSrcCopy) {
                    out = s;
                } else {
                    const std::optional<RgbQuad> p = BrushColour(brush, x, y);
                    if (rop == kPatCopy) {
                        if (!p) continue;
                        out = *p;
                    } else {
                        const uint32_t mixed = Ternary(table, Pack(p.value_or(RgbQuad{})), Pack(s),
                                                       Pack(GetPixel(x, y)));
                        out = {static_cast<uint8_t>(mixed), static_cast<uint8_t>(mixed >> 8),
                               static_cast<uint8_t>(mixed >> 16), 0};
                    }
                }
                PutPixel(x, y, out);
            }
        }
    }
    // Bit i of the table is the result for pattern, source and destination bits (p, s, d)
    // with i = 4p + 2s + d; all three channels at once.
    static uint32_t Ternary(uint8_t table, uint32_t p, uint32_t s, uint32_t d) {
        uint32_t out = 0;
        for (int i = 0; i < 8; ++i) {
            if (!(table & (1 << i))) continue;
            out |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        }
        return out;
    }
    static uint32_t Pack(RgbQuad c) {
        return c.blue | (uint32_t{c.green} << 8) | (uint32_t{c.red} << 16);
    }

    // ---- State ----
    void SaveDc() {
        if (m_saved.size() < kMaxSavedStates) m_saved.push_back(m_dc);
    }
    void RestoreDc(int32_t which) {
        // Negative: that many levels back; positive: the state of that save number.
        size_t keep;
        if (which < 0) {
            const uint64_t back = static_cast<uint64_t>(-int64_t{which});
            if (back > m_saved.size()) return;
            keep = m_saved.size() - static_cast<size_t>(back);
        } else {
            if (which == 0 || static_cast<size_t>(which) > m_saved.size()) return;
            keep = static_cast<size_t>(which) - 1;
        }
        m_dc = m_saved[keep];
        m_saved.resize(keep);
    }
    void IntersectClip(double l, double t, double r, double b) {
        const Xform m = LogicalToDevice();
        const PointD a = m.Apply(l, t), c = m.Apply(r, b);
        if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(c.x) ||
            !std::isfinite(c.y)) {
            return;
        }
        PixelRect& clip = m_dc.clip;
        clip.left = std::max(clip.left, FirstPixelAtOrAfter(std::min(a.x, c.x)));
        clip.right = std::min(clip.right, FirstPixelAtOrAfter(std::max(a.x, c.x)));
        clip.top = std::max(clip.top, FirstPixelAtOrAfter(std::min(a.y, c.y)));
        clip.bottom = std::min(clip.bottom, FirstPixelAtOrAfter(std::max(a.y, c.y)));
    }
    void Select(size_t index) {
        if (index >= m_objects.size()) return;
        const GdiObject& o = m_objects[index];
        if (o.type == GdiObject::Type::Pen) m_dc.pen = o.pen;
        if (o.type == GdiObject::Type::Brush) m_dc.brush = o.brush;
    }
    void SelectStock(uint32_t index) {
        auto solid = [](uint8_t v) {
            Brush b;
            b.colour = {v, v, v, 0};
            return b;
        };
        switch (index) {
            case 0:
                m_dc.brush = solid(255);
                break;
            case 1:
                m_dc.brush = solid(192);
                break;
            case 2:
                m_dc.brush = solid(128);
                break;
            case 3:
                m_dc.brush = solid(64);
                break;
            case 4:
                m_dc.brush = solid(0);
                break;
            case 5:
                m_dc.brush.kind = Brush::Kind::Null;
                break;
            case 6:
                m_dc.pen = Pen{false, {255, 255, 255, 0}, 0, true};
                break;
            case 7:
                m_dc.pen = Pen{};
                break;
            case 8:
                m_dc.pen.null = true;
                break;
            case 18:
                m_dc.brush = solid(255);
                break;  // DC brush, white until changed
            case 19:
                m_dc.pen = Pen{};
                break;  // DC pen, black until changed
            default:
                break;
        }
    }
    // The lowest free slot, as the old metafile format numbers its objects; the free ones are
    // kept in a heap, so that a file full of objects costs no search per record.
    void AddWmfObject(const GdiObject& object) {
        if (!m_freeSlots.empty()) {
            m_objects[m_freeSlots.top()] = object;
            m_freeSlots.pop();
        } else if (m_objects.size() < kMaxObjects) {
            m_objects.push_back(object);
        }
    }
    void DeleteWmfObject(size_t index) {
        if (index >= m_objects.size() || m_objects[index].type == GdiObject::Type::None) return;
        m_objects[index] = GdiObject{};
        m_freeSlots.push(static_cast<uint32_t>(index));
    }
    void SetEmfObject(uint32_t index, const GdiObject& object) {
        if (index >= kMaxObjects) return;
        if (index >= m_objects.size()) m_objects.resize(index + 1);
        m_objects[index] = object;
    }
    static Brush MakeBrush(uint32_t style, uint32_t colour, uint32_t hatch) {
        Brush b;
        b.colour = FromColorRef(colour);
        if (style == kBsSolid) {
            b.kind = Brush::Kind::Solid;
        } else if (style == kBsHatched) {
            b.kind = Brush::Kind::Hatched;
            b.hatch = static_cast<int>(std::min<uint32_t>(hatch, 5));
        } else {
            b.kind = Brush::Kind::Null;  // null and unsupported pattern kinds
        }
        return b;
    }
    static GdiObject PatternBrush(std::optional<Dib> dib) {
        GdiObject o;
        o.type = GdiObject::Type::Brush;
        if (dib && dib->Width() > 0 && dib->Height() > 0) {
            o.brush.kind = Brush::Kind::Pattern;
            o.brush.pattern = std::move(dib);
        } else {
            o.brush.kind = Brush::Kind::Null;
        }
        return o;
    }

    // ---- Record helpers ----
    static std::vector<PointD> ReadPoints16(ByteReader& in, size_t count) {
        std::vector<PointD> pts;
        if (count > kMaxPointsPerRecord || count * 4 > in.Remaining()) return pts;
        pts.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const double x = in.S16LE();
            const double y = in.S16LE();
            pts.push_back({x, y});
        }
        return pts;
    }
    static std::vector<PointD> ReadPoints32(ByteReader& in, size_t count) {
        std::vector<PointD> pts;
        if (count > kMaxPointsPerRecord || count * 8 > in.Remaining()) return pts;
        pts.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const double x = in.S32LE();
            const double y = in.S32LE();
            pts.push_back({x, y});
        }
        return pts;
    }
    // EMF poly-records: bounds, count, points (32- or 16-bit).
    static std::vector<PointD> ReadEmfPoly(ByteReader& in, bool small) {
        in.Skip(16);
        const uint32_t count = in.U32LE();
        if (in.Failed()) return {};
        return small ? ReadPoints16(in, count) : ReadPoints32(in, count);
    }
    static std::vector<std::vector<PointD>> ReadEmfPolyPoly(ByteReader& in, bool small) {
        in.Skip(16);
        const uint32_t polys = in.U32LE();
        const uint32_t total = in.U32LE();
        std::vector<std::vector<PointD>> out;
        if (in.Failed() || polys > kMaxPointsPerRecord || uint64_t{polys} * 4 > in.Remaining()) {
            return out;
        }
        std::vector<uint32_t> counts(polys);
        uint64_t sum = 0;
        for (auto& c : counts) sum += c = in.U32LE();
        if (sum != total) return out;
        const auto all = small ? ReadPoints16(in, total) : ReadPoints32(in, total);
        if (all.size() != total) return out;
        size_t pos = 0;
        for (uint32_t c : counts) {
            out.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(pos),
                             all.begin() + static_cast<std::ptrdiff_t>(pos + c));
            pos += c;
        }
        return out;
    }
    // A bitmap inside an EMF record, given by offsets from the record's start.
    static std::optional<Dib> RecordDib(std::span<const uint8_t> record, uint32_t offBmi,
                                        uint32_t cbBmi, uint32_t offBits, uint32_t cbBits,
                                        int rows = -1) {
        if (cbBmi == 0 || offBmi > record.size() || cbBmi > record.size() - offBmi ||
            offBits > record.size() || cbBits > record.size() - offBits) {
            return std::nullopt;
        }
        Dib dib;
        if (!dib.Parse(record.subspan(offBmi, cbBmi), record.subspan(offBits, cbBits), rows)) {
            return std::nullopt;
        }
        return dib;
    }

    ImageBuffer& m_image;
    WorkBudget m_budget;
    int m_width;
    int m_height;
    PointD m_devicePixels{1, 1};  // the reference device, for the map modes
    PointD m_deviceMm{25.4 / 96, 25.4 / 96};
    Xform m_out;  // reference-device pixels to the picture
    DcState m_dc;
    std::vector<DcState> m_saved;
    std::vector<GdiObject> m_objects;
    std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<>> m_freeSlots;
    std::vector<Figure> m_path;
    size_t m_pathPoints = 0;
    bool m_inPath = false;
    bool m_figureOpen = false;
};

// ---------------------------------------------------------------------------------------------
// 16-bit records. Parameters are 16-bit words, coordinates usually given y before x.

void Player::PlayWmfRecord(uint16_t function, std::span<const uint8_t> params) {
    if (!m_budget.Spend(kRecordWork)) return;
    ByteReader in(params);
    auto s16 = [&] { return static_cast<double>(in.S16LE()); };
    switch (function) {
        case 0x0102:  // SETBKMODE
            m_dc.opaqueBackground = in.U16LE() == 2;
            break;
        case 0x0106:  // SETPOLYFILLMODE
            m_dc.fillRule = in.U16LE() == 2 ? FillRule::Winding : FillRule::Alternate;
            break;
        case 0x0201: {  // SETBKCOLOR
            const uint32_t c = in.U32LE();
            if (!in.Failed()) m_dc.backColour = FromColorRef(c);
            break;
        }
        case 0x0209: {  // SETTEXTCOLOR
            const uint32_t c = in.U32LE();
            if (!in.Failed()) m_dc.textColour = FromColorRef(c);
            break;
        }
        case 0x0103:  // SETMAPMODE
            SetMapMode(in.U16LE());
            break;
        case 0x020B:    // SETWINDOWORG
        case 0x020D: {  // SETVIEWPORTORG
            const double y = s16(), x = s16();
            if (!in.Failed()) (function == 0x020B ? m_dc.windowOrg : m_dc.viewportOrg) = {x, y};
            break;
        }
        case 0x020F:    // OFFSETWINDOWORG
        case 0x0211: {  // OFFSETVIEWPORTORG
            const double y = s16(), x = s16();
            PointD& org = function == 0x020F ? m_dc.windowOrg : m_dc.viewportOrg;
            if (!in.Failed()) org = {org.x + x, org.y + y};
            break;
        }
        case 0x020C:    // SETWINDOWEXT
        case 0x020E: {  // SETVIEWPORTEXT
            const double y = s16(), x = s16();
            if (!in.Failed()) SetExtent(function == 0x020E, x, y);
            break;
        }
        case 0x0410:    // SCALEWINDOWEXT
        case 0x0412: {  // SCALEVIEWPORTEXT
            const double yDenom = s16(), yNum = s16(), xDenom = s16(), xNum = s16();
            if (!in.Failed()) ScaleExtent(function == 0x0412, xNum, xDenom, yNum, yDenom);
            break;
        }
        case 0x0213: {  // LINETO
            const double y = s16(), x = s16();
            if (!in.Failed()) LineTo({x, y});
            break;
        }
        case 0x0214: {  // MOVETO
            const double y = s16(), x = s16();
            if (!in.Failed()) MoveTo({x, y});
            break;
        }
        case 0x0416: {  // INTERSECTCLIPRECT
            const double b = s16(), r = s16(), t = s16(), l = s16();
            if (!in.Failed()) IntersectClip(l, t, r, b);
            break;
        }
        case 0x041B:    // RECTANGLE
        case 0x0418: {  // ELLIPSE
            const double b = s16(), r = s16(), t = s16(), l = s16();
            if (in.Failed()) break;
            if (function == 0x041B) {
                Rectangle(l, t, r, b);
            } else {
                Ellipse(l, t, r, b);
            }
            break;
        }
        case 0x061C: {  // ROUNDRECT
            const double h = s16(), w = s16(), b = s16(), r = s16(), t = s16(), l = s16();
            if (!in.Failed()) RoundRect(l, t, r, b, w, h);
            break;
        }
        case 0x0817:    // ARC
        case 0x081A:    // PIE
        case 0x0830: {  // CHORD
            const double ye = s16(), xe = s16(), ys = s16(), xs = s16();
            const double b = s16(), r = s16(), t = s16(), l = s16();
            if (in.Failed()) break;
            const ArcKind kind = function == 0x0817   ? ArcKind::Arc
                                 : function == 0x081A ? ArcKind::Pie
                                                      : ArcKind::Chord;
            ArcShape(kind, l, t, r, b, {xs, ys}, {xe, ye});
            break;
        }
        case 0x041F: {  // SETPIXEL
            const uint32_t c = in.U32LE();
            const double y = s16(), x = s16();
            if (in.Failed()) break;
            const PointD p = ToDevice({x, y});
            if (std::isfinite(p.x) && std::isfinite(p.y) && m_budget.Spend(1)) {
                PutPixel(static_cast<int>(std::clamp(std::floor(p.x), -1.0, 1e9)),
                         static_cast<int>(std::clamp(std::floor(p.y), -1.0, 1e9)), FromColorRef(c));
            }
            break;
        }
        case 0x0324:    // POLYGON
        case 0x0325: {  // POLYLINE
            const int n = in.S16LE();
            if (in.Failed() || n <= 0) break;
            auto pts = ReadPoints16(in, static_cast<size_t>(n));
            if (pts.size() != static_cast<size_t>(n)) break;
            if (function == 0x0324) {
                Polygons({std::move(pts)});
            } else {
                Polyline(pts);
            }
            break;
        }
        case 0x0538: {  // POLYPOLYGON
            const uint16_t polys = in.U16LE();
            if (in.Failed() || size_t{polys} * 2 > in.Remaining()) break;
            std::vector<uint16_t> counts(polys);
            size_t total = 0;
            for (auto& c : counts) total += c = in.U16LE();
            const auto all = ReadPoints16(in, total);
            if (all.size() != total) break;
            std::vector<std::vector<PointD>> list;
            size_t pos = 0;
            for (uint16_t c : counts) {
                list.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(pos),
                                  all.begin() + static_cast<std::ptrdiff_t>(pos + c));
                pos += c;
            }
            Polygons(list);
            break;
        }
        case 0x061D: {  // PATBLT
            const uint32_t rop = in.U32LE();
            const double h = s16(), w = s16(), y = s16(), x = s16();
            if (!in.Failed()) Blit(nullptr, 0, 0, 0, 0, 0, x, y, w, h, rop);
            break;
        }
        case 0x001E:  // SAVEDC
            SaveDc();
            break;
        case 0x0127: {  // RESTOREDC
            const int16_t n = in.S16LE();
            if (!in.Failed()) RestoreDc(n);
            break;
        }
        case 0x012D: {  // SELECTOBJECT
            const uint16_t index = in.U16LE();
            if (!in.Failed()) Select(index);
            break;
        }
        case 0x01F0: {  // DELETEOBJECT
            const uint16_t index = in.U16LE();
            if (!in.Failed()) DeleteWmfObject(index);
            break;
        }
        case 0x02FA: {  // CREATEPENINDIRECT
            const uint16_t style = in.U16LE();
            const int16_t width = in.S16LE();
            in.Skip(2);
            const uint32_t colour = in.U32LE();
            GdiObject o;
            o.type = GdiObject::Type::Pen;
            if (!in.Failed()) {
                o.pen.null = (style & 0x0F) == kPsNull;
                o.pen.colour = FromColorRef(colour);
                o.pen.width = std::abs(width);
                o.pen.cosmetic = width == 0;
            }
            AddWmfObject(o);
            break;
        }
        case 0x02FC: {  // CREATEBRUSHINDIRECT
            const uint16_t style = in.U16LE();
            const uint32_t colour = in.U32LE();
            const uint16_t hatch = in.U16LE();
            GdiObject o;
            o.type = GdiObject::Type::Brush;
            o.brush = in.Failed() ? MakeBrush(kBsNull, 0, 0) : MakeBrush(style, colour, hatch);
            AddWmfObject(o);
            break;
        }
        case 0x0142: {  // DIBCREATEPATTERNBRUSH
            const uint16_t style = in.U16LE();
            in.Skip(2);  // colour usage
            std::optional<Dib> dib;
            if (!in.Failed() && style != 3) {  // style 3 carries an old device bitmap
                Dib d;
                if (d.ParseContiguous(params.subspan(4))) dib = d;
            }
            AddWmfObject(PatternBrush(std::move(dib)));
            break;
        }
        case 0x00F7:    // CREATEPALETTE
        case 0x01F9:    // CREATEPATTERNBRUSH
        case 0x02FB:    // CREATEFONTINDIRECT
        case 0x06FF: {  // CREATEREGION
            // Not drawn with, but each takes an object slot that later indices count on.
            GdiObject o;
            o.type = GdiObject::Type::Other;
            AddWmfObject(o);
            break;
        }
        case 0x0F43: {  // STRETCHDIB
            const uint32_t rop = in.U32LE();
            in.Skip(2);  // colour usage
            const double sh = s16(), sw = s16(), sy = s16(), sx = s16();
            const double dh = s16(), dw = s16(), dy = s16(), dx = s16();
            Dib dib;
            if (in.Failed() || !dib.ParseContiguous(params.subspan(in.Position()))) break;
            Blit(&dib, sx, sy, sw, sh, 0, dx, dy, dw, dh, rop);
            break;
        }
        case 0x0B41:    // DIBSTRETCHBLT
        case 0x0940: {  // DIBBITBLT
            const bool stretch = function == 0x0B41;
            // The form without a bitmap is one word longer in front of the destination.
            const bool withBitmap = params.size() != static_cast<size_t>(function >> 8) * 2;
            const uint32_t rop = in.U32LE();
            double sh = 0, sw = 0;
            if (stretch) {
                sh = s16();
                sw = s16();
            }
            const double sy = s16(), sx = s16();
            if (!withBitmap) in.Skip(2);
            const double dh = s16(), dw = s16(), dy = s16(), dx = s16();
            if (!stretch) {
                sw = dw;
                sh = dh;
            }
            if (in.Failed()) break;
            if (!withBitmap) {
                Blit(nullptr, 0, 0, 0, 0, 0, dx, dy, dw, dh, rop);
                break;
            }
            Dib dib;
            if (!dib.ParseContiguous(params.subspan(in.Position()))) break;
            Blit(&dib, sx, sy, sw, sh, 0, dx, dy, dw, dh, rop);
            break;
        }
        case 0x0D33: {   // SETDIBTODEV
            in.Skip(2);  // colour usage
            const int scans = in.U16LE();
            const int start = in.U16LE();
            const double sy = s16(), sx = s16(), h = s16(), w = s16(), dy = s16(), dx = s16();
            Dib dib;
            if (in.Failed() || !dib.ParseContiguous(params.subspan(in.Position()), scans)) break;
            Blit(&dib, sx, sy, w, h, start, dx, dy, w, h, kSrcCopy);
            break;
        }
        default:
            break;  // text, palettes, regions, escapes and the rest: not drawn
    }
}

// ---------------------------------------------------------------------------------------------
// 32-bit records: type and size, then the fields; record offsets count from the record start.

bool Player::PlayEmfRecord(uint32_t type, std::span<const uint8_t> record) {
    if (!m_budget.Spend(kRecordWork)) return false;
    ByteReader in(record.subspan(8));
    auto s32 = [&] { return static_cast<double>(in.S32LE()); };
    auto point = [&] {
        const double x = s32(), y = s32();
        return PointD{x, y};
    };
    switch (type) {
        case 14:  // EOF
            return false;
        case 2:     // POLYBEZIER
        case 85: {  // POLYBEZIER16
            const auto pts = ReadEmfPoly(in, type == 85);
            if (pts.size() >= 4) PolyBezier(pts, false);
            break;
        }
        case 3:     // POLYGON
        case 86: {  // POLYGON16
            auto pts = ReadEmfPoly(in, type == 86);
            if (pts.size() >= 2) Polygons({std::move(pts)});
            break;
        }
        case 4:     // POLYLINE
        case 87: {  // POLYLINE16
            const auto pts = ReadEmfPoly(in, type == 87);
            if (pts.size() >= 2) Polyline(pts);
            break;
        }
        case 5:     // POLYBEZIERTO
        case 88: {  // POLYBEZIERTO16
            const auto pts = ReadEmfPoly(in, type == 88);
            if (pts.size() >= 3) PolyBezier(pts, true);
            break;
        }
        case 6:     // POLYLINETO
        case 89: {  // POLYLINETO16
            const auto pts = ReadEmfPoly(in, type == 89);
            PolylineTo(pts);
            break;
        }
        case 7:     // POLYPOLYLINE
        case 90: {  // POLYPOLYLINE16
            for (const auto& line : ReadEmfPolyPoly(in, type == 90)) Polyline(line);
            break;
        }
        case 8:     // POLYPOLYGON
        case 91: {  // POLYPOLYGON16
            const auto polys = ReadEmfPolyPoly(in, type == 91);
            if (!polys.empty()) Polygons(polys);
            break;
        }
        case 9:     // SETWINDOWEXTEX
        case 11: {  // SETVIEWPORTEXTEX
            const PointD p = point();
            if (!in.Failed()) SetExtent(type == 11, p.x, p.y);
            break;
        }
        case 10: {  // SETWINDOWORGEX
            const PointD p = point();
            if (!in.Failed()) m_dc.windowOrg = p;
            break;
        }
        case 12: {  // SETVIEWPORTORGEX
            const PointD p = point();
            if (!in.Failed()) m_dc.viewportOrg = p;
            break;
        }
        case 31:    // SCALEVIEWPORTEXTEX
        case 32: {  // SCALEWINDOWEXTEX
            const double xNum = s32(), xDenom = s32(), yNum = s32(), yDenom = s32();
            if (!in.Failed()) ScaleExtent(type == 31, xNum, xDenom, yNum, yDenom);
            break;
        }
        case 15: {  // SETPIXELV
            const PointD p = ToDevice(point());
            const uint32_t c = in.U32LE();
            if (!in.Failed() && std::isfinite(p.x) && std::isfinite(p.y) && m_budget.Spend(1)) {
                PutPixel(static_cast<int>(std::clamp(std::floor(p.x), -1.0, 1e9)),
                         static_cast<int>(std::clamp(std::floor(p.y), -1.0, 1e9)), FromColorRef(c));
            }
            break;
        }
        case 17: {  // SETMAPMODE
            const uint32_t mode = in.U32LE();
            if (!in.Failed()) SetMapMode(mode);
            break;
        }
        case 18: {  // SETBKMODE
            const uint32_t mode = in.U32LE();
            if (!in.Failed()) m_dc.opaqueBackground = mode == 2;
            break;
        }
        case 19: {  // SETPOLYFILLMODE
            const uint32_t mode = in.U32LE();
            if (!in.Failed()) m_dc.fillRule = mode == 2 ? FillRule::Winding : FillRule::Alternate;
            break;
        }
        case 24:    // SETTEXTCOLOR
        case 25: {  // SETBKCOLOR
            const uint32_t c = in.U32LE();
            if (in.Failed()) break;
            (type == 24 ? m_dc.textColour : m_dc.backColour) = FromColorRef(c);
            break;
        }
        case 27: {  // MOVETOEX
            const PointD p = point();
            if (!in.Failed()) MoveTo(p);
            break;
        }
        case 54: {  // LINETO
            const PointD p = point();
            if (!in.Failed()) LineTo(p);
            break;
        }
        case 30: {  // INTERSECTCLIPRECT
            const double l = s32(), t = s32(), r = s32(), b = s32();
            if (!in.Failed()) IntersectClip(l, t, r, b);
            break;
        }
        case 75: {  // EXTSELECTCLIPRGN
            const uint32_t size = in.U32LE();
            const uint32_t mode = in.U32LE();
            if (in.Failed()) break;
            if (mode == 5 && size == 0) {  // copy of no region: clipping off
                m_dc.clip = {0, 0, m_width, m_height};
            } else if ((mode == 1 || mode == 5) && size >= 32) {
                // Region in reference-device pixels: its bounding box, never tighter than the
                // region itself.
                in.Skip(16);
                const double l = s32(), t = s32(), r = s32(), b = s32();
                if (in.Failed()) break;
                if (mode == 5) m_dc.clip = {0, 0, m_width, m_height};
                const PointD a = m_out.Apply(l, t), c = m_out.Apply(r, b);
                if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(c.x) ||
                    !std::isfinite(c.y)) {
                    break;
                }
                auto px = [](double v) {
                    return static_cast<int>(std::clamp(std::floor(v), -1e9, 1e9));
                };
                auto pxUp = [](double v) {
                    return static_cast<int>(std::clamp(std::ceil(v), -1e9, 1e9));
                };
                PixelRect& clip = m_dc.clip;
                clip.left = std::max(clip.left, px(std::min(a.x, c.x)));
                clip.right = std::min(clip.right, pxUp(std::max(a.x, c.x)));
                clip.top = std::max(clip.top, px(std::min(a.y, c.y)));
                clip.bottom = std::min(clip.bottom, pxUp(std::max(a.y, c.y)));
            }
            break;
        }
        case 33:  // SAVEDC
            SaveDc();
            break;
        case 34: {  // RESTOREDC
            const int32_t n = in.S32LE();
            if (!in.Failed()) RestoreDc(n);
            break;
        }
        case 35:    // SETWORLDTRANSFORM
        case 36: {  // MODIFYWORLDTRANSFORM
            float f[6];
            for (float& v : f) {
                const uint32_t bits = in.U32LE();
                std::memcpy(&v, &bits, 4);
            }
            const uint32_t mode = type == 36 ? in.U32LE() : 4;
            if (in.Failed()) break;
            const Xform x{f[0], f[1], f[2], f[3], f[4], f[5]};
            if (!x.Finite()) break;
            Xform result = m_dc.world;
            switch (mode) {
                case 1:
                    result = Xform{};
                    break;
                case 2:
                    result = x.Then(m_dc.world);
                    break;
                case 3:
                    result = m_dc.world.Then(x);
                    break;
                case 4:
                    result = x;
                    break;
                default:
                    break;
            }
            if (result.Finite()) m_dc.world = result;
            break;
        }
        case 37: {  // SELECTOBJECT
            const uint32_t index = in.U32LE();
            if (in.Failed()) break;
            if (index & 0x80000000u) {
                SelectStock(index & 0x7FFFFFFFu);
            } else {
                Select(index);
            }
            break;
        }
        case 38: {  // CREATEPEN
            const uint32_t index = in.U32LE();
            const uint32_t style = in.U32LE();
            const int32_t width = in.S32LE();
            in.Skip(4);
            const uint32_t colour = in.U32LE();
            if (in.Failed()) break;
            GdiObject o;
            o.type = GdiObject::Type::Pen;
            o.pen.null = (style & 0x0F) == kPsNull;
            o.pen.colour = FromColorRef(colour);
            o.pen.width = std::fabs(double(width));
            o.pen.cosmetic = width == 0;
            SetEmfObject(index, o);
            break;
        }
        case 95: {  // EXTCREATEPEN
            const uint32_t index = in.U32LE();
            in.Skip(16);  // pattern bitmap offsets
            const uint32_t style = in.U32LE();
            const uint32_t width = in.U32LE();
            const uint32_t brushStyle = in.U32LE();
            const uint32_t colour = in.U32LE();
            if (in.Failed()) break;
            GdiObject o;
            o.type = GdiObject::Type::Pen;
            o.pen.null = (style & 0x0F) == kPsNull || brushStyle == kBsNull;
            o.pen.colour = FromColorRef(colour);
            o.pen.cosmetic = !(style & kPsGeometric) || width == 0;
            o.pen.width = width;
            SetEmfObject(index, o);
            break;
        }
        case 39: {  // CREATEBRUSHINDIRECT
            const uint32_t index = in.U32LE();
            const uint32_t style = in.U32LE();
            const uint32_t colour = in.U32LE();
            const uint32_t hatch = in.U32LE();
            if (in.Failed()) break;
            GdiObject o;
            o.type = GdiObject::Type::Brush;
            o.brush = MakeBrush(style, colour, hatch);
            SetEmfObject(index, o);
            break;
        }
        case 93:    // CREATEMONOBRUSH
        case 94: {  // CREATEDIBPATTERNBRUSHPT
            const uint32_t index = in.U32LE();
            in.Skip(4);  // colour usage
            const uint32_t offBmi = in.U32LE(), cbBmi = in.U32LE();
            const uint32_t offBits = in.U32LE(), cbBits = in.U32LE();
            if (in.Failed()) break;
            SetEmfObject(index, PatternBrush(RecordDib(record, offBmi, cbBmi, offBits, cbBits)));
            break;
        }
        case 40: {  // DELETEOBJECT
            const uint32_t index = in.U32LE();
            if (!in.Failed() && index < m_objects.size()) m_objects[index] = GdiObject{};
            break;
        }
        case 42:    // ELLIPSE
        case 43: {  // RECTANGLE
            const double l = s32(), t = s32(), r = s32(), b = s32();
            if (in.Failed()) break;
            if (type == 42) {
                Ellipse(l, t, r, b);
            } else {
                Rectangle(l, t, r, b);
            }
            break;
        }
        case 44: {  // ROUNDRECT
            const double l = s32(), t = s32(), r = s32(), b = s32(), w = s32(), h = s32();
            if (!in.Failed()) RoundRect(l, t, r, b, w, h);
            break;
        }
        case 45:    // ARC
        case 46:    // CHORD
        case 47:    // PIE
        case 55: {  // ARCTO
            const double l = s32(), t = s32(), r = s32(), b = s32();
            const PointD start = point(), end = point();
            if (in.Failed()) break;
            const ArcKind kind = type == 45   ? ArcKind::Arc
                                 : type == 46 ? ArcKind::Chord
                                 : type == 47 ? ArcKind::Pie
                                              : ArcKind::ArcTo;
            ArcShape(kind, l, t, r, b, start, end);
            break;
        }
        case 57: {  // SETARCDIRECTION
            const uint32_t dir = in.U32LE();
            if (!in.Failed()) m_dc.clockwiseArcs = dir == 2;
            break;
        }
        case 59:  // BEGINPATH
            m_path.clear();
            m_pathPoints = 0;
            m_inPath = true;
            m_figureOpen = false;
            break;
        case 60:  // ENDPATH
            m_inPath = false;
            m_figureOpen = false;
            break;
        case 61:  // CLOSEFIGURE
            if (m_figureOpen && !m_path.empty()) m_path.back().closed = true;
            m_figureOpen = false;
            break;
        case 68:  // ABORTPATH
            m_path.clear();
            m_pathPoints = 0;
            m_inPath = false;
            m_figureOpen = false;
            break;
        case 62:    // FILLPATH
        case 63:    // STROKEANDFILLPATH
        case 64: {  // STROKEPATH
            if (m_inPath) break;
            if (type != 64) {
                std::vector<Contour> contours;
                for (const Figure& f : m_path) contours.push_back(f.points);
                FillWithBrush(contours, m_dc.brush, m_dc.fillRule);
            }
            if (type != 62) {
                for (const Figure& f : m_path) Stroke(f.points, f.closed);
            }
            m_path.clear();
            m_pathPoints = 0;
            break;
        }
        case 67:  // SELECTCLIPPATH: the path is used up, the clip left as it is
            if (!m_inPath) {
                m_path.clear();
                m_pathPoints = 0;
            }
            break;
        case 76:          // BITBLT
        case 77: {        // STRETCHBLT
            in.Skip(16);  // bounds
            const double dx = s32(), dy = s32(), dw = s32(), dh = s32();
            const uint32_t rop = in.U32LE();
            const double sx = s32(), sy = s32();
            in.Skip(24 + 4 + 4);  // source transform, background colour, colour usage
            const uint32_t offBmi = in.U32LE(), cbBmi = in.U32LE();
            const uint32_t offBits = in.U32LE(), cbBits = in.U32LE();
            double sw = dw, sh = dh;
            if (type == 77) {
                sw = s32();
                sh = s32();
            }
            if (in.Failed()) break;
            if (cbBmi == 0) {
                Blit(nullptr, 0, 0, 0, 0, 0, dx, dy, dw, dh, rop);
                break;
            }
            const auto dib = RecordDib(record, offBmi, cbBmi, offBits, cbBits);
            if (dib) Blit(&*dib, sx, sy, sw, sh, 0, dx, dy, dw, dh, rop);
            break;
        }
        case 80: {  // SETDIBITSTODEVICE
            in.Skip(16);
            const double dx = s32(), dy = s32(), sx = s32(), sy = s32(), w = s32(), h = s32();
            const uint32_t offBmi = in.U32LE(), cbBmi = in.U32LE();
            const uint32_t offBits = in.U32LE(), cbBits = in.U32LE();
            in.Skip(4);  // colour usage
            const uint32_t start = in.U32LE();
            const uint32_t scans = in.U32LE();
            if (in.Failed() || scans > kMaxImageDimension || start > kMaxImageDimension) break;
            const auto dib =
                RecordDib(record, offBmi, cbBmi, offBits, cbBits, static_cast<int>(scans));
            if (dib) Blit(&*dib, sx, sy, w, h, static_cast<int>(start), dx, dy, w, h, kSrcCopy);
            break;
        }
        case 81: {  // STRETCHDIBITS
            in.Skip(16);
            const double dx = s32(), dy = s32(), sx = s32(), sy = s32(), sw = s32(), sh = s32();
            const uint32_t offBmi = in.U32LE(), cbBmi = in.U32LE();
            const uint32_t offBits = in.U32LE(), cbBits = in.U32LE();
            in.Skip(4);  // colour usage
            const uint32_t rop = in.U32LE();
            const double dw = s32(), dh = s32();
            if (in.Failed()) break;
            const auto dib = RecordDib(record, offBmi, cbBmi, offBits, cbBits);
            if (dib) {
                Blit(&*dib, sx, sy, sw, sh, 0, dx, dy, dw, dh, rop);
            } else if (cbBmi == 0) {
                Blit(nullptr, 0, 0, 0, 0, 0, dx, dy, dw, dh, rop);
            }
            break;
        }
        default:
            break;  // text, palettes, regions, comments and the rest: not drawn
    }
    return true;
}

}  // namespace

PlayResult PlayWmfRecords(std::span<const uint8_t> records, const WmfPlacement& placement,
                          int objectCount, ImageBuffer& image) {
    Player player(image);
    player.SetWmfPlacement(placement);
    player.SetWmfObjectCount(objectCount);
    ByteReader in(records);
    for (uint64_t n = 0; n < kMaxMetafileRecords && in.Remaining() >= 6; ++n) {
        if ((n & 1023) == 0 && player.Cancelled()) return PlayResult::Cancelled;
        const size_t start = in.Position();
        const uint32_t words = in.U32LE();
        const uint16_t function = in.U16LE();
        // A record must hold its own size and function and lie inside the metafile.
        if (words < 3 || uint64_t{words} * 2 > records.size() - start) break;
        if (function == 0x0000) break;  // end of file
        player.PlayWmfRecord(function, records.subspan(start + 6, size_t{words} * 2 - 6));
        if (player.Exhausted()) break;
        in.Seek(start + size_t{words} * 2);
    }
    return PlayResult::Done;
}

PlayResult PlayEmfRecords(std::span<const uint8_t> records, const EmfFrame& frame,
                          ImageBuffer& image) {
    Player player(image);
    player.SetEmfFrame(frame);
    ByteReader in(records);
    for (uint64_t n = 0; n < kMaxMetafileRecords && in.Remaining() >= 8; ++n) {
        if ((n & 1023) == 0 && player.Cancelled()) return PlayResult::Cancelled;
        const size_t start = in.Position();
        const uint32_t type = in.U32LE();
        const uint32_t size = in.U32LE();
        if (size < 8 || size > records.size() - start) break;
        if (!player.PlayEmfRecord(type, records.subspan(start, size))) break;
        if (player.Exhausted()) break;
        in.Seek(start + size);
    }
    return PlayResult::Done;
}

}  // namespace tavolin::codecs
