#include "app/MainDialogControls.h"

#include <QtGlobal>

namespace tavolin {
namespace {

// The texts are German sources, marked for translation under the window's own context.
using K = ControlKind;

constexpr const char* kPictureTitle = QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild");
constexpr const char* kPictureHelp = QT_TRANSLATE_NOOP(
    "tavolin::CTavolinDlg", "Hier geben Sie bitte den Pfad für das Hintergrundbild ein.");
constexpr const char* kLayoutTitle = QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Layout");
constexpr const char* kLayoutHelp = QT_TRANSLATE_NOOP(
    "tavolin::CTavolinDlg",
    "Hiermit wird festgelegt, ob auf dem Desktop der aktuelle Monat, der vergangene, der "
    "aktuelle und der nächste Monat, das aktuelle Datum oder kein Datum angezeigt werden "
    "soll.");

// Helper shapes keep the table's rows short; every row still says all that is particular.
constexpr ControlEntry Label(int id, const char* name, const char* text, int l, int t, int w,
                            int room, int buddy) {
    return {id, name, K::Label, text, l, t, w, 8, room, buddy};
}

constexpr ControlEntry Check(int id, const char* name, const char* text, int l, int t, int w,
                            const SettingKey* key, const char* title, const char* help,
                            SwitchRead read = SwitchRead::AtoiOne) {
    ControlEntry s{id, name, K::Check, text, l, t, w, 10};
    s.setting = key;
    s.read = read;
    s.helpTitle = title;
    s.helpText = help;
    return s;
}

// A check box whose German text is used elsewhere with another English one.
constexpr ControlEntry Check(int id, const char* name, TrText text, int l, int t, int w,
                            const SettingKey* key, const char* title, const char* help,
                            SwitchRead read) {
    ControlEntry s = Check(id, name, text.source, l, t, w, key, title, help, read);
    s.textComment = text.comment;
    return s;
}

constexpr ControlEntry Picker(int id, const char* name, const char* accessible, int t,
                             const ColourKeys* keys, const char* title, const char* help) {
    ControlEntry s{id, name, K::Picker, nullptr, 74, t, 39, 14};
    s.accessibleName = accessible;
    s.colour = keys;
    s.helpTitle = title;
    s.helpText = help;
    return s;
}

constexpr ControlEntry Radio(int id, const char* name, const char* text, int t, int value) {
    ControlEntry s{id, name, K::Radio, text, 121, t, 85, 10};
    s.setting = &keys::Layout;
    s.value = value;
    s.helpTitle = kLayoutTitle;
    s.helpText = kLayoutHelp;
    return s;
}

constexpr ControlEntry Group(int id, const char* name, const char* text, int l, int t, int w,
                            int h) {
    return {id, name, K::Group, text, l, t, w, h};
}

constexpr ControlEntry Button(int id, const char* name, const char* text, int l, int t, int w,
                             const char* accessible, const char* title, const char* help) {
    ControlEntry s{id, name, K::Button, text, l, t, w, 14};
    s.accessibleName = accessible;
    s.helpTitle = title;
    s.helpText = help;
    return s;
}

constexpr ControlEntry Special(ControlEntry s, const char* accessible, const SettingKey* key,
                              const char* title, const char* help) {
    s.accessibleName = accessible;
    s.setting = key;
    s.helpTitle = title;
    s.helpText = help;
    return s;
}

const ControlEntry kControls[] = {
    Special({1009, "bannerPicture", K::Picture, nullptr, 26, 7, 260, 33}, "Tavolin by Pelmar",
            nullptr, nullptr, nullptr),
    Check(1008, "backgroundPictureCheck",
          TrText QT_TRANSLATE_NOOP3("tavolin::CTavolinDlg", "Hintergrundbild", "check box"), 7, 54,
          65, &keys::BackgroundKind,
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild verwenden"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Damit legen Sie fest, ob ein Bild, oder eine Farbe, als Hintergrund verwendet "
              "werden soll."),
          SwitchRead::ExactOne),
    Check(1052, "centrePictureCheck",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild &zentrieren"), 75, 55, 99,
          &keys::BackgroundCentre,
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild zentrieren"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Mit dieser Einstellung geben Sie an, ob das als Hintergrund gewählte Bild, falls "
              "es kleiner als der Bildschirm ist, zentriert wird. Ansonsten wird es "
              "gestreckt.")),
    Label(1007, "backgroundColourLabel",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundfarbe:"), 7, 73, 59, 74, 1003),
    Picker(1003, "backgroundColourPicker",
           QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundfarbe"), 70,
           &keys::BackgroundColour, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundfarbe"),
           QT_TRANSLATE_NOOP(
               "tavolin::CTavolinDlg",
               "Hiermit wählen Sie die Farbe, die später Ihre Hintergrundfarbe sein soll.")),
    Label(1006, "picturePathLabel", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild:"),
          7, 73, 52, 71, 1004),
    Special({1004, "picturePathEdit", K::Edit, nullptr, 71, 70, 241, 14},
            QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild"), &keys::BackgroundPicture,
            kPictureTitle, kPictureHelp),
    Button(1002, "browsePictureButton", "...", 295, 70, 17,
           QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Hintergrundbild wählen"), kPictureTitle,
           kPictureHelp),

    Label(1011, "dayColourLabel", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Tagesfarbe:"), 7, 89,
          59, 74, 1012),
    Picker(1012, "dayColourPicker", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Tagesfarbe"), 86,
           &keys::DayColour, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Tagesfarbe"),
           QT_TRANSLATE_NOOP(
               "tavolin::CTavolinDlg",
               "Hier wird angegeben, welche Farbe normale Tage (nicht der Aktuelle und keine "
               "Sonn- und Feiertage) haben sollen. Zudem wird diese Farbe für die Beschriftung "
               "und den Rahmen der Felder verwendet.")),
    Label(1017, "holidayColourLabel", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Feiertagsfarbe:"),
          7, 105, 59, 74, 1018),
    Picker(1018, "holidayColourPicker", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Feiertagsfarbe"),
           102, &keys::HolidayColour, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Feiertagsfarbe"),
           QT_TRANSLATE_NOOP("tavolin::CTavolinDlg",
                             "Diese Farbe wird für die Feiertage, sowie Sonntage verwendet.")),
    Label(1020, "monthColourLabel", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Monatsfarbe:"), 7,
          121, 59, 74, 1021),
    Picker(1021, "monthColourPicker", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Monatsfarbe"), 118,
           &keys::MonthColour, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Monatsfarbe"),
           QT_TRANSLATE_NOOP(
               "tavolin::CTavolinDlg",
               "Damit geben Sie die Farbe an, in der die Monatsnamen und die Beschriftung in der "
               "Rahmen gezeichnet werden.")),
    Label(1023, "currentDayColourLabel",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "akt. Tagesfarbe:"), 7, 137, 59, 74, 1024),
    Picker(
        1024, "currentDayColourPicker",
        QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "akt. Tagesfarbe"), 134, &keys::CurrentDayColour,
        QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "akt. Tagesfarbe"),
        QT_TRANSLATE_NOOP("tavolin::CTavolinDlg",
                          "Mit dieser Farbe wird der aktuelle Tag und alle Termine für diesen Tag "
                          "gezeichnet.")),

    Group(1027, "layoutGroup", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Layout"), 117, 87, 95,
          61),
    Radio(1014, "layoutOneMonthRadio", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&1 Monat"), 98,
          1),
    Radio(1015, "layoutThreeMonthsRadio", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&3 Monate"),
          110, 2),
    Radio(1016, "layoutCurrentDayRadio",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Aktueller Tag"), 122, 3),
    Radio(1026, "layoutNoDateRadio", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Ohne Datum"), 134,
          4),

    Group(1032, "autostartGroup", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Autostart"), 217, 87,
          95, 20),
    Check(1028, "autostartCheck", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "A&utomatisch starten"),
          223, 95, 85, &keys::Autostart,
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Automatisch starten"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Geben Sie hier an, ob der Kalender bei der Windowsanmeldung automatisch erstellt "
              "werden soll. Dabei wird das Programm neben der Uhr in der Taskleiste abgelegt.")),
    Group(1033, "appointmentsGroup", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termine"), 217, 108,
          95, 22),
    Check(1029, "showAppointmentsCheck",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Termine anzeigen"), 223, 117, 85,
          &keys::ShowAppointments, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termine anzeigen"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Hiermit wird festgelegt, ob beim Erstellen des Hintergrundbildes die Termine "
              "mitgezeichnet werden.")),
    Label(0, "firstWeekdayLabel", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Erster W-Tag:"), 217,
          134, 48, 268, 1051),
    Special({1051, "firstWeekdayCombo", K::Combo, nullptr, 268, 132, 44, 12},
            QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Erster Wochentag"), &keys::SundayFirst,
            QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Erster Wochentag"),
            QT_TRANSLATE_NOOP(
                "tavolin::CTavolinDlg",
                "Mit dieser Einstellung legen Sie fest, ob der Sonntag oder der Montag als "
                "erster Wochentag angezeigt werden soll.")),

    Special({1039, "separatorLine", K::Line, nullptr, 7, 154, 305, 1},
            QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Trennlinie"), nullptr, nullptr, nullptr),

    Group(0, "appointmentSettingsGroup",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Zusätzliche Termineinstellungen"), 7, 157, 206,
          25),
    Check(1046, "calendarWeeksCheck",
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Kalenderwoche anzeigen"), 16, 168, 100,
          &keys::CalendarWeeks, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Kalenderwoche anzeigen"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Wenn dieser Schalter gesetzt ist, werden bei den auf dem Desktop angezeigten "
              "Terminen die Kalenderwochen mitgedruckt.")),
    Check(1030, "deleteExpiredCheck", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "T&ermine löschen"),
          121, 168, 85, &keys::DeleteExpired,
          QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termine löschen"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Hiermit wird festgelegt, ob abgelaufene Termine aus der Liste gelöscht werden "
              "sollen oder sie auf das aktuelle Datum verschoben werden.")),
    Group(0, "alarmGroup", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Alarmeistellungen"), 218, 156,
          94, 25),
    Check(1050, "alarmCheck", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Meldung anzeigen"), 226,
          168, 80, &keys::Alarm, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Meldung anzeigen"),
          QT_TRANSLATE_NOOP(
              "tavolin::CTavolinDlg",
              "Mit Hilfe dieses Schalters legen Sie fest, ob beim Erreichen des Termins eine "
              "Nachricht angezeigt werden soll.")),

    Special({1038, "appointmentList", K::List, nullptr, 47, 184, 265, 78},
            QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termine"), nullptr,
            QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termintabelle"),
            QT_TRANSLATE_NOOP(
                "tavolin::CTavolinDlg",
                "In dieser Tabelle werden alle eingetragenen Termine, die noch nicht abgelaufen "
                "sind, angezeigt.\nDurch Doppelklick können sie bearbeitet werden.")),
    Button(1041, "addAppointmentButton", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Hinzfügen"), 7,
           185, 37, nullptr, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termin hinzufügen"),
           QT_TRANSLATE_NOOP("tavolin::CTavolinDlg",
                             "Damit öffnen Sie einen Dialog zum Eintragen neuer Termine.")),
    Button(
        1042, "editAppointmentButton", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Bearbeiten"), 7,
        201, 37, nullptr, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termin bearbeiten"),
        QT_TRANSLATE_NOOP("tavolin::CTavolinDlg",
                          "Damit öffnen Sie einen Dialog zum Bearbeiten des markierten Termins.")),
    Button(1043, "deleteAppointmentButton", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Löschen"),
           7, 217, 37, nullptr, QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Termine löschen"),
           QT_TRANSLATE_NOOP("tavolin::CTavolinDlg",
                             "Damit öffnen Sie einen Dialog zum Löschen des markierten Termins.")),
};

const MenuCommandEntry kMenuCommands[] = {
    {134, "generateAction", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Programm"),
     QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Erstellen")},
    {135, "quitAction", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Programm"),
     QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Beenden"), true},
    {154, "outlookImportAction", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "Term&ine"),
     QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Outlook-Import")},
    {136, "infoAction", QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&?"),
     QT_TRANSLATE_NOOP("tavolin::CTavolinDlg", "&Info ...")},
};

}  // namespace

std::span<const ControlEntry> MainDialogControls() {
    return kControls;
}

const ControlEntry* FindMainDialogControl(int id) {
    if (id == 0) return nullptr;
    for (const ControlEntry& c : kControls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

std::span<const MenuCommandEntry> MainMenuCommands() {
    return kMenuCommands;
}

}  // namespace tavolin
