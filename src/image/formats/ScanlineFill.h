#pragma once
// Scanline polygon filling for the metafile player: one pass per pixel row over the edges that
// cross the row's centre line, sorted by x, turned into spans by the alternate (even-odd) or
// winding (non-zero) rule. A pixel is inside when its centre is; so a rectangle from 10 to 20
// covers pixels 10 to 19, the way the Windows graphics interface fills.

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tavolin::codecs {

struct PointD {
    double x = 0;
    double y = 0;
};

/// A closed outline; the last point joins the first.
using Contour = std::vector<PointD>;

enum class FillRule { Alternate, Winding };

/// Pixel rectangle, right and bottom exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

/// Limits the total work of one picture, so that a small hostile file cannot keep the player
/// busy for long. Work is charged before it is done, in units of roughly the time one pixel of
/// a solid fill takes; once a charge fails, drawing stops.
class WorkBudget {
public:
    explicit WorkBudget(uint64_t units) : m_left(units) {}
    bool Spend(uint64_t units) {
        if (units > m_left) {
            m_left = 0;
            return false;
        }
        m_left -= units;
        return true;
    }
    bool Exhausted() const { return m_left == 0; }

private:
    uint64_t m_left;
};

/// The first pixel whose centre lies at or right of (or below) the coordinate, kept within
/// +-1e9; NaN gives the lower end.
int FirstPixelAtOrAfter(double coordinate);

/// Most edges one fill may have; a larger shape is skipped, to keep memory small.
inline constexpr size_t kMaxFillEdges = size_t{1} << 20;
/// Work units of one edge (building and sorting it), of a pixel row the shape covers (most of
/// it the memory the row's spans first touch) and of one edge crossing a row (among n in a
/// row, this plus log2 n for the sorting).
inline constexpr uint64_t kEdgeWork = 24;
inline constexpr uint64_t kRowWork = 96;
inline constexpr uint64_t kCrossingWork = 24;

/// Calls span(y, x0, x1) for every run of pixels x0 <= x < x1 in row y inside the contours and
/// the clip rectangle, after charging the edges and their crossings to the budget; each span
/// is charged pixelWork units a pixel before it is handed over. Points that are not finite,
/// more than kMaxFillEdges edges or a failed charge make the whole shape be skipped (the last
/// leaves the budget spent).
void FillContours(std::span<const Contour> contours, FillRule rule, const PixelRect& clip,
                  WorkBudget& budget, uint64_t pixelWork,
                  const std::function<void(int, int, int)>& span);

}  // namespace tavolin::codecs
