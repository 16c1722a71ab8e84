#include "app/TrayIcon.h"

#include "app/TrayMessages.h"

namespace tavolin {

TrayIcon::TrayIcon(const QIcon& icon, const QString& tip, QObject* parent)
    : QObject(parent), m_menu(std::make_unique<QMenu>()), m_icon(new QSystemTrayIcon(icon, this)) {
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    auto add = [this](Command command, const char* name, const QString& text,
                      void (TrayIcon::*signal)()) {
        QAction* a = m_menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setProperty("commandId", int(command));
        connect(a, &QAction::triggered, this, signal);
    };
    add(Restore, "restoreAction", tr("&Wiederherstellen"), &TrayIcon::restoreRequested);
    add(Generate, "trayGenerateAction", tr("&Kalender erstellen"), &TrayIcon::generateRequested);
    add(Info, "trayInfoAction", tr("&Informationen"), &TrayIcon::infoRequested);
    m_menu->addSeparator();
    add(Quit, "trayQuitAction", tr("&Beenden"), &TrayIcon::quitRequested);

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
    for (QAction* a : m_menu->actions()) {
        if (a->property("commandId").toInt() == int(command)) return a;
    }
    return nullptr;
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) emit restoreRequested();
}

}  // namespace tavolin
