// The appointment list and its commands on 8 March 2003 in Europe/Berlin, with the appointment
// dialog driven through its controls and every message box recorded.
#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

#include "ControlLookup.h"
#include "app/AppointmentList.h"
#include "app/CTerminDlg.h"
#include "controls/DialogRecorder.h"
#include "support/TestSupport.h"

using namespace tavolin;
using tavolin::test::Control;
using ui::DialogRecorder;

namespace {

// What a test's stand-in user does with the dialog; the offered fields are kept for checks.
struct Offered {
    QDate date;
    QString time;
    QString remark;
    bool note = false;
    int shown = 0;
};

}  // namespace

class AppointmentListTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<test::ScopedTimeZone> m_tz;
    std::unique_ptr<test::FixedClock> m_clock;
    std::unique_ptr<QWidget> m_owner;
    QTableWidget* m_table = nullptr;
    std::unique_ptr<AppointmentList> m_list;
    bool m_deleteExpired = true;
    Offered m_offered;

    std::filesystem::path Termine() const { return *m_dir / "Termine.dat"; }
    std::string Bytes() const { return test::ReadBytes(Termine()); }
    void Write(const std::string& bytes) const { test::WriteBytes(Termine(), bytes); }
    QString Cell(int row, int column) const { return m_table->item(row, column)->text(); }

    // The user types remark (after clearing the field), ticks or clears "Notiz" as note says,
    // optionally sets the date, then presses OK (ok) or Abbrechen.
    void Answer(const QString& remark, bool ok = true, std::optional<bool> note = {},
                QDate date = {}) {
        m_list->setDialogRunner([=, this](CTerminDlg& d) {
            d.show();
            ++m_offered.shown;
            m_offered.date = d.m_date;
            m_offered.time = d.m_timeText;
            m_offered.remark = d.m_remark;
            m_offered.note = d.m_note;
            auto* edit = Control<QLineEdit>(d, "remarkEdit");
            edit->clear();
            edit->insert(remark);
            auto* box = Control<QCheckBox>(d, "noteCheck");
            if (note && box->isChecked() != *note) QTest::mouseClick(box, Qt::LeftButton);
            if (date.isValid()) Control<QDateEdit>(d, "dateEdit")->setDate(date);
            if (!ok) {
                d.reject();
                return false;
            }
            d.accept();
            return d.result() == QDialog::Accepted;
        });
    }
    void Select(int row) { m_table->selectRow(row); }

private slots:
    void init() {
        m_dir = std::make_unique<test::TempDir>();
        m_tz = std::make_unique<test::ScopedTimeZone>("Europe/Berlin");
        m_clock = std::make_unique<test::FixedClock>(test::Local(2003, 3, 8, 10, 7));
        m_owner = std::make_unique<QWidget>();
        m_table = new QTableWidget(m_owner.get());
        m_table->resize(400, 150);
        m_deleteExpired = true;
        m_offered = {};
        m_list = std::make_unique<AppointmentList>(
            m_table, m_owner.get(), AppointmentStore(Termine()), [this] { return m_deleteExpired; },
            [this] { return m_clock->Now(); });
        m_list->SetUpColumns();
    }
    void cleanup() {
        m_list.reset();
        m_owner.reset();
        m_clock.reset();
        m_tz.reset();
        m_dir.reset();
    }

    void columnsAndRefreshShowTheTidiedFile() {
        QCOMPARE(m_table->horizontalHeaderItem(0)->text(), QStringLiteral("Datum"));
        QCOMPARE(m_table->horizontalHeaderItem(1)->text(), QStringLiteral("Bemerkung"));
        QCOMPARE(m_table->columnWidth(0), (400 - 20) / 3 - 10);
        QCOMPARE(m_table->columnWidth(1), (2 * 400 - 40) / 3 + 10);
        QCOMPARE(m_table->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(m_table->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(m_table->showGrid());
        Write("09.03.2003 - 09:00 # Gr\xFC\xDF\x65\r\nNotiz # b\r\n07.03.2003 - 23:30 # Friseur");
        m_list->RefreshList();
        m_list->WaitIdle();
        QCOMPARE(m_table->rowCount(), 2);
        QCOMPARE(Cell(0, 0), QString());
        QCOMPARE(Cell(0, 1), QStringLiteral("b"));
        QCOMPARE(Cell(1, 0), QStringLiteral("09.03.2003 - 09:00"));
        QCOMPARE(Cell(1, 1), QString::fromUtf8("Grüße"));
        QCOMPARE(Bytes(), "Notiz # b\r\n09.03.2003 - 09:00 # Gr\xFC\xDF\x65");
        // A missing file leaves the list empty and is not created.
        std::filesystem::remove(Termine());
        m_list->RefreshList();
        m_list->WaitIdle();
        QCOMPARE(m_table->rowCount(), 0);
        QVERIFY(!std::filesystem::exists(Termine()));
    }

    void addingANoteStoresNotizAndShowsItFirst() {
        Write("08.03.2003 - 12:00 # Mittag");
        m_list->RefreshList();
        m_list->WaitIdle();
        Answer(QString::fromUtf8("Blumen für Oma"), true, true);
        m_list->OnAdd();
        m_list->WaitIdle();
        QCOMPARE(m_offered.time, QStringLiteral("10:15"));
        QCOMPARE(m_offered.date, QDate(2003, 3, 8));
        QCOMPARE(Bytes(), "Notiz # Blumen f\xFCr Oma\r\n08.03.2003 - 12:00 # Mittag");
        QCOMPARE(Cell(0, 0), QString());
        QCOMPARE(Cell(0, 1), QString::fromUtf8("Blumen für Oma"));
    }

    void addingAt2355OffersMidnightOfTheSameDay() {
        m_clock->Set(test::Local(2003, 3, 8, 23, 55));
        Answer(QStringLiteral("Spät"));
        m_list->OnAdd();
        m_list->WaitIdle();
        QCOMPARE(m_offered.date, QDate(2003, 3, 8));
        QCOMPARE(m_offered.time, QStringLiteral("00:00"));
        QCOMPARE(Bytes(), "08.03.2003 - 00:00 # Sp\xE4t");
        QCOMPARE(Cell(0, 0), QStringLiteral("08.03.2003 - 00:00"));
    }

    void editingOffersTheQuarterHourAndStoresIt() {
        Write("Notiz # a\r\n09.03.2003 - 10:05 # Import");
        m_list->RefreshList();
        m_list->WaitIdle();
        Select(1);
        Answer(QStringLiteral("Import"));
        m_list->OnEdit();
        m_list->WaitIdle();
        QCOMPARE(m_offered.date, QDate(2003, 3, 9));
        QCOMPARE(m_offered.time, QStringLiteral("10:00"));
        QCOMPARE(m_offered.remark, QStringLiteral("Import"));
        QVERIFY(!m_offered.note);
        QCOMPARE(Bytes(), "Notiz # a\r\n09.03.2003 - 10:00 # Import");

        // A note is offered with today's quarter hour and the flag on; it can become dated.
        Select(0);
        Answer(QStringLiteral("b"), true, false);
        m_list->OnEdit();
        m_list->WaitIdle();
        QVERIFY(m_offered.note);
        QCOMPARE(m_offered.time, QStringLiteral("10:15"));
        QCOMPARE(Bytes(), "08.03.2003 - 10:15 # b\r\n09.03.2003 - 10:00 # Import");

        // Cancelled: nothing changes.
        Select(0);
        Answer(QStringLiteral("c"), false);
        m_list->OnEdit();
        m_list->WaitIdle();
        QCOMPARE(Bytes(), "08.03.2003 - 10:15 # b\r\n09.03.2003 - 10:00 # Import");
    }

    void deletingRemovesAtOnceAndHandEditedLinesToo() {
        DialogRecorder recorder;
        Write("Notiz # a\r\nNotiz # a\r\n09.03.2003 - 10:00 # x\r\nkaputt");
        m_list->RefreshList();
        m_list->WaitIdle();
        QCOMPARE(m_table->rowCount(), 3);  // the duplicate is gone
        Select(0);
        m_list->OnDelete();
        m_list->WaitIdle();
        QCOMPARE(Bytes(), "09.03.2003 - 10:00 # x\r\nkaputt");
        Select(1);
        m_list->OnDelete();
        m_list->WaitIdle();
        QCOMPARE(Bytes(), "09.03.2003 - 10:00 # x");
        QVERIFY(recorder.messages().empty());
    }

    void withoutASelectionOnlyTheEditButtonSaysSo() {
        DialogRecorder recorder;
        Write("Notiz # a");
        m_list->RefreshList();
        m_list->WaitIdle();
        Answer(QStringLiteral("b"));
        m_list->OnEdit(true);  // double click
        m_list->WaitIdle();
        m_list->OnDelete();
        m_list->WaitIdle();
        QVERIFY(recorder.messages().empty());
        m_list->OnEdit();
        m_list->WaitIdle();
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].text,
                 QStringLiteral("Es ist noch kein Eintrag markiert wurden."));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Hinweis"));
        QCOMPARE(recorder.messages()[0].icon, ui::MessageBox::Icon::Critical);
        QCOMPARE(m_offered.shown, 0);
        QCOMPARE(Bytes(), "Notiz # a");
    }

    void doubleClickOnARowEdits() {
        Write("09.03.2003 - 10:00 # x");
        m_list->RefreshList();
        m_list->WaitIdle();
        Answer(QStringLiteral("y"));
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
        const QRect cell = m_table->visualItemRect(m_table->item(0, 1));
        QTest::mouseClick(m_table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(m_table->viewport(), Qt::LeftButton, {}, cell.center());
        m_list->WaitIdle();
        QCOMPARE(m_offered.shown, 1);
        QCOMPARE(Bytes(), "09.03.2003 - 10:00 # y");
    }

    void anEmptyRemarkIsRefusedWithTheWarning() {
        DialogRecorder recorder;
        Write("Notiz # a");
        Answer(QString());
        m_list->OnAdd();
        m_list->WaitIdle();
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Warnung"));
        QCOMPARE(recorder.messages()[0].text,
                 QString::fromUtf8("Sie haben keine Bemerkung für das Datum eingegeben.\n"
                                   "Der Termin konnte nicht gespeichert werden."));
        QCOMPARE(recorder.messages()[0].icon, ui::MessageBox::Icon::Critical);
        QCOMPARE(Bytes(), "Notiz # a");
    }

    void anAppointmentOfYesterdayIsDeletedOrMovedByTheRefresh() {
        Answer(QStringLiteral("Sport"), true, false, QDate(2003, 3, 7));
        m_list->OnAdd();
        m_list->WaitIdle();
        QCOMPARE(m_table->rowCount(), 0);
        QCOMPARE(Bytes(), "");
        m_deleteExpired = false;
        m_list->OnAdd();
        m_list->WaitIdle();
        QCOMPARE(m_table->rowCount(), 1);
        QCOMPARE(Cell(0, 0), QStringLiteral("08.03.2003 - 10:15"));
        QCOMPARE(Bytes(), "08.03.2003 - 10:15 # Sport");
    }

    // A file too large to show is said once (the list stays empty and the file untouched), not
    // passed over as if there were no appointments.
    void anOversizedFileIsReportedOnce() {
        DialogRecorder recorder;
        Write("09.03.2003 - 10:00 # x");
        std::filesystem::resize_file(Termine(), kMaxAppointmentFileBytes + 1);  // sparse
        m_list->RefreshList();
        m_list->WaitIdle();
        QCOMPARE(m_table->rowCount(), 0);
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Fehler"));
        QVERIFY(recorder.messages()[0].text.contains(QString::fromUtf8("zu groß")));
        m_list->RefreshList();
        m_list->WaitIdle();
        QCOMPARE(recorder.messages().size(), size_t(1));
        QCOMPARE(std::filesystem::file_size(Termine()), kMaxAppointmentFileBytes + 1);
    }

    // Changed elsewhere (tavolin-cli, a second copy): the list follows, and an edit of a row the
    // file no longer holds is refused instead of writing over another line.
    void aChangeMadeElsewhereReloadsTheList() {
        Write("09.03.2003 - 10:00 # x");
        m_list->RefreshList();
        m_list->WaitIdle();
        m_list->WatchFile();
        QCOMPARE(m_table->rowCount(), 1);
        // As tavolin-cli writes: a new file renamed over the old one.
        test::WriteBytes(*m_dir / "Termine.tmp",
                         "09.03.2003 - 10:00 # x\r\n10.03.2003 - 11:00 # y");
        std::filesystem::rename(*m_dir / "Termine.tmp", Termine());
        QTRY_COMPARE(m_table->rowCount(), 2);
        QCOMPARE(Cell(1, 1), QStringLiteral("y"));

        Select(0);
        Write("10.03.2003 - 11:00 # y");  // row 0 is gone meanwhile
        DialogRecorder recorder;
        Answer(QStringLiteral("z"));
        m_list->OnEdit();
        m_list->WaitIdle();
        QCOMPARE(Bytes(), "10.03.2003 - 11:00 # y");
        QVERIFY(!recorder.messages().empty());
        QVERIFY(
            recorder.messages()[0].text.contains(QStringLiteral("nicht mehr in der Termindatei")));
    }

    void aFailedWriteIsReportedNotSwallowed() {
        DialogRecorder recorder;
        std::filesystem::create_directory(Termine());
        Answer(QStringLiteral("x"));
        m_list->OnAdd();
        m_list->WaitIdle();
        // The failed change, then the list that cannot show the file (once).
        QCOMPARE(recorder.messages().size(), size_t(2));
        QCOMPARE(recorder.messages()[0].caption, QStringLiteral("Fehler"));
        QVERIFY(recorder.messages()[0].text.contains(QStringLiteral("nichts gespeichert")));
        QVERIFY(recorder.messages()[1].text.contains(QStringLiteral("kann nicht gelesen werden")));
        m_list->RefreshList();
        m_list->WaitIdle();
        QCOMPARE(recorder.messages().size(), size_t(2));
    }
};

QTEST_MAIN(AppointmentListTest)
#include "AppointmentListTest.moc"
