#pragma once
// The icon in the notification area while the main window is hidden. It owns its menu and only
// reports what the user asked for; the dialog decides what happens.

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace tavolin {

class TrayIcon : public QObject {
    Q_OBJECT

public:
    /// Command ids of the notification menu, kept in the actions' property "commandId".
    enum Command { Restore = 143, Generate = 142, Info = 144, Quit = 145 };

    /// Puts the icon with its tip into the notification area at once.
    TrayIcon(const QIcon& icon, const QString& tip, QObject* parent = nullptr);
    /// Takes the icon out of the notification area.
    ~TrayIcon() override;

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* systemTrayIcon() const { return m_icon; }
    QAction* action(Command command) const;

    /// What a double-click does; a single click does nothing.
    void activate(QSystemTrayIcon::ActivationReason reason);

signals:
    void restoreRequested();
    void generateRequested();
    void infoRequested();
    void quitRequested();

private:
    std::unique_ptr<QMenu> m_menu;  // QSystemTrayIcon does not own its menu
    QSystemTrayIcon* m_icon;
};

}  // namespace tavolin
