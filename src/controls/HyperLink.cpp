#include "controls/HyperLink.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QThreadPool>

#include "controls/MessageBox.h"
#include "controls/Sound.h"
#include "platform/OpenUrl.h"

namespace tavolin::ui {

HyperLink::HyperLink(QWidget* parent) : HyperLink(QString(), parent) {}

HyperLink::HyperLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    m_hoverColour = palette().color(QPalette::Highlight);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    // A dialog's static text sits at the top unless centring is asked for.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    UpdateColour();
}

void HyperLink::Attach() {
    if (m_attached) return;
    m_attached = true;
    if (m_target.isEmpty()) m_target = text();
    if (text().isEmpty()) setText(m_target);
    QFont linkFont = font();
    linkFont.setUnderline(m_underline);
    setFont(linkFont);
    AdjustWindow();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_target);
    if (accessibleName().isEmpty()) setAccessibleName(text());
    setAccessibleDescription(m_target);
    UpdateColour();
}

void HyperLink::showEvent(QShowEvent* event) {
    Attach();
    QLabel::showEvent(event);
}

void HyperLink::AdjustWindow() {
    if (!m_adjustToFit) return;
    const QSize textSize = QFontMetrics(font()).size(Qt::TextSingleLine, text());
    QRect r = geometry();
    const Qt::Alignment a = alignment();
    if (a & Qt::AlignVCenter) {
        const int centre = r.top() + r.height() / 2;
        r.setTop(centre - textSize.height() / 2);
    }
    r.setHeight(textSize.height());
    if (a & Qt::AlignHCenter) {
        const int centre = r.left() + r.width() / 2;
        r.setLeft(centre - textSize.width() / 2);
        r.setWidth(textSize.width());
    } else if (a & Qt::AlignRight) {
        const int right = r.right();
        r.setWidth(textSize.width());
        r.moveRight(right);
    } else {
        r.setWidth(textSize.width());
    }
    setGeometry(r);
}

void HyperLink::SetTipText(const QString& tip) {
    if (m_attached) AdjustWindow();
    setToolTip(tip);
}

void HyperLink::SetVisited(bool visited) {
    m_visited = visited;
    UpdateColour();
}

void HyperLink::SetLinkColour(const QColor& colour) {
    m_linkColour = colour;
    UpdateColour();
}

void HyperLink::SetVisitedColour(const QColor& colour) {
    m_visitedColour = colour;
    UpdateColour();
}

void HyperLink::SetHoverColour(const QColor& colour) {
    m_hoverColour = colour;
    UpdateColour();
}

void HyperLink::SetUnderline(bool underline) {
    m_underline = underline;
    if (m_attached) {
        QFont f = font();
        f.setUnderline(underline);
        setFont(f);
    }
}

QColor HyperLink::CurrentTextColour() const {
    if (m_overControl) return m_hoverColour;
    return m_visited ? m_visitedColour : m_linkColour;
}

void HyperLink::UpdateColour() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, CurrentTextColour());
    setPalette(pal);
    repaint();
}

void HyperLink::SetOver(bool over) {
    if (over == m_overControl) return;
    m_overControl = over;
    UpdateColour();
}

void HyperLink::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    SetOver(true);
}

void HyperLink::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    SetOver(false);
}

void HyperLink::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    SetOver(rect().contains(event->position().toPoint()));
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Open();
    }
}

void HyperLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void HyperLink::Open() {
    Attach();
    if (m_opening) return;
    m_opening = true;
    // The desktop's handler may take a while to start; the dialog stays responsive.
    QPointer<HyperLink> self(this);
    const std::string target = m_target.toStdString();
    QThreadPool::globalInstance()->start([self, target] {
        const int result = OpenUrl(target);
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [self, result] {
                    if (self) self->Finished(result);
                },
                Qt::QueuedConnection);
        }
    });
}

void HyperLink::Finished(int result) {
    m_opening = false;
    if (result > 32) {
        SetVisited(true);
    } else {
        Sound::exclamation();
        MessageBox::show(window(), ErrorMessage(result), QGuiApplication::applicationDisplayName(),
                         MessageBox::Icon::Warning);
    }
    emit opened(result);
}

QString HyperLink::ErrorMessage(int result) {
    QString reason;
    switch (result) {
        case 0:
            reason = QStringLiteral("The operating system is out\nof memory or resources.");
            break;
        case 2:
            reason = QStringLiteral("The specified file was not found.");
            break;
        case 3:
            reason = QStringLiteral("The specified path was not found.");
            break;
        case 5:
            reason = QStringLiteral("The operating system denied\naccess to the specified file.");
            break;
        case 8:
            reason = QStringLiteral("There was not enough memory to complete the operation.");
            break;
        case 11:
            reason = QStringLiteral(
                "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
            break;
        case 26:
            reason = QStringLiteral("A sharing violation occurred. ");
            break;
        case 27:
            reason = QStringLiteral("The filename association is\nincomplete or invalid.");
            break;
        case 28:
            reason = QStringLiteral(
                "The DDE transaction could not\nbe completed because the request timed out.");
            break;
        case 29:
            reason = QStringLiteral("The DDE transaction failed.");
            break;
        case 30:
            reason = QStringLiteral(
                "The DDE transaction could not\nbe completed because other DDE "
                "transactions\nwere being processed.");
            break;
        case 31:
            reason = QStringLiteral(
                "There is no application associated\nwith the given filename extension.");
            break;
        case 32:
            reason = QStringLiteral("The specified dynamic-link library was not found.");
            break;
        default:
            reason = QStringLiteral("Unknown Error (%1) occurred.").arg(result);
            break;
    }
    return QStringLiteral("Unable to open hyperlink:\n\n") + reason;
}

}  // namespace tavolin::ui
