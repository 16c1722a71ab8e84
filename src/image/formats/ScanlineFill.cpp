#include "image/formats/ScanlineFill.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tavolin::codecs {
namespace {

struct Edge {
    double yTop;     // smaller y
    double yBottom;  // larger y
    double xAtTop;
    double slope;   // dx per dy
    int direction;  // +1 downwards, -1 upwards
};

struct Crossing {
    double x;
    int direction;
};

}  // namespace

int FirstPixelAtOrAfter(double x) {
    const double v = std::ceil(x - 0.5);
    if (!(v > -1e9)) return -1'000'000'000;  // also NaN
    if (!(v < 1e9)) return 1'000'000'000;
    return static_cast<int>(v);
}

void FillContours(std::span<const Contour> contours, FillRule rule, const PixelRect& clip,
                  WorkBudget& budget, uint64_t pixelWork,
                  const std::function<void(int, int, int)>& span) {
    if (clip.Empty()) return;
    size_t points = 0;
    for (const Contour& c : contours) {
        if (c.size() >= 2) points += c.size();
    }
    if (points == 0 || points > kMaxFillEdges) return;
    if (!budget.Spend(points * kEdgeWork)) return;
    std::vector<Edge> edges;
    edges.reserve(points);
    double minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (const Contour& c : contours) {
        if (c.size() < 2) continue;
        for (size_t i = 0; i < c.size(); ++i) {
            const PointD& a = c[i];
            const PointD& b = c[(i + 1) % c.size()];
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) ||
                !std::isfinite(b.y)) {
                return;
            }
            if (a.y == b.y) continue;  // horizontal edges never cross a centre line
            Edge e;
            if (a.y < b.y) {
                e = {a.y, b.y, a.x, (b.x - a.x) / (b.y - a.y), 1};
            } else {
                e = {b.y, a.y, b.x, (a.x - b.x) / (a.y - b.y), -1};
            }
            if (!std::isfinite(e.slope)) return;  // coordinates too far apart to be drawn
            minY = std::min(minY, e.yTop);
            maxY = std::max(maxY, e.yBottom);
            edges.push_back(e);
        }
    }
    if (edges.empty()) return;
    std::sort(edges.begin(), edges.end(),
              [](const Edge& a, const Edge& b) { return a.yTop < b.yTop; });

    // Rows whose centre y + 0.5 lies in [minY, maxY).
    const int firstRow = std::max(clip.top, FirstPixelAtOrAfter(minY));
    const int endRow = std::min(clip.bottom, FirstPixelAtOrAfter(maxY));
    if (endRow <= firstRow) return;

    // Charge the rows and their crossings before any is worked out: how many edges each row
    // crosses follows from where the edges begin and end.
    std::vector<int64_t> starting(static_cast<size_t>(endRow - firstRow) + 1, 0);
    for (const Edge& e : edges) {
        const int from = std::max(firstRow, FirstPixelAtOrAfter(e.yTop));
        const int to = std::min(endRow, FirstPixelAtOrAfter(e.yBottom));
        if (to <= from) continue;
        ++starting[static_cast<size_t>(from - firstRow)];
        --starting[static_cast<size_t>(to - firstRow)];
    }
    uint64_t crossingWork = 0;
    int64_t crossing = 0;
    for (size_t r = 0; r + 1 < starting.size(); ++r) {
        crossing += starting[r];
        const auto n = static_cast<uint64_t>(crossing);
        if (n > 0) crossingWork += kRowWork + n * (kCrossingWork + std::bit_width(n));
    }
    if (!budget.Spend(crossingWork)) return;
    std::vector<const Edge*> active;
    std::vector<Crossing> crossings;
    size_t next = 0;
    // Edges that end above the first row are never needed.
    const double firstCentre = firstRow + 0.5;
    while (next < edges.size() && edges[next].yTop <= firstCentre &&
           edges[next].yBottom <= firstCentre) {
        ++next;
    }
    for (int y = firstRow; y < endRow; ++y) {
        const double centre = y + 0.5;
        while (next < edges.size() && edges[next].yTop <= centre) {
            active.push_back(&edges[next++]);
        }
        std::erase_if(active, [centre](const Edge* e) { return e->yBottom <= centre; });
        if (active.empty()) {
            if (next == edges.size()) break;
            continue;
        }
        crossings.clear();
        for (const Edge* e : active) {
            if (e->yTop > centre) continue;
            crossings.push_back({e->xAtTop + (centre - e->yTop) * e->slope, e->direction});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });

        auto emit = [&](double from, double to) {
            const int x0 = std::max(clip.left, FirstPixelAtOrAfter(from));
            const int x1 = std::min(clip.right, FirstPixelAtOrAfter(to));
            if (x1 <= x0) return true;
            if (!budget.Spend(static_cast<uint64_t>(x1 - x0) * pixelWork)) return false;
            span(y, x0, x1);
            return true;
        };
        if (rule == FillRule::Alternate) {
            for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
                if (!emit(crossings[i].x, crossings[i + 1].x)) return;
            }
        } else {
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].direction;
                if (winding != 0 && !emit(crossings[i].x, crossings[i + 1].x)) return;
            }
        }
    }
}

}  // namespace tavolin::codecs
