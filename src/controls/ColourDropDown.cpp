#include "controls/ColourDropDown.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolTip>

#include "controls/CColourPicker.h"
#include "controls/ColourDialog.h"

namespace tavolin::ui {

const std::array<ColourTableEntry, 40>& ColourTable() {
    // The names are shown as tooltips exactly as the program has always spelled them.
    static const std::array<ColourTableEntry, 40> table = {{
        {0, 0, 0, "Schwarz"},
        {165, 42, 0, "Braun"},
        {0, 64, 64, "Dunkel Olive Grün"},
        {0, 85, 0, "Dunkel Grün"},
        {0, 0, 94, "Dunkel Teal"},
        {0, 0, 139, "Dunkel Blau"},
        {75, 0, 130, "Indigo"},
        {40, 40, 40, "Dunekl Grau"},
        {139, 0, 0, "Dunkel Rot"},
        {255, 104, 32, "Orange"},
        {139, 139, 0, "DunkelGrau"},
        {0, 147, 0, "Grün"},
        {56, 142, 142, "Teal"},
        {0, 0, 255, "Blau"},
        {123, 123, 192, "Blau-Grau"},
        {102, 102, 102, "Grau - 40"},
        {255, 0, 0, "Rot"},
        {255, 173, 91, "Hell Orange"},
        {50, 205, 50, "Limone"},
        {60, 179, 113, "See Grün"},
        {127, 255, 212, "Aqua"},
        {125, 158, 192, "Hell Blau"},
        {128, 0, 128, "Violett"},
        {127, 127, 127, "Grau - 50"},
        {255, 192, 203, "Pink"},
        {255, 215, 0, "Gold"},
        {255, 255, 0, "Gelb"},
        {0, 255, 0, "Hell Grün"},
        {64, 224, 208, "Turquise"},
        {192, 255, 255, "Himmelblau"},
        {72, 0, 72, "Pflaume"},
        {192, 192, 192, "Hell Grau"},
        {255, 228, 225, "Rosa"},
        {210, 180, 140, "Sonnenbraun"},
        {255, 255, 224, "Hell Gelb"},
        {152, 251, 152, "Schwach Grün"},
        {175, 238, 238, "Schwach Turquise"},
        {104, 131, 139, "Schwach Blau"},
        {230, 230, 250, "Lavendel"},
        {255, 255, 255, "Weiß"},
    }};
    return table;
}

ColourDropDown::ColourDropDown(QPoint point, int buttonTop, ColourValue colour,
                               CColourPicker* picker, const QString& defaultText,
                               const QString& customText)
    : QWidget(picker, Qt::Popup | Qt::FramelessWindowHint),
      m_picker(picker),
      m_defaultText(defaultText),
      m_customText(customText),
      m_initial(NormalColour(colour)) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The click that closes the popup must not reopen it on the picker.
    setAttribute(Qt::WA_NoMouseReplay);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QApplication::font("QMessageBox"));
    setAccessibleName(tr("Farbauswahl"));

    m_margin = std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this));
    m_boxSize = std::max(18, 2 * m_margin + 7);
    Layout(point, buttonTop);

    if (m_initial == kAutomaticColour) {
        if (HasDefault()) m_chosen = AutomaticItem;
    } else {
        for (int i = 0; i < kColours; ++i) {
            if (ColourTable()[i].Value() == m_initial) {
                m_chosen = i;
                break;
            }
        }
        if (m_chosen == NoItem && HasCustom()) m_chosen = CustomItem;
    }
    qApp->installEventFilter(this);
}

ColourDropDown::~ColourDropDown() {
    if (qApp) qApp->removeEventFilter(this);
}

void ColourDropDown::Layout(QPoint point, int buttonTop) {
    const int m = m_margin;
    const QFontMetrics fm(font());
    const QSize defaultSize = HasDefault() ? fm.size(Qt::TextSingleLine, m_defaultText) : QSize();
    const QSize customSize = HasCustom() ? fm.size(Qt::TextSingleLine, m_customText) : QSize();
    const int textHeight = std::max(defaultSize.height(), customSize.height()) + 4 * m + 2;
    const int textWidth = std::max(defaultSize.width(), customSize.width()) + 2 * m;

    int width = kColumns * m_boxSize + 2 * m;
    int height = kRows * m_boxSize + 2 * m;
    m_gridTop = m;
    if (HasDefault()) {
        width = std::max(width, textWidth);
        m_defaultBox = QRect(QPoint(m, m), QPoint(width - m - 1, textHeight + 2 * m - 1));
        height += textHeight + 3 * m;
        m_gridTop += textHeight + 2 * m;
    }
    if (HasCustom()) {
        width = std::max(width, textWidth);
        m_customBox = QRect(QPoint(m, height), QPoint(width - m - 1, height + textHeight + m - 1));
        height += textHeight + 3 * m;
    }
    if (HasDefault()) m_defaultBox.setRight(width - m - 1);

    QRect window(point, QSize(width, height));
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        if (window.right() > area.right()) window.moveRight(area.right());
        if (window.left() < area.left()) window.moveLeft(area.left());
        // No room below: open upwards, the bottom edge on the button's top.
        if (window.bottom() > area.bottom()) window.moveBottom(buttonTop - 1);
        if (window.top() < area.top()) window.moveTop(area.top());
    }
    setGeometry(window);
}

QRect ColourDropDown::CellRect(int index) const {
    if (index < 0 || index >= kColours) return QRect();
    const int row = index / kColumns;
    const int column = index % kColumns;
    return QRect(column * m_boxSize + m_margin, row * m_boxSize + m_gridTop, m_boxSize, m_boxSize);
}

int ColourDropDown::ItemAt(QPoint pos) const {
    if (HasDefault() && m_defaultBox.contains(pos)) return AutomaticItem;
    if (HasCustom() && m_customBox.contains(pos)) return CustomItem;
    const int x = pos.x() - m_margin;
    const int y = pos.y() - m_gridTop;
    if (x < 0 || y < 0) return NoItem;
    const int column = x / m_boxSize;
    const int row = y / m_boxSize;
    if (column >= kColumns || row >= kRows) return NoItem;
    const int index = row * kColumns + column;
    return index < kColours ? index : NoItem;
}

ColourValue ColourDropDown::ColourOfItem(int item) const {
    if (item >= 0 && item < kColours) return ColourTable()[item].Value();
    if (item == AutomaticItem) return kAutomaticColour;
    return m_initial;
}

int ColourDropDown::ItemAfterKey(int item, int key) const {
    const int last = kColours - 1;
    const bool automatic = HasDefault();
    const bool custom = HasCustom();
    // With nothing hot yet, the walk starts from the initially chosen item.
    if (item == NoItem) item = m_chosen;
    if (item == NoItem) return 0;
    switch (key) {
        case Qt::Key_Left:
            if (item == AutomaticItem) return custom ? CustomItem : last;
            if (item == CustomItem) return last;
            if (item > 0) return item - 1;
            return automatic ? AutomaticItem : custom ? CustomItem : last;
        case Qt::Key_Right:
            if (item == AutomaticItem) return 0;
            if (item == CustomItem) return automatic ? AutomaticItem : 0;
            if (item < last) return item + 1;
            return custom ? CustomItem : automatic ? AutomaticItem : 0;
        case Qt::Key_Up:
            if (item == AutomaticItem) return custom ? CustomItem : last;
            if (item == CustomItem) return last;
            if (item >= kColumns) return item - kColumns;
            return automatic ? AutomaticItem : custom ? CustomItem : last;
        case Qt::Key_Down:
            if (item == AutomaticItem) return 0;
            if (item == CustomItem) return automatic ? AutomaticItem : 0;
            if (item + kColumns <= last) return item + kColumns;
            return custom ? CustomItem : automatic ? AutomaticItem : 0;
        default:
            return item;
    }
}

void ColourDropDown::ChangeHot(int item) {
    if (item == m_hot) return;
    m_hot = item;
    update();
    emit colourHot(ColourOfItem(item));
}

void ColourDropDown::Confirm() {
    if (m_finished) return;
    if (m_hot == CustomItem) {
        // The dialog is modal; the popup steps aside first so it does not hold the mouse.
        m_finished = true;
        hide();
        const std::optional<QColor> chosen =
            ColourDialog::getColour(m_picker ? m_picker->window() : nullptr, ToQColor(m_initial));
        if (chosen) {
            Finish(true, FromQColor(*chosen));
        } else {
            Finish(false, m_initial);
        }
        return;
    }
    Finish(true, m_hot == NoItem ? m_initial : ColourOfItem(m_hot));
}

void ColourDropDown::Cancel() {
    if (m_finished) return;
    Finish(false, m_initial);
}

void ColourDropDown::Finish(bool confirmed, ColourValue colour) {
    m_finished = true;
    releaseMouse();
    if (confirmed) {
        emit colourConfirmed(colour);
    } else {
        emit colourCancelled(colour);
    }
    close();
}

void ColourDropDown::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Closed from outside (a click elsewhere, the window manager): nothing was chosen.
    if (!m_finished) {
        Finish(false, m_initial);
    }
}

bool ColourDropDown::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int item = ItemAt(help->pos());
        if (item >= 0) {
            QToolTip::showText(help->globalPos(), QString::fromUtf8(ColourTable()[item].name), this,
                               CellRect(item));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    if (event->type() == QEvent::PaletteChange) update();
    return QWidget::event(event);
}

bool ColourDropDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationDeactivate) Cancel();
    return QWidget::eventFilter(watched, event);
}

void ColourDropDown::mouseMoveEvent(QMouseEvent* event) {
    const int item = ItemAt(event->position().toPoint());
    if (item != NoItem) ChangeHot(item);
    QWidget::mouseMoveEvent(event);
}

void ColourDropDown::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (rect().contains(event->position().toPoint())) {
        const int item = ItemAt(event->position().toPoint());
        if (item != NoItem) m_hot = item;
        Confirm();
    } else {
        Cancel();
    }
}

void ColourDropDown::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            Confirm();
            return;
        case Qt::Key_Escape:
            Cancel();
            return;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            ChangeHot(ItemAfterKey(m_hot, event->key()));
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

// ---- painting ---------------------------------------------------------------------------

void ColourDropDown::PaintCell(QPainter& p, const QRect& cell, ColourValue colour, bool hot,
                               bool chosen, const QColor& chosenBackground, bool automatic) {
    const QPalette& pal = palette();
    p.fillRect(cell, chosen && !hot ? chosenBackground : pal.color(QPalette::Button));
    if (hot) {
        // A raised inner edge: light above and left, shadow below and right.
        qDrawShadeRect(&p, cell, pal, false, 1, 0);
    } else if (chosen) {
        qDrawShadeRect(&p, cell, pal, true, 1, 0);
    }
    const QRect swatch =
        cell.adjusted(m_margin + 1, m_margin + 1, -(m_margin + 1), -(m_margin + 1));
    if (automatic) return;
    p.setPen(pal.color(QPalette::Dark));
    p.setBrush(ToQColor(colour));
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}

void ColourDropDown::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    qDrawWinPanel(&p, rect(), pal, false);

    for (int i = 0; i < kColours; ++i) {
        PaintCell(p, CellRect(i), ColourTable()[i].Value(), i == m_hot, i == m_chosen,
                  pal.color(QPalette::Light), false);
    }
    p.setBrush(Qt::NoBrush);
    if (HasDefault()) {
        PaintCell(p, m_defaultBox, kAutomaticColour, m_hot == AutomaticItem,
                  m_chosen == AutomaticItem, pal.color(QPalette::Midlight), true);
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(Qt::NoBrush);
        const int inset = 2 * m_margin;
        p.drawRect(m_defaultBox.adjusted(inset, inset, -inset - 1, -inset - 1));
        p.setPen(pal.color(QPalette::ButtonText));
        p.drawText(m_defaultBox, Qt::AlignCenter | Qt::TextSingleLine, m_defaultText);
    }
    if (HasCustom()) {
        // The face starts below two separator lines at the top of the box.
        QRect face = m_customBox.adjusted(0, 2 * m_margin, 0, 0);
        PaintCell(p, face, kAutomaticColour, m_hot == CustomItem, m_chosen == CustomItem,
                  pal.color(QPalette::Light), true);
        const int left = m_customBox.left() + 2 * m_margin;
        const int right = m_customBox.right() - 2 * m_margin;
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(left, m_customBox.top(), right, m_customBox.top());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(left, m_customBox.top() + 1, right, m_customBox.top() + 1);
        p.setPen(pal.color(QPalette::ButtonText));
        p.drawText(face, Qt::AlignCenter | Qt::TextSingleLine, m_customText);
    }
}

}  // namespace tavolin::ui
