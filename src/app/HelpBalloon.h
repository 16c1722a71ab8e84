#pragma once
// The help balloon shown for F1: a rounded tool-tip coloured bubble with a pointer whose tip
// ends at the control it explains. It closes on a click, inside or outside.

#include <QPainterPath>
#include <QWidget>

namespace tavolin {

class HelpBalloon : public QWidget {
    Q_OBJECT

public:
    /// Balloon for a control whose screen rectangle has its centre at anchor; its width rule
    /// depends on the client width of the dialog it belongs to.
    HelpBalloon(const QString& title, const QString& text, QPoint anchor, QWidget* dialog);

    const QString& title() const { return m_title; }
    const QString& text() const { return m_text; }

    /// Size from the text length: t = characters x average character width; the width is t up
    /// to the dialog's client width, the height (t / client width + 6) character heights.
    static QSize SizeFor(const QString& text, int dialogWidth, const QFontMetrics& metrics);
    /// Where the pointer's tip lies from the left edge (its bottom row).
    static int TipOffset(int width);
    /// The visible shape: rounded rectangle over the top three quarters and the pointer.
    static QPainterPath Shape(QSize size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect textArea() const;

    QString m_title;
    QString m_text;
};

}  // namespace tavolin
