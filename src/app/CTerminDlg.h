#pragma once
// The small dialog in which one appointment or note is entered or changed. The caller sets the
// fields, shows it and reads the fields back after OK; the dialog never touches Termine.dat.

#include <QDate>
#include <QDialog>
#include <QString>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace tavolin {

namespace ui {
class COXMaskedEdit;
}
class RemarkLimit;
class UpDownArrows;

class CTerminDlg : public QDialog {
    Q_OBJECT

public:
    /// The most characters a remark may have.
    static constexpr int kMaxRemark = 35;

    explicit CTerminDlg(QWidget* parent = nullptr);

    // The fields: set before showing, read after OK.
    QString m_remark;
    QDate m_date = QDate::currentDate();
    bool m_note = false;
    QString m_timeText;

    /// The control with the given template id (its property "controlId"), or nullptr.
    QWidget* control(int id) const;

    /// One step of the up-down control 1048: -1 a quarter hour later, +1 earlier. Steps from
    /// the time shown and leaves the other fields as typed.
    void OnDeltaPos(int delta);

    /// The date field's fixed format: day, month, four-digit year, whatever the locale.
    static QString DateFormat() { return QStringLiteral("dd.MM.yyyy"); }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnNote();
    /// Moves the fields into the controls (false) or takes the controls' values into the
    /// fields, checking them (true); false when a check failed and was shown.
    bool UpdateData(bool saveAndValidate);
    void ShowDateAndTime(bool show);
    void Warn(const QString& text, QWidget* focus);
    void MarkHolidays(int year, int month);
    bool eventFilter(QObject* watched, QEvent* event) override;

    qsizetype m_remarkAllowed = kMaxRemark;  // a longer remark set before opening may stay

    QLineEdit* m_remarkEdit = nullptr;  // 1042
    RemarkLimit* m_remarkLimit = nullptr;
    QPushButton* m_ok = nullptr;              // 1
    QPushButton* m_cancel = nullptr;          // 2
    QCheckBox* m_noteBox = nullptr;           // 1047
    QDateEdit* m_dateEdit = nullptr;          // 1043
    UpDownArrows* m_upDown = nullptr;         // 1048
    ui::COXMaskedEdit* m_timeEdit = nullptr;  // 1044
};

}  // namespace tavolin
