#pragma once
// The program's one main window: the settings page, the appointment area below the separator,
// the menu bar, the notification-area mode and timer 101. A view: it reads config.ini once at
// its initialisation and tells every change and request through its signals; the program
// (CTavolinApp) writes the files, runs the generation and owns the appointment book, the
// reminders and the imports.

#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/ColourValue.h"
#include "app/GenerationRunner.h"
#include "app/HelpBalloon.h"
#include "app/MidnightTimer.h"
#include "app/TitleIconAnimation.h"
#include "platform/Context.h"
#include "settings/IniFile.h"
#include "settings/IniSnapshot.h"
#include "settings/Settings.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace tavolin::ui {
class CColourPicker;
}

namespace tavolin {

class TrayIcon;

class CTavolinDlg : public QDialog {
    Q_OBJECT

public:
    /// Menu commands; each action keeps its id in the property "commandId".
    enum Command { Generate = 134, Quit = 135, OutlookImport = 154, Info = 136 };

    /// visible: show the window (normal start); false: start in the notification area ("/go").
    /// context: the data directory, clock, links and notifications the dialog uses.
    /// trayAvailable: whether the desktop offers a notification area; empty asks Qt.
    CTavolinDlg(Context context, bool visible, std::function<bool()> trayAvailable = {},
                QWidget* parent = nullptr);
    ~CTavolinDlg() override;

    /// The initialisation: creates config.ini when missing, loads every setting into the
    /// controls, starts the timer, then emits initialised() and alarmSwitched() with the loaded
    /// state. False when config.ini could not be created (the message was shown; the program
    /// ends).
    bool Initialise();

    /// Initialise, then show the window (normal start) or stay hidden ("/go").
    bool Start();

    /// Posts changes of config.ini, all in one write, through settingsPosted: the window never
    /// waits for the file. Every settings write of the window goes through here.
    void PostSettings(std::vector<IniFile::Value> values);
    /// One key, through PostSettings.
    void PostSetting(const SettingKey& key, std::string value);

    /// A notice that does not wait for an answer: a balloon from the tray icon, the window's
    /// status balloon, or a desktop notification while neither is there.
    void ShowNotice(const QString& caption, const QString& text);

    // What the other parts of the program use.
    const std::filesystem::path& settingsPath() const { return m_settingsPath; }
    bool deleteExpired() const { return m_deleteExpired; }
    bool isVisibleFlag() const { return m_visible; }
    TrayIcon* trayIcon() const { return m_trayIcon.get(); }
    QTimer& animationTimer() { return m_timer101; }
    /// The hidden program's only timer besides the reminders'.
    MidnightTimer& midnightTimer() { return m_midnight; }
    /// The status balloon of the last notice, while it is open.
    HelpBalloon* noticeBalloon() const { return m_notice; }
    /// The widgets the appointment book fills and answers.
    struct AppointmentArea {
        QTableWidget* list;   // 1038
        QPushButton* add;     // 1041
        QPushButton* edit;    // 1042
        QPushButton* remove;  // 1043
    };
    AppointmentArea appointmentArea() const;
    /// The menu "Term&ine", for the import commands.
    QMenu* appointmentsMenu() const { return m_appointmentsMenu; }
    bool isGenerating() const { return m_generating; }
    QAction* command(Command command) const;
    /// The control with the given template id (its property "controlId"), or nullptr.
    QWidget* control(int id) const;
    int fullHeight() const { return m_fullHeight; }
    int collapsedHeight() const { return m_collapsedHeight; }
    int lastDay() const { return m_lastDay; }
    HelpBalloon* helpBalloon() const { return m_balloon; }

    /// Whether an automation client holds the program (closing then only hides the window).
    void setAutomationProxy(bool attached);
    bool hasAutomationProxy() const { return m_automationProxy; }

public slots:
    /// A generation started (true) or ended: "Erstellen" is grayed meanwhile.
    void setGenerationBusy(bool busy);
    /// The autostart switch shows the entry's real state after a switch that failed.
    void setAutostartChecked(bool checked);
    /// "&Outlook-Import" is grayed where no Outlook can be driven.
    void setOutlookImportAvailable(bool available);

    void OnGenerate();       // 134, 142
    void OnCloseCommand();   // 135 and the close box
    void OnInfo();           // 136, 144
    void GoToTray();         // minimise
    void Restore();          // 143, double-click on the icon
    void OnTrayQuit();       // 145
    void ShowHelp();         // F1 on the focused control
    void OnAnimationTick();  // timer 101
    void CheckDayChange();   // hidden: at midnight, after a clock jump, and on hiding

signals:
    /// Values for config.ini (file), to be written in one rewrite, in the order posted.
    void settingsPosted(const std::filesystem::path& file,
                        const std::vector<tavolin::IniFile::Value>& values);
    /// A wallpaper is wanted: "Erstellen" (Requested) or the day changed (Unattended). The
    /// request is dropped while a generation runs.
    void generateRequested(tavolin::GenerationOrigin origin);
    /// The reminders are to run or stop ("&Meldung anzeigen"; at the initialisation with the
    /// stored state, off at the end).
    void alarmSwitched(bool on);
    /// "A&utomatisch starten" was switched by the person.
    void autostartSwitched(bool on);
    /// "T&ermine löschen" was switched: the list is to be tidied and shown anew.
    void deleteExpiredSwitched(bool on);
    /// Menu command 154.
    void outlookImportRequested();
    /// The initialisation is complete: the controls show config.ini.
    void initialised();
    /// The dialog has ended; the program ends with it.
    void ended();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;  // Escape does nothing
    void accept() override;  // neither does Enter

private:
    void BuildControls();
    void BuildMenu();
    template <class T>
    T* Find(int id) const;
    template <class T>
    T* Named(const char* name) const;
    void LoadControls();
    void CentrePickersOnLabels();
    void SwitchChanged(const SettingKey& key, bool on);
    void ApplyBackgroundKind(bool picture);
    void ApplyAppointmentArea(bool open);
    void UpdateLayoutTabStops();
    void FitTexts();
    void EnterHiddenMode();
    void LeaveHiddenMode();
    void StoreColour(const ColourKeys& keys, ui::ColourValue colour);
    std::string ReadDialogValue(const SettingKey& key) const;
    void OnBrowse();
    void OnLayout();
    void OnFirstWeekday();
    void CreateTrayIcon();
    void DestroyTrayIcon();
    bool TrayAvailable() const;
    void EndDialog();

    int TodayDayOfMonth() const;

    Context m_context;
    bool m_visible;
    bool m_deleteExpired = true;
    bool m_automationProxy = false;
    bool m_initialised = false;
    bool m_ended = false;
    bool m_generating = false;
    int m_lastDay = 0;
    int m_fullHeight = 0;
    int m_collapsedHeight = 0;
    IniSnapshot m_ini;  // config.ini as read at the initialisation; writes leave as signals
    MidnightTimer m_midnight;
    QPointer<HelpBalloon> m_notice;
    QPoint m_shownAt;  // where the window was when it went to the tray
    bool m_hasShownAt = false;
    QIcon m_frameBase;  // the window icon's sizes that stay while the small one turns
    std::filesystem::path m_settingsPath;
    QString m_picturePath;
    QIcon m_windowIcon;
    QIcon m_trayImage;
    TitleIconAnimation m_animation;
    QTimer m_timer101;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::function<bool()> m_trayAvailable;
    QPointer<HelpBalloon> m_balloon;

    QMenuBar* m_menuBar = nullptr;
    QMenu* m_appointmentsMenu = nullptr;
    QWidget* m_page = nullptr;
    QCheckBox* m_pictureBox = nullptr;                // 1008
    QCheckBox* m_centreBox = nullptr;                 // 1052
    QLabel* m_colourLabel = nullptr;                  // 1007
    ui::CColourPicker* m_backgroundPicker = nullptr;  // 1003
    QLabel* m_pathLabel = nullptr;                    // 1006
    QLineEdit* m_pathEdit = nullptr;                  // 1004
    QPushButton* m_browse = nullptr;                  // 1002
    QRadioButton* m_layout[4] = {};                   // 1014, 1015, 1016, 1026
    QCheckBox* m_autostart = nullptr;                 // 1028
    QCheckBox* m_showAppointments = nullptr;          // 1029
    QComboBox* m_firstWeekday = nullptr;              // 1051
    QWidget* m_separator = nullptr;                   // 1039
    QCheckBox* m_deleteBox = nullptr;                 // 1030
    QCheckBox* m_alarm = nullptr;                     // 1050
    QTableWidget* m_list = nullptr;                   // 1038
    QPushButton* m_listButtons[3] = {};               // 1041, 1042, 1043
};

}  // namespace tavolin
