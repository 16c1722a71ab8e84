#include "app/TrayMessages.h"

#include <QList>
#include <QSystemTrayIcon>

namespace tavolin {

namespace {

QList<QSystemTrayIcon*>& LiveIcons() {
    static QList<QSystemTrayIcon*> icons;
    return icons;
}

}  // namespace

void AddTrayMessageIcon(QSystemTrayIcon* icon) {
    LiveIcons().append(icon);
}

void RemoveTrayMessageIcon(QSystemTrayIcon* icon) {
    LiveIcons().removeAll(icon);
}

bool ShowTrayMessage(const QString& title, const QString& text) {
    const QList<QSystemTrayIcon*>& icons = LiveIcons();
    for (auto it = icons.crbegin(); it != icons.crend(); ++it) {
        if ((*it)->isVisible()) {
            (*it)->showMessage(title, text, QSystemTrayIcon::Information);
            return true;
        }
    }
    return false;
}

}  // namespace tavolin
