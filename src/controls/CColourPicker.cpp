#include "controls/CColourPicker.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include "controls/AccessibleName.h"
#include "controls/ColourDropDown.h"
#include "controls/ControlId.h"

namespace tavolin::ui {

CColourPicker::CColourPicker(QWidget* parent)
    : QPushButton(parent),
      m_colour(FromQColor(palette().color(QPalette::Button))),
      m_textColour(FromQColor(palette().color(QPalette::ButtonText))),
      m_defaultText(tr("Automatisch")),
      m_customText(tr("Weitere ...")) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(this, &QPushButton::clicked, this, &CColourPicker::OpenPopup);
    ApplySizeLimits();
    UpdateDescription();
}

CColourPicker::~CColourPicker() {
    // The popup is our child; it must not report into a half-destroyed picker.
    if (m_popup) m_popup->disconnect(this);
}

int CColourPicker::EdgeWidth() const {
    return std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this));
}

int CColourPicker::ArrowSize() const {
    const int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return std::max(5 * EdgeWidth(), scroll);
}

QSize CColourPicker::RequiredSize() const {
    const int e = EdgeWidth();
    const int d = ArrowSize();
    return QSize(2 * (e + d), d + 2 * e);
}

QSize CColourPicker::sizeHint() const {
    const QSize required = RequiredSize();
    if (text().isEmpty()) return required;
    const int textWidth = fontMetrics().horizontalAdvance(text()) + 4 * EdgeWidth();
    return QSize(std::max(required.width(), textWidth + ArrowSize() + 2 * EdgeWidth()),
                 required.height());
}

QSize CColourPicker::minimumSizeHint() const {
    return RequiredSize();
}

QRect CColourPicker::ArrowRect() const {
    const int e = EdgeWidth();
    const int d = ArrowSize();
    const QRect r = rect();
    return QRect(QPoint(r.right() + 1 - d - e, r.top() + e), QPoint(r.right() - e, r.bottom() - e));
}

void CColourPicker::ApplySizeLimits() {
    // The button keeps the arrow's height (or the taller one its dialog asks for) and at least
    // twice its width; the limits hold for every later setGeometry as well.
    const QSize required = RequiredSize();
    const int height = std::max(required.height(), m_templateHeight);
    setMinimumSize(required.width(), height);
    setMaximumHeight(height);
    resize(std::max(width(), required.width()), height);
}

void CColourPicker::SetTemplateHeight(int pixels) {
    m_templateHeight = std::max(0, pixels);
    ApplySizeLimits();
}

void CColourPicker::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::StyleChange) ApplySizeLimits();
}

void CColourPicker::showEvent(QShowEvent* event) {
    NameFromBuddyLabel(this);
    QPushButton::showEvent(event);
}

void CColourPicker::ChangeColour(ColourValue colour) {
    m_colour = NormalColour(colour);
    UpdateDescription();
    update();
}

void CColourPicker::ChangeTextColour(ColourValue colour) {
    m_textColour = NormalColour(colour);
    update();
}

void CColourPicker::UpdateDescription() {
    QString name;
    if (m_colour == kAutomaticColour) {
        name = m_defaultText.isEmpty() ? tr("Automatisch") : m_defaultText;
    } else {
        for (const ColourTableEntry& e : ColourTable()) {
            if (e.Value() == m_colour) name = QString::fromUtf8(e.name);
        }
        if (name.isEmpty()) name = ToQColor(m_colour).name();
    }
    setAccessibleDescription(name);
}

bool CColourPicker::ConfigureStorage(const std::filesystem::path& path, const std::string& section,
                                     const std::string& keyPrefix) {
    m_section = section;
    m_keyPrefix = keyPrefix;
    m_ini = IniFile();
    return m_ini.Open(path, false) || m_ini.Open(path, true);
}

void CColourPicker::Store(ColourValue colour) {
    if (!m_ini.IsOpen()) return;
    // Automatic has no colour bytes: it is stored as black, as it always was.
    const ColourValue c = colour == kAutomaticColour ? 0 : colour;
    m_ini.WriteValue(m_section, m_keyPrefix + "Rot", std::to_string(RedOf(c)), true);
    m_ini.WriteValue(m_section, m_keyPrefix + "Gruen", std::to_string(GreenOf(c)), true);
    m_ini.WriteValue(m_section, m_keyPrefix + "Blau", std::to_string(BlueOf(c)), true);
}

void CColourPicker::OpenPopup() {
    if (m_popupOpen || !isEnabled()) return;
    m_popupOpen = true;
    const QPoint below = mapToGlobal(QPoint(0, height()));
    const int top = mapToGlobal(QPoint(0, 0)).y();
    auto* popup = new ColourDropDown(below, top, m_colour, this, m_defaultText, m_customText);
    m_popup = popup;
    connect(popup, &ColourDropDown::colourHot, this, &CColourPicker::OnColourHot);
    connect(popup, &ColourDropDown::colourConfirmed, this, &CColourPicker::OnColourConfirmed);
    connect(popup, &ColourDropDown::colourCancelled, this, &CColourPicker::OnColourCancelled);
    popup->show();
    popup->setFocus(Qt::PopupFocusReason);
    update();
    emit colourListOpened(m_colour, ControlId(this));
}

void CColourPicker::OnColourHot(ColourValue colour) {
    if (m_trackSelection) ChangeColour(colour);
    emit colourHot(colour, ControlId(this));
}

void CColourPicker::OnColourCancelled(ColourValue colour) {
    m_popupOpen = false;
    ChangeColour(colour);
    emit colourListClosed(colour, ControlId(this));
    emit colourCancelled(colour, ControlId(this));
}

void CColourPicker::OnColourConfirmed(ColourValue colour) {
    m_popupOpen = false;
    ChangeColour(colour);
    emit colourListClosed(colour, ControlId(this));
    emit colourConfirmed(colour, ControlId(this));
    Store(m_colour);
}

void CColourPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const int e = EdgeWidth();
    const bool enabled = isEnabled();

    // The drop-down arrow: a small button with a down arrow, pushed while open or pressed.
    const QRect arrow = ArrowRect();
    const bool pushed = m_popupOpen || isDown();
    qDrawWinButton(&p, arrow, pal, pushed, &pal.brush(QPalette::Button));
    QStyleOption arrowOption;
    arrowOption.initFrom(this);
    arrowOption.rect = arrow.adjusted(3, 3, -3, -3).translated(pushed ? 1 : 0, pushed ? 1 : 0);
    arrowOption.state = enabled ? QStyle::State_Enabled : QStyle::State_None;
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrowOption, &p, this);

    qDrawWinPanel(&p, rect(), pal, true);
    QRect face = rect().adjusted(e, e, -e, -e);
    face.setRight(arrow.left() - 1);
    const bool automatic = m_colour == kAutomaticColour;
    p.fillRect(face, !enabled || automatic ? pal.color(QPalette::Button) : ToQColor(m_colour));

    if (!text().isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
        if (!enabled) {
            p.setPen(pal.color(QPalette::Light));
            p.drawText(face.translated(1, 1), flags, text());
            p.setPen(pal.color(QPalette::Dark));
        } else {
            p.setPen(m_textColour == kAutomaticColour ? QColor(Qt::black) : ToQColor(m_textColour));
        }
        p.drawText(face, flags, text());
    }

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = face.adjusted(1, 1, -1, -1);
        focus.backgroundColor = automatic ? pal.color(QPalette::Button) : ToQColor(m_colour);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

}  // namespace tavolin::ui
