#include "app/CTerminDlg.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextCharFormat>
#include <QValidator>
#include <algorithm>

#include "app/UpDownArrows.h"
#include "appointments/AppointmentTime.h"
#include "controls/BuddyButton.h"
#include "controls/COXMaskedEdit.h"
#include "controls/DialogUnits.h"
#include "controls/MessageBox.h"
#include "render/DateRules.h"
#include "render/PixelFont.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"

namespace tavolin {

// Typing stops at the limit, but a longer remark set from outside (an imported one) may still
// be shortened: only growing past the limit is refused. OK checks the final length.
class RemarkLimit : public QValidator {
public:
    RemarkLimit(QObject* parent, int limit)
        : QValidator(parent), m_limit(limit), m_allowed(limit) {}
    State validate(QString& input, int&) const override {
        return input.size() > m_allowed ? Invalid : Acceptable;
    }
    /// The text has changed (typed or set from outside): it may stay as long as it is.
    void TextSet(qsizetype length) { m_allowed = std::max<qsizetype>(m_limit, length); }

private:
    qsizetype m_limit;
    qsizetype m_allowed;
};

namespace {

// A readable object name, with the template's identifier kept in the property "controlId".
void Name(QWidget* w, const char* name, int id) {
    w->setObjectName(QLatin1String(name));
    w->setProperty("controlId", id);
}

// The first character of text that Windows-1252 cannot store, or an empty string.
QString FirstUnstorable(const QString& text) {
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, length);
        if (!Utf8ToCp1252(one.toStdString())) return one;
        i += length;
    }
    return {};
}

}  // namespace

CTerminDlg::CTerminDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Termin / Notiz hinzufügen"));
    setObjectName(QStringLiteral("dlg148"));
    const ui::DialogUnits du = ui::DialogUnits::of(this);
    setFixedSize(du.size(174, 61));

    // Created in tab order.
    m_remarkEdit = new QLineEdit(this);
    Name(m_remarkEdit, "remarkEdit", 1042);
    m_remarkEdit->setAccessibleName(tr("Bemerkung"));
    m_remarkLimit = new RemarkLimit(m_remarkEdit, kMaxRemark);
    m_remarkEdit->setValidator(m_remarkLimit);
    connect(m_remarkEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_remarkLimit->TextSet(text.size()); });
    du.place(m_remarkEdit, 7, 24, 160, 14);

    m_ok = new QPushButton(tr("OK"), this);
    Name(m_ok, "okButton", 1);
    m_ok->setDefault(true);
    du.place(m_ok, 7, 40, 50, 14);
    connect(m_ok, &QPushButton::clicked, this, &CTerminDlg::accept);

    m_cancel = new QPushButton(tr("Abbrechen"), this);
    Name(m_cancel, "cancelButton", 2);
    du.place(m_cancel, 60, 40, 50, 14);
    connect(m_cancel, &QPushButton::clicked, this, &CTerminDlg::reject);

    m_noteBox = new QCheckBox(tr("&Notiz"), this);
    Name(m_noteBox, "noteCheck", 1047);
    du.place(m_noteBox, 7, 9, 32, 10);
    connect(m_noteBox, &QCheckBox::clicked, this, &CTerminDlg::OnNote);

    m_dateEdit = new QDateEdit(this);
    Name(m_dateEdit, "dateEdit", 1043);
    m_dateEdit->setAccessibleName(tr("Datum"));
    m_dateEdit->setCalendarPopup(true);
    // Always day.month.four-digit year: a two-digit year would be read back as 19xx, and the
    // appointments file writes dates this way too.
    m_dateEdit->setDisplayFormat(DateFormat());
    du.place(m_dateEdit, 59, 7, 54, 15);
    // The calendar marks Sundays and holidays only (Qt paints Saturdays red as well), and
    // opens right-aligned under the field.
    QCalendarWidget* calendar = m_dateEdit->calendarWidget();
    calendar->setObjectName(QStringLiteral("dateCalendar"));
    QTextCharFormat plain;
    plain.setForeground(calendar->palette().brush(QPalette::Text));
    calendar->setWeekdayTextFormat(Qt::Saturday, plain);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    calendar->setWeekdayTextFormat(Qt::Sunday, red);
    connect(calendar, &QCalendarWidget::currentPageChanged, this, &CTerminDlg::MarkHolidays);
    MarkHolidays(calendar->yearShown(), calendar->monthShown());
    calendar->window()->installEventFilter(this);

    m_upDown = new UpDownArrows(this);
    Name(m_upDown, "timeArrows", 1048);
    du.place(m_upDown, 156, 7, 11, 14);
    connect(m_upDown, &UpDownArrows::deltaPos, this, &CTerminDlg::OnDeltaPos);

    m_timeEdit = new ui::COXMaskedEdit(this);
    Name(m_timeEdit, "timeEdit", 1044);
    m_timeEdit->setAccessibleName(tr("Zeit"));
    du.place(m_timeEdit, 114, 7, 40, 14);

    setTabOrder(m_remarkEdit, m_ok);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_noteBox);
    setTabOrder(m_noteBox, m_dateEdit);
    setTabOrder(m_dateEdit, m_upDown);
    setTabOrder(m_upDown, m_timeEdit);
}

QWidget* CTerminDlg::control(int id) const {
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id) return w;
    }
    return nullptr;
}

void CTerminDlg::MarkHolidays(int year, int month) {
    QCalendarWidget* calendar = m_dateEdit->calendarWidget();
    calendar->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat red;
    red.setForeground(Qt::red);
    // The page shows parts of the months before and after.
    const QDate shown(year, month, 1);
    for (QDate day = shown.addMonths(-1); day < shown.addMonths(2); day = day.addDays(1)) {
        if (IsHolidayDate(day.day(), day.month(), day.year())) {
            calendar->setDateTextFormat(day, red);
        }
    }
}

bool CTerminDlg::eventFilter(QObject* watched, QEvent* event) {
    QWidget* popup = m_dateEdit->calendarWidget()->window();
    if (watched == popup && event->type() == QEvent::Show) {
        // Right edge under the field's right edge, kept on the screen.
        const QPoint fieldRight = m_dateEdit->mapToGlobal(QPoint(m_dateEdit->width(), 0));
        int x = fieldRight.x() - popup->width();
        if (const QScreen* screen = m_dateEdit->screen()) {
            const QRect area = screen->availableGeometry();
            x = std::clamp(x, area.left(),
                           std::max(area.left(), area.right() + 1 - popup->width()));
        }
        popup->move(x, popup->y());
    }
    return QDialog::eventFilter(watched, event);
}

void CTerminDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) OnInitDialog();
}

void CTerminDlg::OnInitDialog() {
    m_remarkAllowed = std::max<qsizetype>(kMaxRemark, m_remark.size());
    UpdateData(false);
    ui::AttachBuddyButton(m_timeEdit, m_upDown, ui::BuddyRight);
    m_timeEdit->ChangePrompt(QLatin1Char('0'));
    m_timeEdit->ApplyMask(QStringLiteral("##:##"));
    ShowDateAndTime(!m_note);
    m_noteBox->setChecked(m_note);
    UpdateData(false);
    m_remarkEdit->setFocus();
}

void CTerminDlg::ShowDateAndTime(bool show) {
    m_dateEdit->setVisible(show);
    m_timeEdit->setVisible(show);
    m_upDown->setVisible(show);
}

void CTerminDlg::OnNote() {
    m_note = m_noteBox->isChecked();
    ShowDateAndTime(!m_note);
}

void CTerminDlg::Warn(const QString& text, QWidget* focus) {
    ui::MessageBox::show(this, text, tr("Warnung"), ui::MessageBox::Icon::Warning);
    focus->setFocus();
}

bool CTerminDlg::UpdateData(bool saveAndValidate) {
    if (!saveAndValidate) {
        m_remarkEdit->setText(m_remark);
        if (m_date.isValid()) m_dateEdit->setDate(m_date);
        m_timeEdit->setText(m_timeText);
        return true;
    }
    const QString remark = m_remarkEdit->text();
    // Typing stops at the limit; a longer imported remark may stay as long as it was.
    if (remark.size() > m_remarkAllowed) {
        Warn(tr("Bitte geben Sie nicht mehr als %1 Zeichen ein.").arg(kMaxRemark), m_remarkEdit);
        return false;
    }
    // Termine.dat holds Windows-1252; a character outside it would be stored as "?".
    if (const QString bad = FirstUnstorable(remark); !bad.isEmpty()) {
        Warn(tr("Die Bemerkung enthält das Zeichen \"%1\", das die Termindatei nicht "
                "speichern kann. Bitte entfernen oder ersetzen Sie es.")
                 .arg(bad),
             m_remarkEdit);
        return false;
    }
    if (!m_note) {
        // The whole fields, not single keystrokes: a date or time that does not exist must
        // never reach the appointments file.
        const QString dateText = m_dateEdit->text();
        const QDate date = QDate::fromString(dateText, DateFormat());
        if (!date.isValid()) {
            Warn(tr("Das Datum \"%1\" gibt es nicht. Bitte geben Sie ein gültiges Datum "
                    "ein (TT.MM.JJJJ).")
                     .arg(dateText),
                 m_dateEdit);
            return false;
        }
        const QString time = m_timeEdit->DisplayText();
        if (!ui::COXMaskedEdit::IsPlausibleTime(time)) {
            Warn(tr("Die Uhrzeit \"%1\" gibt es nicht. Bitte geben Sie eine Uhrzeit von "
                    "00:00 bis 23:59 ein.")
                     .arg(time),
                 m_timeEdit);
            return false;
        }
    }
    // Stored, but the wallpaper's font has no glyph for it: say so now rather than at every
    // generation.
    const std::string bytes = Utf8ToCp1252(remark.toStdString()).value_or(std::string());
    if (const std::string missing = PixelFont::UndrawableCharacters(bytes); !missing.empty()) {
        const QString names = QString::fromStdString(Cp1252ToUtf8(missing));
        QStringList quoted;
        for (const QChar c : names) quoted << QStringLiteral("\"%1\"").arg(c);
        const auto answer = ui::MessageBox::show(
            this,
            tr("Das Hintergrundbild kann %1 nicht darstellen; dort bleibt die Stelle leer.\n"
               "Soll der Termin trotzdem so gespeichert werden?")
                .arg(quoted.join(QStringLiteral(", "))),
            tr("Warnung"), ui::MessageBox::Icon::Warning, ui::MessageBox::Buttons::YesNo,
            ui::MessageBox::Yes);
        if (answer != ui::MessageBox::Yes) {
            m_remarkEdit->setFocus();
            return false;
        }
    }
    m_remark = remark;
    m_date = m_note ? m_dateEdit->date() : QDate::fromString(m_dateEdit->text(), DateFormat());
    m_timeText = m_timeEdit->text();
    return true;
}

void CTerminDlg::OnDeltaPos(int delta) {
    // The step starts from the time shown and changes only the time: the remark and date
    // typed meanwhile stay as they are.
    const std::string shown = m_timeEdit->DisplayText().toStdString();
    int hour = Atoi(std::string_view(shown).substr(0, 2));
    int minute = Atoi(shown.size() >= 2 ? std::string_view(shown).substr(shown.size() - 2)
                                        : std::string_view(shown));
    if (delta == -1) {
        minute += 15;
    } else if (delta == 1) {
        minute -= 15;
    }
    if (minute > 45) {
        minute = 0;
        ++hour;
    } else if (minute < 0) {
        minute += 60;
        --hour;
    }
    if (hour > 23) {
        hour = 0;
    } else if (hour < 0) {
        hour = 23;
    }
    m_timeText = QString::fromStdString(QuarterTime(hour, minute));
    m_timeEdit->setText(m_timeText);
}

void CTerminDlg::accept() {
    if (!UpdateData(true)) return;
    QDialog::accept();
}

}  // namespace tavolin
