#include "app/TrayIcon.h"

#include "app/TrayMessages.h"

namespace tavolin {

TrayIcon::TrayIcon(const QIcon& icon, const QString& tip, QObject* parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()), m_icon(new QSystemTrayIcon(icon, this)) {
    m_menu->setObjectName(QStringLiteral("menu138"));
    auto add = [this](Command command, const QString& text, void (TrayIcon::*signal)()) {
        QAction* a = m_menu->addAction(text);
        a->setObjectName(QStringLiteral("cmd%1").arg(int(command)));
        connect(a, &QAction::triggered, this, signal);
    };
    add(Restore, QStringLiteral("&Wiederherstellen"), &TrayIcon::restoreRequested);
    add(Generate, QStringLiteral("&Kalender erstellen"), &TrayIcon::generateRequested);
    add(Info, QStringLiteral("&Informationen"), &TrayIcon::infoRequested);
    m_menu->addSeparator();
    add(Quit, QStringLiteral("&Beenden"), &TrayIcon::quitRequested);

    m_icon->setToolTip(tip);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::activate);
    m_icon->show();
    AddTrayMessageIcon(m_icon);
}

TrayIcon::~TrayIcon() {
    RemoveTrayMessageIcon(m_icon);
    m_icon->hide();
}

QAction* TrayIcon::action(Command command) const {
    return m_menu->findChild<QAction*>(QStringLiteral("cmd%1").arg(int(command)));
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) emit restoreRequested();
}

}  // namespace tavolin
