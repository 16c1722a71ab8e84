#include "app/HelpBalloon.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

namespace tavolin {

HelpBalloon::HelpBalloon(const QString& title, const QString& text, QPoint anchor, QWidget* dialog)
    : QWidget(dialog, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_title(title),
      m_text(text) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("helpBalloon"));
    setAccessibleName(title);
    setAccessibleDescription(text);
    const QSize size =
        SizeFor(text, dialog ? dialog->width() : 400, QFontMetrics(QApplication::font()));
    // The pointer's tip (0.65 W, H) ends at the control's centre.
    // Kept there: a balloon is never pushed off its control (a control near the screen's top or
    // left edge still gets the tip on its centre, the body may leave the screen a little).
    const int left = anchor.x() - TipOffset(size.width());
    const int top = anchor.y() - size.height();
    setGeometry(QRect(QPoint(left, top), size));
    setMask(QRegion(Shape(size).toFillPolygon().toPolygon()));
}

int HelpBalloon::TipOffset(int width) {
    return qRound(0.65 * width);
}

QSize HelpBalloon::SizeFor(const QString& text, int dialogWidth, const QFontMetrics& metrics) {
    const int d = qMax(1, dialogWidth);
    const int t = int(text.size()) * metrics.averageCharWidth();
    const int h = (t / d + 6) * metrics.height();
    return {qMax(1, t < d ? t : d), h};
}

QPainterPath HelpBalloon::Shape(QSize size) {
    const qreal w = size.width(), h = size.height();
    QPainterPath body;
    body.addRoundedRect(QRectF(0, 0, w, 0.75 * h), 0.09 * w, 0.125 * h);
    QPainterPath pointer;
    pointer.moveTo(0.7 * w, 0.6 * h);
    pointer.lineTo(0.93 * w, 0.6 * h);
    pointer.lineTo(0.65 * w, h);
    pointer.closeSubpath();
    return body.united(pointer);
}

QRect HelpBalloon::textArea() const {
    const int w = width(), h = height();
    return QRect(QPoint(int(0.1 * w), int(0.1 * h)), QPoint(int(0.9 * w), int(0.7 * h)));
}

void HelpBalloon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPainterPath shape = Shape(size());
    p.fillPath(shape, palette().color(QPalette::ToolTipBase));
    p.setPen(QPen(Qt::black, 1));
    p.drawPath(shape);

    const QRect area = textArea();
    const QIcon info = style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this);
    p.drawPixmap(area.left() + int(0.05 * area.width()), area.top(), info.pixmap(16, 16));

    p.setPen(palette().color(QPalette::ToolTipText));
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    QRect titleRect =
        p.boundingRect(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);
    p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_title);

    QFont normal = font();
    normal.setBold(false);
    p.setFont(normal);
    const QFontMetrics fm(normal);
    const bool oneLine = !m_text.contains(u'\n') && fm.horizontalAdvance(m_text) <= area.width();
    if (oneLine) {
        p.drawText(area, Qt::AlignCenter, m_text);
    } else {
        QRect below = area.adjusted(0, 16, 0, 0);
        if (below.top() < titleRect.bottom()) below.setTop(titleRect.bottom() + 2);
        p.drawText(below, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_text);
    }
}

void HelpBalloon::mousePressEvent(QMouseEvent*) {
    close();
}

}  // namespace tavolin
