#pragma once
// Dialog units to pixels, as Windows lays out dialog templates: the base units come from the
// dialog font (horizontal: the average width of "a".."z" and "A".."Z", rounded; vertical: the
// font height), and x = du * baseX / 4, y = du * baseY / 8, each rounded to the nearest pixel.
// Rectangles convert their edges, not their sizes, so neighbouring controls stay flush.

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace tavolin::ui {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    /// Known base units (both at least 1).
    DialogUnits(int baseX, int baseY);
    /// The base units of the widget's font (a dialog's font is inherited by its controls).
    static DialogUnits of(const QWidget* widget);

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

    int x(int du) const;
    int y(int du) const;
    /// A rectangle of the dialog template (left, top, width, height in dialog units).
    QRect rect(int left, int top, int width, int height) const;
    QSize size(int width, int height) const;

    /// Places the widget at the rectangle given in dialog units.
    void place(QWidget* widget, int left, int top, int width, int height) const;

private:
    int m_baseX = 0;
    int m_baseY = 0;
};

}  // namespace tavolin::ui
