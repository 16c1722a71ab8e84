#include "app/UpDownArrows.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace tavolin {
namespace {

// The pause before an arrow held down starts to repeat, and the repeat period.
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatPeriodMs = 100;

}  // namespace

UpDownArrows::UpDownArrows(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Uhrzeit ändern"));
    m_repeat.setSingleShot(false);
    connect(&m_repeat, &QTimer::timeout, this, &UpDownArrows::Repeat);
}

QSize UpDownArrows::sizeHint() const {
    return QSize(16, 22);
}

void UpDownArrows::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int half = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        const bool down = m_pressed == (i == 0 ? -1 : 1);
        button.state |= down ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);
        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                               &arrow, &painter, this);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void UpDownArrows::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_pressed = event->position().y() < height() / 2 ? -1 : 1;
    update();
    emit deltaPos(m_pressed);
    m_repeat.start(kRepeatDelayMs);
}

void UpDownArrows::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_pressed = 0;
    m_repeat.stop();
    update();
}

void UpDownArrows::Repeat() {
    if (m_pressed == 0) {
        m_repeat.stop();
        return;
    }
    m_repeat.setInterval(kRepeatPeriodMs);
    emit deltaPos(m_pressed);
}

void UpDownArrows::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        emit deltaPos(-1);
    } else if (event->key() == Qt::Key_Down) {
        emit deltaPos(1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

}  // namespace tavolin
