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
#include "platform/linux/Environment.h"

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
    std::shared_ptr<UrlOpener> opener = m_opener;
    if (!opener) opener = MakeSystemUrlOpener(EnvironmentEntries(ReadProcessEnvironment()));
    QThreadPool::globalInstance()->start([self, target, opener] {
        const int result = opener->Open(target);
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
        MessageBox::show(window(), ErrorMessage(result), tr("Fehler"), MessageBox::Icon::Warning);
    }
    emit opened(result);
}

QString HyperLink::ErrorMessage(int result) {
    QString reason;
    switch (result) {
        case 0:
            reason = tr("Das Betriebssystem hat nicht genügend\nSpeicher oder Ressourcen.");
            break;
        case 2:
            reason = tr("Die angegebene Datei wurde nicht gefunden.");
            break;
        case 3:
            reason = tr("Der angegebene Pfad wurde nicht gefunden.");
            break;
        case 5:
            reason = tr("Das Betriebssystem hat den Zugriff\nauf die angegebene Datei verweigert.");
            break;
        case 8:
            reason = tr("Der Speicher reicht für diesen Vorgang nicht aus.");
            break;
        case 11:
            reason = tr("Die .EXE-Datei ist ungültig\n(keine Win32-.EXE oder Fehler im .EXE-Abbild).");
            break;
        case 26:
            reason = tr("Es ist eine Freigabeverletzung aufgetreten. ");
            break;
        case 27:
            reason = tr("Die Dateizuordnung ist\nunvollständig oder ungültig.");
            break;
        case 28:
            reason = tr(
                "Die DDE-Transaktion konnte nicht\nabgeschlossen werden, weil die Anfrage zu "
                "lange dauerte.");
            break;
        case 29:
            reason = tr("Die DDE-Transaktion ist fehlgeschlagen.");
            break;
        case 30:
            reason = tr(
                "Die DDE-Transaktion konnte nicht\nabgeschlossen werden, weil andere "
                "DDE-Transaktionen\nbearbeitet wurden.");
            break;
        case 31:
            reason = tr("Mit dieser Dateinamenerweiterung ist\nkein Programm verknüpft.");
            break;
        case 32:
            reason = tr("Die angegebene Programmbibliothek wurde nicht gefunden.");
            break;
        default:
            reason = tr("Unbekannter Fehler (%1) aufgetreten.").arg(result);
            break;
    }
    return tr("Der Link kann nicht geöffnet werden:\n\n") + reason;
}

}  // namespace tavolin::ui
