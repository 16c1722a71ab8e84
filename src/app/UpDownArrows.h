#pragma once
// A small pair of arrow buttons, one above the other, that asks for a step: the up arrow (or the
// Up key) reports -1, the down arrow (or Down) +1, as an up-down control with its default
// range (upper end 0, lower end 100) does. Held down, an arrow repeats.

#include <QTimer>
#include <QWidget>

namespace tavolin {

class UpDownArrows : public QWidget {
    Q_OBJECT

public:
    explicit UpDownArrows(QWidget* parent = nullptr);
    QSize sizeHint() const override;

signals:
    /// A step was asked for: -1 up, +1 down.
    void deltaPos(int delta);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Repeat();

    int m_pressed = 0;  // the delta of the arrow held down, 0 for none
    QTimer m_repeat;
};

}  // namespace tavolin
