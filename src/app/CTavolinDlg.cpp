#include "app/CTavolinDlg.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QThreadPool>

#include "app/CAboutDlg.h"
#include "app/HelpBalloon.h"
#include "app/Resources.h"
#include "app/TrayIcon.h"
#include "controls/BuddyButton.h"
#include "controls/CColourPicker.h"
#include "controls/DialogUnits.h"
#include "controls/FileDialog.h"
#include "controls/MessageBox.h"
#include "platform/Clock.h"
#include "settings/PicturePath.h"
#include "settings/Settings.h"
#include "util/Atoi.h"

namespace tavolin {

using ui::MessageBox;

namespace {

const QString kTitle = QStringLiteral("Tavolin by Pelmar");
constexpr int kAnimationFrames = 26;
constexpr int kAnimationPeriodMs = 100;

// Only the dialog's own picture filter: the first entry lists every type the generator reads.
const QString kPictureFilter = QStringLiteral(
    " Alle unterstützten Formate |*.jpg;*.jpeg;*.gif;*.tiff;*.tif;*.png;*.bmp;*.ico;*.tga;*.pcx;"
    "*.wbmp;*.wmf;*.emf| Bitmaps (*.bmp) |*.bmp| JPEG-Bilder (*.jpg;*.jpeg)|*.jpg;*.jpeg| "
    "GIF-Bilder (*.gif) |*.gif| PNG-Bilder (*.png) |*.png| TIFF-Bilder (*.tif;*.tiff) "
    "|*.tif;*.tiff||");

struct HelpEntry {
    int id;
    const char* title;
    const char* text;
};

const char* const kLayoutHelp =
    "Hiermit wird festgelegt, ob auf dem Desktop der aktuelle Monat, der vergangene, der "
    "aktuelle und der nächste Monat, das aktuelle Datum oder kein Datum angezeigt werden soll.";
const char* const kPictureHelp = "Hier geben Sie bitte den Pfad für das Hintergrundbild ein.";

const HelpEntry kHelp[] = {
    {1002, "Hintergrundbild", kPictureHelp},
    {1004, "Hintergrundbild", kPictureHelp},
    {1003, "Hintergrundfarbe",
     "Hiermit wählen Sie die Farbe, die später Ihre Hintergrundfarbe sein soll."},
    {1008, "Hintergrundbild verwenden",
     "Damit legen Sie fest, ob ein Bild, oder eine Farbe, als Hintergrund verwendet werden "
     "soll."},
    {1012, "Tagesfarbe",
     "Hier wird angegeben, welche Farbe normale Tage (nicht der Aktuelle und keine Sonn- und "
     "Feiertage) haben sollen. Zudem wird diese Farbe für die Beschriftung und den Rahmen der "
     "Felder verwendet."},
    {1014, "Layout", kLayoutHelp},
    {1015, "Layout", kLayoutHelp},
    {1016, "Layout", kLayoutHelp},
    {1026, "Layout", kLayoutHelp},
    {1018, "Feiertagsfarbe", "Diese Farbe wird für die Feiertage, sowie Sonntage verwendet."},
    {1021, "Monatsfarbe",
     "Damit geben Sie die Farbe an, in der die Monatsnamen und die Beschriftung in der Rahmen "
     "gezeichnet werden."},
    {1024, "akt. Tagesfarbe",
     "Mit dieser Farbe wird der aktuelle Tag und alle Termine für diesen Tag gezeichnet."},
    {1028, "Automatisch starten",
     "Geben Sie hier an, ob der Kalender bei der Windowsanmeldung automatisch erstellt werden "
     "soll. Dabei wird das Programm neben der Uhr in der Taskleiste abgelegt."},
    {1029, "Termine anzeigen",
     "Hiermit wird festgelegt, ob beim Erstellen des Hintergrundbildes die Termine "
     "mitgezeichnet werden."},
    {1030, "Termine löschen",
     "Hiermit wird festgelegt, ob abgelaufene Termine aus der Liste gelöscht werden sollen oder "
     "sie auf das aktuelle Datum verschoben werden."},
    {1038, "Termintabelle",
     "In dieser Tabelle werden alle eingetragenen Termine, die noch nicht abgelaufen sind, "
     "angezeigt.\nDurch Doppelklick können sie bearbeitet werden."},
    {1041, "Termin hinzufügen", "Damit öffnen Sie einen Dialog zum Eintragen neuer Termine."},
    {1042, "Termin bearbeiten",
     "Damit öffnen Sie einen Dialog zum Bearbeiten des markierten Termins."},
    {1043, "Termine löschen", "Damit öffnen Sie einen Dialog zum Löschen des markierten Termins."},
    {1046, "Kalenderwoche anzeigen",
     "Wenn dieser Schalter gesetzt ist, werden bei den auf dem Desktop angezeigten Terminen die "
     "Kalenderwochen mitgedruckt."},
    {1050, "Meldung anzeigen",
     "Mit Hilfe dieses Schalters legen Sie fest, ob beim Erreichen des Termins eine Nachricht "
     "angezeigt werden soll."},
    {1051, "Erster Wochentag",
     "Mit dieser Einstellung legen Sie fest, ob der Sonntag oder der Montag als erster "
     "Wochentag angezeigt werden soll."},
    {1052, "Hintergrundbild zentrieren",
     "Mit dieser Einstellung geben Sie an, ob das als Hintergrund gewählte Bild, falls es "
     "kleiner als der Bildschirm ist, zentriert wird. Ansonsten wird es gestreckt."},
};

const HelpEntry* FindHelp(int id) {
    for (const HelpEntry& e : kHelp) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

QString ControlName(int id) {
    return QStringLiteral("ctl%1").arg(id);
}

// The five colour pickers' places in config.ini, in the order of m_pickers.
struct ColourSetting {
    const char* section;
    const char* prefix;
};
const ColourSetting kColourSettings[5] = {
    {"Background", "BG"}, {"Tag", "T"}, {"Feiertag", "FT"}, {"Monat", "M"}, {"Beschriftung", "B"}};

// The id of a control from its object name, 0 for anything else.
int ControlId(const QWidget* w) {
    const QString name = w->objectName();
    if (!name.startsWith(QLatin1String("ctl"))) return 0;
    bool ok = false;
    const int id = name.mid(3).toInt(&ok);
    return ok ? id : 0;
}

QString Plain(QString text) {
    return text.remove(u'&');
}

}  // namespace

int CTavolinDlg::TodayDayOfMonth() const {
    return LocalFields(m_context.Now()).tm_mday;
}

CTavolinDlg::CTavolinDlg(Context context, bool visible, std::function<bool()> trayAvailable,
                         QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_context(std::move(context)),
      m_visible(visible),
      m_lastDay(TodayDayOfMonth()),
      m_midnight([clock = m_context.clock] { return clock ? clock() : SystemNow(); }),
      m_trayAvailable(std::move(trayAvailable)) {
    EnsureResources();
    m_windowIcon = QIcon(QStringLiteral(":/art/icon128.png"));
    m_trayImage = QIcon(QStringLiteral(":/art/tray140.png"));
    setObjectName(QStringLiteral("CTavolinDlg"));
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    BuildMenu();
    BuildControls();
    // Grayed until the program has found an Outlook to drive.
    command(OutlookImport)->setEnabled(false);

    m_timer101.setInterval(kAnimationPeriodMs);
    connect(&m_timer101, &QTimer::timeout, this, &CTavolinDlg::OnAnimationTick);
    connect(&m_midnight, &MidnightTimer::dateMayHaveChanged, this, &CTavolinDlg::CheckDayChange);

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, &CTavolinDlg::ShowHelp);
}

CTavolinDlg::~CTavolinDlg() {
    m_timer101.stop();
    m_midnight.Disarm();
    if (m_balloon) delete m_balloon.data();
    if (m_notice) delete m_notice.data();
}

void CTavolinDlg::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menu133"));
    m_menuBar->setNativeMenuBar(false);
    auto add = [this](QMenu* menu, Command id, const QString& text, auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QStringLiteral("cmd%1").arg(int(id)));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* program = m_menuBar->addMenu(QStringLiteral("&Programm"));
    add(program, Generate, QStringLiteral("&Erstellen"), &CTavolinDlg::OnGenerate);
    program->addSeparator();
    add(program, Quit, QStringLiteral("&Beenden"), &CTavolinDlg::OnCloseCommand);
    m_appointmentsMenu = m_menuBar->addMenu(QStringLiteral("Term&ine"));
    m_appointmentsMenu->setObjectName(QStringLiteral("menuTermine"));
    add(m_appointmentsMenu, OutlookImport, QStringLiteral("&Outlook-Import"),
        [this] { emit outlookImportRequested(); });
    QMenu* about = m_menuBar->addMenu(QStringLiteral("&?"));
    add(about, Info, QStringLiteral("&Info ..."), &CTavolinDlg::OnInfo);
}

void CTavolinDlg::BuildControls() {
    m_page = new QWidget(this);
    m_page->setObjectName(QStringLiteral("page"));
    // Group titles sit on the frame line, as the dialog's layout expects; the style's own
    // group boxes put the title above the frame and would cover the boxes inside.
    m_page->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0 2px; }"));
    const ui::DialogUnits du = ui::DialogUnits::of(this);

    auto place = [&](QWidget* w, int id, int l, int t, int wd, int h) {
        if (id) w->setObjectName(ControlName(id));
        du.place(w, l, t, wd, h);
        return w;
    };
    // A label may run on up to the control beside it (at "room"), since Linux fonts are often
    // wider than the one the layout was made for.
    auto label = [&](int id, const QString& text, int l, int t, int wd, int room = 0) {
        auto* w = new QLabel(text, m_page);
        place(w, id, l, t, wd, 8);
        if (room > l + wd) {
            const int most = du.x(room) - du.x(l) - 1;
            w->resize(qMax(w->width(), qMin(w->sizeHint().width(), most)), w->height());
        }
        return w;
    };
    auto check = [&](int id, const QString& text, int l, int t, int wd) {
        auto* w = new QCheckBox(text, m_page);
        place(w, id, l, t, wd, 10);
        w->setAccessibleName(Plain(text));
        return w;
    };
    auto group = [&](int id, const QString& text, int l, int t, int wd, int h) {
        auto* w = new QGroupBox(text, m_page);
        place(w, id, l, t, wd, h);
        return w;
    };
    auto picker = [&](int id, const QString& name, int l, int t) {
        auto* w = new ui::CColourPicker(m_page);
        place(w, id, l, t, 39, 14);
        w->setAccessibleName(name);
        return w;
    };

    m_banner = new QLabel(m_page);
    place(m_banner, 1009, 26, 7, 260, 33);
    m_banner->setPixmap(QPixmap(QStringLiteral(":/art/banner129.png")));
    m_banner->setScaledContents(true);
    m_banner->setAccessibleName(kTitle);

    m_pictureBox = check(1008, QStringLiteral("Hintergrundbild"), 7, 54, 65);
    m_centreBox = check(1052, QStringLiteral("Hintergrundbild &zentrieren"), 75, 55, 99);
    m_colourLabel = label(1007, QStringLiteral("Hintergrundfarbe:"), 7, 73, 59, 74);
    m_backgroundPicker = picker(1003, QStringLiteral("Hintergrundfarbe"), 74, 70);
    m_pickers[0] = m_backgroundPicker;
    m_pathLabel = label(1006, QStringLiteral("Hintergrundbild:"), 7, 73, 52, 71);
    m_pathEdit = new QLineEdit(m_page);
    place(m_pathEdit, 1004, 71, 70, 241, 14);
    m_pathEdit->setReadOnly(true);
    m_pathEdit->setAccessibleName(QStringLiteral("Hintergrundbild"));
    QPalette white = m_pathEdit->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    m_pathEdit->setPalette(white);
    m_browse = new QPushButton(QStringLiteral("..."), m_page);
    place(m_browse, 1002, 295, 70, 17, 14);
    m_browse->setAccessibleName(QStringLiteral("Hintergrundbild wählen"));
    m_colourLabel->hide();
    m_backgroundPicker->hide();
    m_centreBox->hide();

    label(1011, QStringLiteral("Tagesfarbe:"), 7, 89, 59, 74);
    m_pickers[1] = picker(1012, QStringLiteral("Tagesfarbe"), 74, 86);
    label(1017, QStringLiteral("Feiertagsfarbe:"), 7, 105, 59, 74);
    m_pickers[2] = picker(1018, QStringLiteral("Feiertagsfarbe"), 74, 102);
    label(1020, QStringLiteral("Monatsfarbe:"), 7, 121, 59, 74);
    m_pickers[3] = picker(1021, QStringLiteral("Monatsfarbe"), 74, 118);
    label(1023, QStringLiteral("akt. Tagesfarbe:"), 7, 137, 59, 74);
    m_pickers[4] = picker(1024, QStringLiteral("akt. Tagesfarbe"), 74, 134);

    group(1027, QStringLiteral("Layout"), 117, 87, 95, 61);
    const int layoutIds[4] = {1014, 1015, 1016, 1026};
    const char* layoutTexts[4] = {"&1 Monat", "&3 Monate", "&Aktueller Tag", "&Ohne Datum"};
    for (int i = 0; i < 4; ++i) {
        m_layout[i] = new QRadioButton(QString::fromUtf8(layoutTexts[i]), m_page);
        place(m_layout[i], layoutIds[i], 121, 98 + 12 * i, 85, 10);
        m_layout[i]->setAccessibleName(Plain(m_layout[i]->text()));
        connect(m_layout[i], &QRadioButton::clicked, this, &CTavolinDlg::OnLayout);
        connect(m_layout[i], &QRadioButton::toggled, this, &CTavolinDlg::UpdateLayoutTabStops);
    }

    group(1032, QStringLiteral("Autostart"), 217, 87, 95, 20);
    m_autostart = check(1028, QStringLiteral("A&utomatisch starten"), 223, 95, 85);
    group(1033, QStringLiteral("Termine"), 217, 108, 95, 22);
    m_showAppointments = check(1029, QStringLiteral("&Termine anzeigen"), 223, 117, 85);
    label(0, QStringLiteral("Erster W-Tag:"), 217, 134, 48, 268)
        ->setObjectName(QStringLiteral("lblFirstWeekday"));
    m_firstWeekday = new QComboBox(m_page);
    place(m_firstWeekday, 1051, 268, 132, 44, 12);
    m_firstWeekday->addItems({QStringLiteral("Montag"), QStringLiteral("Sonntag")});  // sorted
    m_firstWeekday->setAccessibleName(QStringLiteral("Erster Wochentag"));

    auto* line = new QFrame(m_page);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    place(line, 1039, 7, 154, 305, 1);
    line->setFixedHeight(qMax(2, du.y(1)));
    m_separator = line;

    group(0, QStringLiteral("Zusätzliche Termineinstellungen"), 7, 157, 206, 25);
    m_calendarWeeks = check(1046, QStringLiteral("&Kalenderwoche anzeigen"), 16, 168, 100);
    m_deleteBox = check(1030, QStringLiteral("T&ermine löschen"), 121, 168, 85);
    group(0, QStringLiteral("Alarmeistellungen"), 218, 156, 94, 25);
    m_alarm = check(1050, QStringLiteral("&Meldung anzeigen"), 226, 168, 80);

    m_list = new QTableWidget(m_page);
    place(m_list, 1038, 47, 184, 265, 78);
    m_list->setAccessibleName(QStringLiteral("Termine"));
    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const char* buttonTexts[3] = {"&Hinzfügen", "&Bearbeiten", "&Löschen"};
    for (int i = 0; i < 3; ++i) {
        m_listButtons[i] = new QPushButton(QString::fromUtf8(buttonTexts[i]), m_page);
        place(m_listButtons[i], 1041 + i, 7, 185 + 16 * i, 37, 14);
        m_listButtons[i]->setAccessibleName(Plain(m_listButtons[i]->text()));
    }

    // Enter never presses a button here: the dialog has no OK action.
    for (QPushButton* b : m_page->findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(m_pictureBox, &QCheckBox::clicked, this, &CTavolinDlg::OnBackgroundKind);
    connect(m_centreBox, &QCheckBox::clicked, this, [this](bool on) {
        WriteSetting("Background", "BGCenter", on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(m_browse, &QPushButton::clicked, this, &CTavolinDlg::OnBrowse);
    connect(m_autostart, &QCheckBox::clicked, this, [this](bool on) { emit autostartSwitched(on); });
    connect(m_showAppointments, &QCheckBox::clicked, this, &CTavolinDlg::OnAppointmentsShown);
    connect(m_deleteBox, &QCheckBox::clicked, this, &CTavolinDlg::OnDeleteExpired);
    connect(m_calendarWeeks, &QCheckBox::clicked, this, [this](bool on) {
        WriteSetting("Layout", "KKW", on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(m_alarm, &QCheckBox::clicked, this, &CTavolinDlg::OnAlarm);
    connect(m_firstWeekday, &QComboBox::activated, this, &CTavolinDlg::OnFirstWeekday);

    const QSize page = du.size(319, 270);
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, page.width(), menuHeight);
    m_page->setGeometry(0, menuHeight, page.width(), page.height());
    setFixedSize(page.width(), menuHeight + page.height());
    FitTexts();
}

void CTavolinDlg::FitTexts() {
    // The layout was made for a narrower font than most found here, and fonts are scaled: a
    // box or option whose text would be cut runs on into the free room beside it (up to the next
    // control, its group's frame or the page's margin). Where the room suffices nothing moves.
    const ui::DialogUnits du = ui::DialogUnits::of(this);
    const auto siblings = m_page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QAbstractButton* b : m_page->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QPushButton*>(b)) continue;
        const int need = b->sizeHint().width();
        if (need <= b->width()) continue;
        const QRect g = b->geometry();
        int limit = m_page->width() - du.x(7);
        for (QWidget* w : siblings) {
            const QRect o = w->geometry();
            if (w == b) continue;
            if (qobject_cast<QGroupBox*>(w)) {
                if (o.contains(g.center())) limit = qMin(limit, o.right() - du.x(2));
                continue;
            }
            if (o.top() > g.bottom() || o.bottom() < g.top() || o.left() <= g.left()) continue;
            limit = qMin(limit, o.left() - 1);
        }
        b->resize(qMax(b->width(), qMin(need, limit - g.left())), b->height());
    }
    // The list's buttons keep their text off their frame: wider, with the list beside them
    // giving way (its right edge stays).
    int need = 0;
    for (QPushButton* b : m_listButtons) {
        need = qMax(need, b->fontMetrics().horizontalAdvance(Plain(b->text())) + du.x(4));
    }
    if (need > m_listButtons[0]->width()) {
        for (QPushButton* b : m_listButtons) b->resize(need, b->height());
        const int right = m_list->geometry().right();
        const int left = m_listButtons[0]->geometry().right() + 1 + du.x(3);
        m_list->setGeometry(left, m_list->y(), right - left + 1, m_list->height());
    }
}

CTavolinDlg::AppointmentArea CTavolinDlg::appointmentArea() const {
    return {m_list, m_listButtons[0], m_listButtons[1], m_listButtons[2]};
}

QAction* CTavolinDlg::command(Command id) const {
    return m_menuBar->findChild<QAction*>(QStringLiteral("cmd%1").arg(int(id)));
}

QWidget* CTavolinDlg::control(int id) const {
    return m_page->findChild<QWidget*>(ControlName(id));
}

QString CTavolinDlg::ReadDialogValue(const char* section, const char* key) const {
    std::string value;
    if (!m_ini.ReadValue(section, key, value)) {
        const SettingKey* setting = FindSetting(section, key);
        value = setting ? setting->dialogFallback : "";
    }
    return QString::fromLatin1(value);
}

void CTavolinDlg::PostSettings(std::vector<IniFile::Value> values) {
    emit settingsPosted(m_settingsPath, values);
}

void CTavolinDlg::PostSetting(const char* section, const char* key, std::string value) {
    PostSettings({IniFile::Value{section, key, std::move(value)}});
}

void CTavolinDlg::WriteSetting(const char* section, const char* key, const QString& value) {
    // A failed write is not reported; the control keeps its new state.
    PostSetting(section, key, value.toStdString());
}

void CTavolinDlg::StoreColour(int picker, ui::ColourValue colour) {
    // Automatic has no colour bytes: it is stored as black, as it always was. The three
    // components are one write, so no reader ever sees half a colour.
    const ui::ColourValue c = colour == ui::kAutomaticColour ? 0 : colour;
    const std::string prefix = kColourSettings[picker].prefix;
    const std::string section = kColourSettings[picker].section;
    PostSettings({{section, prefix + "Rot", std::to_string(c & 0xFF)},
                  {section, prefix + "Gruen", std::to_string((c >> 8) & 0xFF)},
                  {section, prefix + "Blau", std::to_string((c >> 16) & 0xFF)}});
}

bool CTavolinDlg::Initialise() {
    // Step 2 (going to the notification area) happens in Start, once the window exists.
    setWindowIcon(m_windowIcon);
    m_settingsPath = m_context.DataFile("config.ini");
    ui::AttachBuddyButton(m_pathEdit, m_browse, ui::BuddyRight);

    if (EnsureConfigFile(m_settingsPath) == ConfigCreation::Failed ||
        !m_ini.Load(m_settingsPath)) {
        MessageBox::showW1252(nullptr, ConfigCreationFailedText(), "Fehler",
                              MessageBox::Icon::Critical);
        return false;
    }

    for (int i = 0; i < 5; ++i) {
        m_pickers[i]->ChangeDefaultText(QStringLiteral("Automatisch"));
        m_pickers[i]->ChangeCustomText(QStringLiteral("Weitere ..."));
        connect(m_pickers[i], &ui::CColourPicker::colourConfirmed, this,
                [this, i](ui::ColourValue colour) { StoreColour(i, colour); });
    }

    m_pictureBox->setChecked(ReadDialogValue("Background", "BGArt") == QLatin1String("1"));
    {
        std::string path;
        if (!m_ini.ReadValue("Background", "BGBild", path)) path.clear();
        m_picturePath = QFile::decodeName(QByteArray::fromStdString(path));
        m_pathEdit->setText(m_picturePath);
    }
    m_centreBox->setChecked(Atoi(ReadDialogValue("Background", "BGCenter").toStdString()) == 1);
    ColourValueFromSettings();
    const int layout = Atoi(ReadDialogValue("Layout", "KArt").toStdString());
    m_layout[(layout >= 1 && layout <= 4) ? layout - 1 : 0]->setChecked(true);
    m_autostart->setChecked(Atoi(ReadDialogValue("Programm", "Autostart").toStdString()) == 1);
    if (Atoi(ReadDialogValue("Programm", "Alarm").toStdString()) == 1) m_alarm->setChecked(true);

    m_fullHeight = height();
    m_collapsedHeight = m_page->y() + m_separator->y();
    if (Atoi(ReadDialogValue("Programm", "Termine").toStdString()) == 1) {
        m_showAppointments->setChecked(true);
    } else {
        ApplyAppointmentArea(false);
    }

    m_deleteExpired = Atoi(ReadDialogValue("Programm", "DelTermine").toStdString()) == 1;
    m_deleteBox->setChecked(m_deleteExpired);
    m_calendarWeeks->setChecked(Atoi(ReadDialogValue("Layout", "KKW").toStdString()) == 1);
    m_firstWeekday->setCurrentIndex(
        Atoi(ReadDialogValue("Layout", "Sunday").toStdString()) == 1 ? 1 : 0);

    OnBackgroundKind();  // shows the right pair and writes BGArt back
    UpdateLayoutTabStops();

    if (!m_animation.Load(QStringLiteral(":/art/anim132.png"), kAnimationFrames)) {
        MessageBox::show(this,
                         QStringLiteral("Beim Initialisieren des Programmes ist ein Fehler "
                                        "aufgetreten."),
                         QApplication::applicationName());
    }
    {
        // The large sizes stay as they are while the small one turns: rewriting a 128 x 128
        // icon ten times a second costs the window system more than the animation is worth.
        const QPixmap base = m_windowIcon.pixmap(32, 32);
        m_frameBase = QIcon(base);
    }
    if (m_visible) m_timer101.start(kAnimationPeriodMs);

    m_initialised = true;
    emit initialised();
    emit alarmSwitched(m_alarm->isChecked());
    return true;
}

void CTavolinDlg::ColourValueFromSettings() {
    for (int i = 0; i < 5; ++i) {
        const std::string prefix = kColourSettings[i].prefix;
        auto component = [&](const char* name) {
            const std::string key = prefix + name;
            return Atoi(ReadDialogValue(kColourSettings[i].section, key.c_str()).toStdString());
        };
        const int r = component("Rot"), g = component("Gruen"), b = component("Blau");
        m_pickers[i]->ChangeColour(PackColour(r, g, b));
    }
}

bool CTavolinDlg::Start() {
    if (!Initialise()) return false;
    if (m_visible) {
        show();
    } else if (TrayAvailable()) {
        CreateTrayIcon();  // the window stays hidden
        EnterHiddenMode();
    } else {
        // Without a notification area the program waits minimised in the task bar instead.
        showMinimized();
        EnterHiddenMode();
    }
    return true;
}

bool CTavolinDlg::TrayAvailable() const {
    return m_trayAvailable ? m_trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void CTavolinDlg::setAutomationProxy(bool attached) {
    m_automationProxy = attached;
    // The client went away after the window was closed: the close now takes effect.
    if (!attached && m_initialised && !isVisible() && !m_trayIcon && m_visible) EndDialog();
}

// --- Setting handlers ---------------------------------------------------------------------

void CTavolinDlg::ApplyBackgroundKind(bool picture) {
    m_pathLabel->setVisible(picture);
    m_pathEdit->setVisible(picture);
    m_browse->setVisible(picture);
    m_centreBox->setVisible(picture);
    m_colourLabel->setVisible(!picture);
    m_backgroundPicker->setVisible(!picture);
}

void CTavolinDlg::OnBackgroundKind() {
    const bool picture = m_pictureBox->isChecked();
    WriteSetting("Background", "BGArt", picture ? QStringLiteral("1") : QStringLiteral("0"));
    ApplyBackgroundKind(picture);
}

void CTavolinDlg::OnBrowse() {
    const QString file =
        ui::FileDialog::getOpenFileName(this, QString(), QString(), kPictureFilter);
    if (file.isEmpty()) return;
    const auto stored = PicturePathToStore(kPicturePathRule == PicturePathRule::Windows1252
                                               ? file.toStdString()
                                               : QFile::encodeName(file).toStdString());
    if (!stored) {
        ui::MessageBox::show(this,
                             tr("Der Pfad \"%1\" enthält Zeichen, die config.ini nicht speichern "
                                "kann. Bitte wählen Sie ein Bild aus einem anderen Ordner.")
                                 .arg(file),
                             tr("Fehler"), ui::MessageBox::Icon::Critical);
        return;
    }
    PostSetting("Background", "BGBild", *stored);
    m_picturePath = file;
    m_pathEdit->setText(file);
}

void CTavolinDlg::OnLayout() {
    QString value = QStringLiteral("1");
    for (int i = 0; i < 4; ++i) {
        if (m_layout[i]->isChecked()) value = QString::number(i + 1);
    }
    WriteSetting("Layout", "KArt", value);
}

void CTavolinDlg::SetAppointmentAreaOpen(bool open) {
    ApplyAppointmentArea(open);
}

void CTavolinDlg::ApplyAppointmentArea(bool open) {
    setFixedHeight(open ? m_fullHeight : m_collapsedHeight);
    // Everything below the separator is hidden with the area, not only cut off: a control that
    // is merely out of sight would still take the focus on Tab and a Space would switch it.
    const int cut = m_separator->y();
    for (QWidget* w : m_page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w != m_separator && w->y() >= cut) w->setVisible(open);
    }
}

void CTavolinDlg::UpdateLayoutTabStops() {
    // As in a group of option buttons elsewhere: Tab enters the group at the chosen one, the
    // arrow keys move within it.
    bool any = false;
    for (QRadioButton* b : m_layout) any = any || b->isChecked();
    for (int i = 0; i < 4; ++i) {
        const bool stop = m_layout[i]->isChecked() || (!any && i == 0);
        m_layout[i]->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void CTavolinDlg::OnAppointmentsShown() {
    const bool open = m_showAppointments->isChecked();
    WriteSetting("Programm", "Termine", open ? QStringLiteral("1") : QStringLiteral("0"));
    SetAppointmentAreaOpen(open);
}

void CTavolinDlg::OnDeleteExpired() {
    m_deleteExpired = m_deleteBox->isChecked();
    WriteSetting("Programm", "DelTermine",
                 m_deleteExpired ? QStringLiteral("1") : QStringLiteral("0"));
    emit deleteExpiredSwitched(m_deleteExpired);
}

void CTavolinDlg::OnAlarm() {
    const bool on = m_alarm->isChecked();
    WriteSetting("Programm", "Alarm", on ? QStringLiteral("1") : QStringLiteral("0"));
    emit alarmSwitched(on);
}

void CTavolinDlg::OnFirstWeekday() {
    const bool sunday = m_firstWeekday->currentText() == QLatin1String("Sonntag");
    WriteSetting("Layout", "Sunday", sunday ? QStringLiteral("1") : QStringLiteral("0"));
}

// --- Commands --------------------------------------------------------------------------------

void CTavolinDlg::OnGenerate() {
    // One run at a time; a second request while one is going is dropped by the runner.
    emit generateRequested(GenerationOrigin::Requested);
}

void CTavolinDlg::setGenerationBusy(bool busy) {
    if (busy == m_generating) return;
    m_generating = busy;
    command(Generate)->setEnabled(!busy);
    if (m_trayIcon) m_trayIcon->action(TrayIcon::Generate)->setEnabled(!busy);
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void CTavolinDlg::setAutostartChecked(bool checked) {
    m_autostart->setChecked(checked);
}

void CTavolinDlg::setOutlookImportAvailable(bool available) {
    command(OutlookImport)->setEnabled(available);
}

void CTavolinDlg::ShowNotice(const QString& caption, const QString& text) {
    if (m_trayIcon) {
        m_trayIcon->systemTrayIcon()->showMessage(caption, text, QSystemTrayIcon::Warning, 15000);
        return;
    }
    if (isVisible() && !isMinimized()) {
        // A balloon on the menu bar's "Programm", where "Erstellen" was chosen; it does not
        // wait and closes on a click.
        if (m_notice) delete m_notice.data();
        const QPoint anchor = m_menuBar->mapToGlobal(QPoint(m_menuBar->height(), m_menuBar->height() / 2));
        m_notice = new HelpBalloon(caption, text, anchor, this);
        m_notice->setObjectName(QStringLiteral("noticeBalloon"));
        m_notice->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
        m_notice->show();
        QTimer::singleShot(15000, m_notice.data(), &QWidget::close);
        return;
    }
    // Hidden without a tray: the desktop's notification (it may take a moment; off this thread).
    if (const std::shared_ptr<Notifier> notifier = m_context.notifier) {
        const Notification notice{caption.toStdString(), text.toStdString()};
        QThreadPool::globalInstance()->start([notifier, notice] { notifier->Send(notice); });
    }
}

void CTavolinDlg::OnInfo() {
    CAboutDlg about(m_context.urlOpener, isVisible() ? this : nullptr);
    about.exec();
}

void CTavolinDlg::OnCloseCommand() {
    if (m_automationProxy) {
        hide();  // the automation client keeps the program running
        return;
    }
    EndDialog();
}

void CTavolinDlg::EndDialog() {
    if (m_ended) return;
    m_ended = true;
    m_timer101.stop();
    emit alarmSwitched(false);
    m_midnight.Disarm();
    DestroyTrayIcon();
    hide();
    emit ended();
}

// --- Notification area -------------------------------------------------------------------

void CTavolinDlg::CreateTrayIcon() {
    if (m_trayIcon) return;
    m_trayIcon = std::make_unique<TrayIcon>(m_trayImage, kTitle);
    connect(m_trayIcon.get(), &TrayIcon::restoreRequested, this, &CTavolinDlg::Restore,
            Qt::QueuedConnection);
    connect(m_trayIcon.get(), &TrayIcon::generateRequested, this, &CTavolinDlg::OnGenerate);
    connect(m_trayIcon.get(), &TrayIcon::infoRequested, this, &CTavolinDlg::OnInfo,
            Qt::QueuedConnection);
    connect(m_trayIcon.get(), &TrayIcon::quitRequested, this, &CTavolinDlg::OnTrayQuit,
            Qt::QueuedConnection);
    if (m_generating) m_trayIcon->action(TrayIcon::Generate)->setEnabled(false);
}

void CTavolinDlg::DestroyTrayIcon() {
    // Its menu may be the sender of the current command: let it go once control returns.
    if (TrayIcon* icon = m_trayIcon.release()) {
        icon->systemTrayIcon()->hide();
        icon->deleteLater();
    }
}

void CTavolinDlg::GoToTray() {
    if (!TrayAvailable()) {
        // Stay minimised in the task bar; the day-change check runs as in the tray.
        m_visible = false;
        EnterHiddenMode();
        return;
    }
    const bool wasVisible = isVisible();
    if (wasVisible) {
        m_shownAt = pos();
        m_hasShownAt = true;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
    if (wasVisible) CreateTrayIcon();
    m_visible = false;
    EnterHiddenMode();
}

void CTavolinDlg::Restore() {
    DestroyTrayIcon();
    m_visible = true;
    LeaveHiddenMode();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    // Back where it was: a window manager may place a re-shown window anew.
    if (m_hasShownAt) move(m_shownAt);
    showNormal();
    raise();
    activateWindow();
}

void CTavolinDlg::EnterHiddenMode() {
    // Hidden, the program sleeps: nobody sees the icon turn, and the date is checked at
    // midnight (and when the clock jumps) instead of ten times a second. A day that changed
    // while the window was open is noticed now.
    m_timer101.stop();
    CheckDayChange();
    m_midnight.Arm();
}

void CTavolinDlg::LeaveHiddenMode() {
    m_midnight.Disarm();
    if (m_initialised && !m_ended && m_animation.HasFrames()) m_timer101.start(kAnimationPeriodMs);
}

void CTavolinDlg::OnTrayQuit() {
    Restore();
    OnCloseCommand();
}

// --- Timers ----------------------------------------------------------------------------------

void CTavolinDlg::OnAnimationTick() {
    if (!m_animation.HasFrames()) {
        m_timer101.stop();
        MessageBox::show(isVisible() ? this : nullptr, QStringLiteral("Fehler bei aktualisieren"),
                         QApplication::applicationName());
        return;
    }
    const QIcon frame = m_animation.Advance();
    // Nobody sees the icon of a hidden window; changing it would only cost time.
    if (isVisible() && !isMinimized()) {
        QIcon icon = m_frameBase;
        icon.addPixmap(frame.pixmap(16, 16));
        setWindowIcon(icon);
    }
    if (!m_visible) CheckDayChange();
}

void CTavolinDlg::CheckDayChange() {
    const int day = TodayDayOfMonth();
    if (day == m_lastDay) return;
    // A run still going is not interrupted; the next check tries again (and once it ends).
    if (m_generating) {
        QTimer::singleShot(1000, this, [this] {
            if (!m_visible) CheckDayChange();
        });
        return;
    }
    m_lastDay = day;
    emit generateRequested(GenerationOrigin::Unattended);
}

// --- Window events ---------------------------------------------------------------------------

void CTavolinDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !m_initialised) return;
    if (windowState() & Qt::WindowMinimized) {
        if (m_visible) {
            // Hiding inside the state change confuses some window managers; do it right after.
            QMetaObject::invokeMethod(this, &CTavolinDlg::GoToTray, Qt::QueuedConnection);
        }
    } else if (!m_visible && !m_trayIcon && isVisible()) {
        m_visible = true;  // restored from the task bar (no notification area)
        LeaveHiddenMode();
    }
}

void CTavolinDlg::closeEvent(QCloseEvent* event) {
    if (m_ended) {
        event->accept();
        return;
    }
    event->ignore();
    OnCloseCommand();
}

void CTavolinDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();  // the dialog has no OK or Cancel action
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CTavolinDlg::reject() {}
void CTavolinDlg::accept() {}

// --- Help ------------------------------------------------------------------------------------

void CTavolinDlg::ShowHelp() {
    if (m_balloon) return;  // one balloon at a time
    for (QWidget* w = focusWidget(); w && w != this; w = w->parentWidget()) {
        const int id = ControlId(w);
        if (!id) continue;
        const HelpEntry* entry = FindHelp(id);
        if (!entry) return;  // a control without help shows nothing
        const QPoint centre = w->mapToGlobal(w->rect().center());
        m_balloon = new HelpBalloon(QString::fromUtf8(entry->title), QString::fromUtf8(entry->text),
                                    centre, this);
        m_balloon->show();
        return;
    }
}

}  // namespace tavolin
