#include "controls/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>
#include <cstdint>

namespace tavolin::ui {
namespace {

// a * b / c rounded half away from zero, as Windows' MulDiv.
int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const int64_t p = int64_t{a} * b;
    const int64_t half = (c > 0 ? c : -c) / 2;
    const int64_t q = ((p < 0) != (c < 0)) ? (p - half) / c : (p + half) / c;
    return static_cast<int>(q);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    m_baseX = (width / 26 + 1) / 2;
    m_baseY = fm.height();
    if (m_baseX < 1) m_baseX = 1;
    if (m_baseY < 1) m_baseY = 1;
}

DialogUnits::DialogUnits(int baseX, int baseY)
    : m_baseX(baseX < 1 ? 1 : baseX), m_baseY(baseY < 1 ? 1 : baseY) {}

DialogUnits DialogUnits::of(const QWidget* widget) {
    return DialogUnits(widget->font());
}

int DialogUnits::x(int du) const {
    return MulDiv(du, m_baseX, 4);
}
int DialogUnits::y(int du) const {
    return MulDiv(du, m_baseY, 8);
}

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    const int l = x(left);
    const int t = y(top);
    return QRect(l, t, x(left + width) - l, y(top + height) - t);
}

QSize DialogUnits::size(int width, int height) const {
    return QSize(x(width), y(height));
}

void DialogUnits::place(QWidget* widget, int left, int top, int width, int height) const {
    widget->setGeometry(rect(left, top, width, height));
}

}  // namespace tavolin::ui
