#include "app/CTerminDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QValidator>
#include <algorithm>

#include "app/UpDownArrows.h"
#include "appointments/AppointmentTime.h"
#include "controls/BuddyButton.h"
#include "controls/COXMaskedEdit.h"
#include "controls/DialogUnits.h"
#include "controls/MessageBox.h"
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

QString Id(int id) {
    return QStringLiteral("ctl%1").arg(id);
}

// The short date format of the locale, but always with the four-digit year: a two-digit year
// would be read back as 19xx.
QString ShortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
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
    setWindowTitle(QString::fromUtf8("Termin / Notiz hinzufügen"));
    setObjectName(QStringLiteral("dlg148"));
    const ui::DialogUnits du = ui::DialogUnits::of(this);
    setFixedSize(du.size(174, 61));

    // Created in tab order.
    m_remarkEdit = new QLineEdit(this);
    m_remarkEdit->setObjectName(Id(1042));
    m_remarkEdit->setAccessibleName(QStringLiteral("Bemerkung"));
    m_remarkLimit = new RemarkLimit(m_remarkEdit, kMaxRemark);
    m_remarkEdit->setValidator(m_remarkLimit);
    connect(m_remarkEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_remarkLimit->TextSet(text.size()); });
    du.place(m_remarkEdit, 7, 24, 160, 14);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(Id(1));
    m_ok->setDefault(true);
    du.place(m_ok, 7, 40, 50, 14);
    connect(m_ok, &QPushButton::clicked, this, &CTerminDlg::accept);

    m_cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_cancel->setObjectName(Id(2));
    du.place(m_cancel, 60, 40, 50, 14);
    connect(m_cancel, &QPushButton::clicked, this, &CTerminDlg::reject);

    m_noteBox = new QCheckBox(QStringLiteral("&Notiz"), this);
    m_noteBox->setObjectName(Id(1047));
    du.place(m_noteBox, 7, 9, 32, 10);
    connect(m_noteBox, &QCheckBox::clicked, this, &CTerminDlg::OnNote);

    m_dateEdit = new QDateEdit(this);
    m_dateEdit->setObjectName(Id(1043));
    m_dateEdit->setAccessibleName(QStringLiteral("Datum"));
    m_dateEdit->setCalendarPopup(true);
    m_dateEdit->setDisplayFormat(ShortDateFormat());
    du.place(m_dateEdit, 59, 7, 54, 15);

    m_upDown = new UpDownArrows(this);
    m_upDown->setObjectName(Id(1048));
    du.place(m_upDown, 156, 7, 11, 14);
    connect(m_upDown, &UpDownArrows::deltaPos, this, &CTerminDlg::OnDeltaPos);

    m_timeEdit = new ui::COXMaskedEdit(this);
    m_timeEdit->setObjectName(Id(1044));
    m_timeEdit->setAccessibleName(QStringLiteral("Zeit"));
    du.place(m_timeEdit, 114, 7, 40, 14);

    setTabOrder(m_remarkEdit, m_ok);
    setTabOrder(m_ok, m_cancel);
    setTabOrder(m_cancel, m_noteBox);
    setTabOrder(m_noteBox, m_dateEdit);
    setTabOrder(m_dateEdit, m_upDown);
    setTabOrder(m_upDown, m_timeEdit);
}

QWidget* CTerminDlg::control(int id) const {
    return findChild<QWidget*>(Id(id));
}

void CTerminDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) OnInitDialog();
}

void CTerminDlg::OnInitDialog() {
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

bool CTerminDlg::UpdateData(bool saveAndValidate) {
    if (!saveAndValidate) {
        m_remarkEdit->setText(m_remark);
        if (m_date.isValid()) m_dateEdit->setDate(m_date);
        m_timeEdit->setText(m_timeText);
        return true;
    }
    const QString remark = m_remarkEdit->text();
    if (remark.size() > kMaxRemark) {
        ui::MessageBox::show(
            this, QStringLiteral("Please enter no more than %1 characters.").arg(kMaxRemark),
            QCoreApplication::applicationName(), ui::MessageBox::Icon::Warning);
        m_remarkEdit->setFocus();
        return false;
    }
    // Termine.dat holds Windows-1252; a character outside it would be stored as "?".
    if (const QString bad = FirstUnstorable(remark); !bad.isEmpty()) {
        ui::MessageBox::show(
            this,
            QStringLiteral("The remark contains \"%1\", which the appointments file "
                           "(Windows-1252) cannot store. Please remove or replace it.")
                .arg(bad),
            QCoreApplication::applicationName(), ui::MessageBox::Icon::Warning);
        m_remarkEdit->setFocus();
        return false;
    }
    m_remark = remark;
    m_date = m_dateEdit->date();
    m_timeText = m_timeEdit->text();
    return true;
}

void CTerminDlg::OnDeltaPos(int delta) {
    // The step starts from the held time text, not from what was typed since, and transfers
    // all held fields into the controls afterwards.
    const std::string held = m_timeText.toStdString();
    int hour = Atoi(std::string_view(held).substr(0, 2));
    int minute = Atoi(held.size() >= 2 ? std::string_view(held).substr(held.size() - 2)
                                       : std::string_view(held));
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
    UpdateData(false);
}

void CTerminDlg::accept() {
    if (!UpdateData(true)) return;
    QDialog::accept();
}

}  // namespace tavolin
