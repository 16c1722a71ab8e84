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
#include <algorithm>
#include <cstring>

#include "app/CAboutDlg.h"
#include "app/HelpBalloon.h"
#include "app/MainDialogControls.h"
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
const char* const kPictureFilter = QT_TRANSLATE_NOOP(
    "tavolin::CTavolinDlg",
    " Alle unterstützten Formate |*.jpg;*.jpeg;*.gif;*.tiff;*.tif;*.png;*.bmp;*.ico;*.tga;*.pcx;"
    "*.wbmp;*.wmf;*.emf| Bitmaps (*.bmp) |*.bmp| JPEG-Bilder (*.jpg;*.jpeg)|*.jpg;*.jpeg| "
    "GIF-Bilder (*.gif) |*.gif| PNG-Bilder (*.png) |*.png| TIFF-Bilder (*.tif;*.tiff) "
    "|*.tif;*.tiff||");

// The template's identifier of a control built from the table, 0 for anything else.
int ControlId(const QWidget* w) {
    return w->property(kControlIdProperty).toInt();
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
    m_menuBar->setObjectName(QStringLiteral("mainMenuBar"));
    m_menuBar->setNativeMenuBar(false);
    QMenu* menu = nullptr;
    const char* menuText = nullptr;
    for (const MenuCommandEntry& c : MainMenuCommands()) {
        if (!menuText || std::strcmp(menuText, c.menu) != 0) {
            menuText = c.menu;
            menu = m_menuBar->addMenu(tr(c.menu));
        }
        if (c.separatorBefore) menu->addSeparator();
        QAction* a = menu->addAction(tr(c.text));
        a->setObjectName(QString::fromLatin1(c.name));
        a->setProperty(kCommandIdProperty, c.id);
        if (c.id == OutlookImport) m_appointmentsMenu = menu;
    }
    connect(command(Generate), &QAction::triggered, this, &CTavolinDlg::OnGenerate);
    connect(command(Quit), &QAction::triggered, this, &CTavolinDlg::OnCloseCommand);
    connect(command(OutlookImport), &QAction::triggered, this,
            [this] { emit outlookImportRequested(); });
    connect(command(Info), &QAction::triggered, this, &CTavolinDlg::OnInfo);
    m_appointmentsMenu->setObjectName(QStringLiteral("appointmentsMenu"));
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

    for (const ControlEntry& c : MainDialogControls()) {
        const QString text = c.text ? tr(c.text, c.textComment) : QString();
        QWidget* w = nullptr;
        switch (c.kind) {
            case ControlKind::Picture: {
                auto* banner = new QLabel(m_page);
                banner->setPixmap(QPixmap(QStringLiteral(":/art/banner129.png")));
                banner->setScaledContents(true);
                w = banner;
                break;
            }
            case ControlKind::Check: w = new QCheckBox(text, m_page); break;
            case ControlKind::Radio: w = new QRadioButton(text, m_page); break;
            case ControlKind::Label: w = new QLabel(text, m_page); break;
            case ControlKind::Group: w = new QGroupBox(text, m_page); break;
            case ControlKind::Button: w = new QPushButton(text, m_page); break;
            case ControlKind::Picker: w = new ui::CColourPicker(m_page); break;
            case ControlKind::Edit: w = new QLineEdit(m_page); break;
            case ControlKind::Combo: w = new QComboBox(m_page); break;
            case ControlKind::List: w = new QTableWidget(m_page); break;
            case ControlKind::Line: {
                auto* line = new QFrame(m_page);
                line->setFrameShape(QFrame::HLine);
                line->setFrameShadow(QFrame::Sunken);
                w = line;
                break;
            }
        }
        w->setObjectName(QString::fromLatin1(c.name));
        if (c.id) w->setProperty(kControlIdProperty, c.id);
        du.place(w, c.left, c.top, c.width, c.height);
        // Screen readers name every control: by its own words, or by what it stands for.
        w->setAccessibleName(c.accessibleName ? tr(c.accessibleName) : Plain(text));
        if (c.kind == ControlKind::Label && c.room > c.left + c.width) {
            // A label may run on up to the control beside it, since Linux fonts are often
            // wider than the one the layout was made for.
            const int most = du.x(c.room) - du.x(c.left) - 1;
            w->resize(qMax(w->width(), qMin(w->sizeHint().width(), most)), w->height());
        }
    }
    for (const ControlEntry& c : MainDialogControls()) {
        if (c.buddy) Named<QLabel>(c.name)->setBuddy(control(c.buddy));
    }

    m_pictureBox = Find<QCheckBox>(1008);
    m_centreBox = Find<QCheckBox>(1052);
    m_colourLabel = Find<QLabel>(1007);
    m_backgroundPicker = Find<ui::CColourPicker>(1003);
    m_pathLabel = Find<QLabel>(1006);
    m_pathEdit = Find<QLineEdit>(1004);
    m_browse = Find<QPushButton>(1002);
    m_autostart = Find<QCheckBox>(1028);
    m_showAppointments = Find<QCheckBox>(1029);
    m_firstWeekday = Find<QComboBox>(1051);
    m_separator = Find<QWidget>(1039);
    m_deleteBox = Find<QCheckBox>(1030);
    m_alarm = Find<QCheckBox>(1050);
    m_list = Find<QTableWidget>(1038);
    const int layoutIds[4] = {1014, 1015, 1016, 1026};
    for (int i = 0; i < 4; ++i) m_layout[i] = Find<QRadioButton>(layoutIds[i]);
    for (int i = 0; i < 3; ++i) m_listButtons[i] = Find<QPushButton>(1041 + i);

    m_pathEdit->setReadOnly(true);
    QPalette white = m_pathEdit->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    m_pathEdit->setPalette(white);
    m_colourLabel->hide();
    m_backgroundPicker->hide();
    m_centreBox->hide();
    CentrePickersOnLabels();

    for (QRadioButton* b : m_layout) {
        connect(b, &QRadioButton::clicked, this, &CTavolinDlg::OnLayout);
        connect(b, &QRadioButton::toggled, this, &CTavolinDlg::UpdateLayoutTabStops);
    }
    // The entries stay in this order (the template's list is sorted): index 1 is Sunday.
    m_firstWeekday->addItems({tr("Montag"), tr("Sonntag")});
    m_separator->setFixedHeight(qMax(2, du.y(1)));

    m_list->verticalHeader()->hide();
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);

    // Enter never presses a button here: the dialog has no OK action.
    for (QPushButton* b : m_page->findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    // Every switch writes its key the moment it is clicked; what else it does follows.
    for (const ControlEntry& c : MainDialogControls()) {
        if (c.kind != ControlKind::Check || !c.setting) continue;
        auto* box = Find<QCheckBox>(c.id);
        if (box == m_autostart) {
            // The entry is made first; its outcome decides what is stored.
            connect(box, &QCheckBox::clicked, this, [this](bool on) { emit autostartSwitched(on); });
            continue;
        }
        connect(box, &QCheckBox::clicked, this, [this, key = c.setting](bool on) {
            PostSetting(*key, SwitchText(on));
            SwitchChanged(*key, on);
        });
    }
    connect(m_browse, &QPushButton::clicked, this, &CTavolinDlg::OnBrowse);
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
    for (QAction* a : m_menuBar->findChildren<QAction*>()) {
        if (a->property(kCommandIdProperty).toInt() == int(id)) return a;
    }
    return nullptr;
}

QWidget* CTavolinDlg::control(int id) const {
    if (id == 0) return nullptr;
    for (QWidget* w : m_page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (ControlId(w) == id) return w;
    }
    return nullptr;
}

template <class T>
T* CTavolinDlg::Find(int id) const {
    // The table and the code around it name the same controls; a mismatch is a build fault.
    T* w = qobject_cast<T*>(control(id));
    if (!w) qFatal("main dialog: control %d is missing or of another kind", id);
    return w;
}

template <class T>
T* CTavolinDlg::Named(const char* name) const {
    T* w = m_page->findChild<T*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (!w) qFatal("main dialog: control %s is missing or of another kind", name);
    return w;
}

void CTavolinDlg::CentrePickersOnLabels() {
    // The pickers are as tall as the template says, not only as tall as their arrow, and sit
    // centred on the label that names them.
    const ui::DialogUnits du = ui::DialogUnits::of(this);
    for (const ControlEntry& label : MainDialogControls()) {
        const ControlEntry* named = FindMainDialogControl(label.buddy);
        if (label.kind != ControlKind::Label || !named || named->kind != ControlKind::Picker)
            continue;
        auto* picker = Find<ui::CColourPicker>(named->id);
        const int height = du.y(named->top + named->height) - du.y(named->top);
        picker->SetTemplateHeight(height);
        const QWidget* text = Named<QLabel>(label.name);
        const int twiceCentre = 2 * text->y() + text->height();
        picker->move(picker->x(), (twiceCentre - height + 1) / 2);
    }
}

std::string CTavolinDlg::ReadDialogValue(const SettingKey& key) const {
    std::string value;
    if (!ReadSetting(m_ini, key, value)) value = key.dialogFallback;
    return value;
}

void CTavolinDlg::PostSetting(const SettingKey& key, std::string value) {
    PostSettings({SettingValue(key, std::move(value))});
}

void CTavolinDlg::PostSettings(std::vector<IniFile::Value> values) {
    // Every change of config.ini the window makes passes here, on to the program's store
    // worker. A failed write is not reported; the control keeps its new state.
    emit settingsPosted(m_settingsPath, values);
}

void CTavolinDlg::StoreColour(const ColourKeys& keys, ui::ColourValue colour) {
    // Automatic has no colour bytes: it is stored as black, as it always was. The three
    // components are one write, so no reader ever sees half a colour.
    const ui::ColourValue c = colour == ui::kAutomaticColour ? 0 : colour;
    PostSettings({SettingValue(keys.red, std::to_string(c & 0xFF)),
                  SettingValue(keys.green, std::to_string((c >> 8) & 0xFF)),
                  SettingValue(keys.blue, std::to_string((c >> 16) & 0xFF))});
}

void CTavolinDlg::LoadControls() {
    for (const ControlEntry& c : MainDialogControls()) {
        if (c.colour) {
            auto component = [&](const SettingKey& k) { return Atoi(ReadDialogValue(k)); };
            Find<ui::CColourPicker>(c.id)->ChangeColour(PackColour(
                component(c.colour->red), component(c.colour->green), component(c.colour->blue)));
        }
        if (!c.setting) continue;
        const std::string value = ReadDialogValue(*c.setting);
        switch (c.kind) {
            case ControlKind::Check:
                Find<QCheckBox>(c.id)->setChecked(
                    c.read == SwitchRead::ExactOne ? value == "1" : IsSwitchOn(value));
                break;
            case ControlKind::Radio:
                if (Atoi(value) == c.value) Find<QRadioButton>(c.id)->setChecked(true);
                break;
            case ControlKind::Combo:
                Find<QComboBox>(c.id)->setCurrentIndex(IsSwitchOn(value) ? 1 : 0);
                break;
            case ControlKind::Edit:
                // The path as stored (a missing key is an empty path).
                m_picturePath = QFile::decodeName(QByteArray::fromStdString(value));
                Find<QLineEdit>(c.id)->setText(m_picturePath);
                break;
            default:
                break;
        }
    }
    // A layout value without its button selects the first one.
    if (std::none_of(std::begin(m_layout), std::end(m_layout),
                     [](const QRadioButton* b) { return b->isChecked(); })) {
        m_layout[0]->setChecked(true);
    }
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

    for (const ControlEntry& c : MainDialogControls()) {
        if (!c.colour) continue;
        auto* picker = Find<ui::CColourPicker>(c.id);
        picker->ChangeDefaultText(tr("Automatisch"));
        picker->ChangeCustomText(tr("Weitere ..."));
        connect(picker, &ui::CColourPicker::colourConfirmed, this,
                [this, keys = c.colour](ui::ColourValue colour) { StoreColour(*keys, colour); });
    }
    LoadControls();

    m_fullHeight = height();
    m_collapsedHeight = m_page->y() + m_separator->y();
    if (!m_showAppointments->isChecked()) ApplyAppointmentArea(false);
    m_deleteExpired = m_deleteBox->isChecked();

    // The background rule: the right pair shows, and BGArt is written back as the box shows.
    PostSetting(keys::BackgroundKind, SwitchText(m_pictureBox->isChecked()));
    ApplyBackgroundKind(m_pictureBox->isChecked());
    UpdateLayoutTabStops();

    if (!m_animation.Load(QStringLiteral(":/art/anim132.png"), kAnimationFrames)) {
        MessageBox::show(this,
                         tr("Beim Initialisieren des Programmes ist ein Fehler aufgetreten."),
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

void CTavolinDlg::SwitchChanged(const SettingKey& key, bool on) {
    if (&key == &keys::BackgroundKind) {
        ApplyBackgroundKind(on);
    } else if (&key == &keys::ShowAppointments) {
        ApplyAppointmentArea(on);
    } else if (&key == &keys::DeleteExpired) {
        m_deleteExpired = on;
        emit deleteExpiredSwitched(on);
    } else if (&key == &keys::Alarm) {
        emit alarmSwitched(on);
    }
}

void CTavolinDlg::OnBrowse() {
    const QString file =
        ui::FileDialog::getOpenFileName(this, QString(), QString(), tr(kPictureFilter));
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
    PostSetting(keys::BackgroundPicture, *stored);
    m_picturePath = file;
    m_pathEdit->setText(file);
}

void CTavolinDlg::OnLayout() {
    int value = 1;
    for (const ControlEntry& c : MainDialogControls()) {
        if (c.kind == ControlKind::Radio && Find<QRadioButton>(c.id)->isChecked()) value = c.value;
    }
    PostSetting(keys::Layout, std::to_string(value));
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

void CTavolinDlg::OnFirstWeekday() {
    // By position, not by text: the entries are translated.
    PostSetting(keys::SundayFirst, SwitchText(m_firstWeekday->currentIndex() == 1));
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
        MessageBox::show(isVisible() ? this : nullptr, tr("Fehler bei aktualisieren"),
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
        const ControlEntry* entry = FindMainDialogControl(ControlId(w));
        if (!entry) continue;
        if (!entry->helpTitle) return;  // a control without help shows nothing
        const QPoint centre = w->mapToGlobal(w->rect().center());
        m_balloon = new HelpBalloon(tr(entry->helpTitle), tr(entry->helpText), centre, this);
        m_balloon->show();
        return;
    }
}

}  // namespace tavolin
