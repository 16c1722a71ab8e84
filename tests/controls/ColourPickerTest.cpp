// The colour picker and its popup: choosing, cancelling, storing, the keyboard walk and the
// popup's place on the screen.

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <sstream>

#include "controls/CColourPicker.h"
#include "controls/ColourDropDown.h"
#include "controls/DialogRecorder.h"

using namespace tavolin::ui;

namespace {

std::string ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A dialog with the day-colour picker, storing into an empty config.ini.
struct PickerForm {
    QTemporaryDir dir;
    QString ini;
    QWidget window;
    CColourPicker* picker;

    PickerForm() {
        ini = dir.filePath(QStringLiteral("config.ini"));
        std::ofstream(ini.toStdString()).flush();
        picker = new CColourPicker(&window);
        picker->setObjectName(QStringLiteral("ctl1012"));
        picker->setGeometry(20, 20, 60, 23);
        picker->ConfigureStorage(ini.toStdString(), "Tag", "T");
        picker->ChangeColour(tavolin::ui::Rgb(0, 0, 139));
        window.resize(200, 100);
        window.move(100, 100);
        window.show();
    }
    ColourDropDown* open() {
        picker->OpenPopup();
        return picker->Popup();
    }
};

void Press(QWidget* w, Qt::Key key) {
    QTest::keyClick(w, key);
}

}  // namespace

class ColourPickerTest : public QObject {
    Q_OBJECT

private slots:
    void tableKeepsItsNames() {
        const auto& t = ColourTable();
        QCOMPARE(t.size(), size_t{40});
        QCOMPARE(QString::fromUtf8(t[7].name), QStringLiteral("Dunekl Grau"));
        QCOMPARE(QString::fromUtf8(t[28].name), QStringLiteral("Turquise"));
        QCOMPARE(QString::fromUtf8(t[2].name), QString::fromUtf8("Dunkel Olive Grün"));
        QCOMPARE(QString::fromUtf8(t[39].name), QString::fromUtf8("Weiß"));
        QCOMPARE(t[16].Value(), ColourValue(0x0000FF));
        QCOMPARE(t[1].Value(), Rgb(165, 42, 0));
    }

    void choosingRedStoresOnlyTheThreeKeys() {
        PickerForm f;
        QSignalSpy opened(f.picker, &CColourPicker::colourListOpened);
        QSignalSpy closed(f.picker, &CColourPicker::colourListClosed);
        QSignalSpy confirmed(f.picker, &CColourPicker::colourConfirmed);
        QSignalSpy hot(f.picker, &CColourPicker::colourHot);
        ColourDropDown* popup = f.open();
        QVERIFY(popup);
        QVERIFY(f.picker->IsPopupOpen());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened[0][1].toInt(), 1012);
        QCOMPARE(popup->ChosenItem(), 5);  // "Dunkel Blau"

        QTest::mouseMove(popup, popup->CellRect(16).center());
        QCOMPARE(popup->HotItem(), 16);
        QVERIFY(hot.count() >= 1);
        QCOMPARE(hot.last()[0].value<ColourValue>(), ColourValue(0x0000FF));
        QCOMPARE(f.picker->CurrentColour(), Rgb(0, 0, 139));  // no track selection
        QTest::mouseRelease(popup, Qt::LeftButton, {}, popup->CellRect(16).center());

        QVERIFY(!f.picker->IsPopupOpen());
        QCOMPARE(f.picker->CurrentColour(), Rgb(255, 0, 0));
        QCOMPARE(closed.count(), 1);
        QCOMPARE(confirmed.count(), 1);
        QCOMPARE(confirmed[0][0].value<ColourValue>(), Rgb(255, 0, 0));
        QCOMPARE(confirmed[0][1].toInt(), 1012);
        QCOMPARE(ReadFile(f.ini), std::string("[Tag]\r\nTRot=255\r\nTGruen=0\r\nTBlau=0\r\n"));
        QTRY_VERIFY(!f.picker->Popup());  // the popup deletes itself
    }

    void automaticStoresZerosAndShowsTheButtonFace() {
        PickerForm f;
        ColourDropDown* popup = f.open();
        QTest::mouseMove(popup, popup->DefaultBox().center());
        QCOMPARE(popup->HotItem(), int(ColourDropDown::AutomaticItem));
        Press(popup, Qt::Key_Return);
        QCOMPARE(f.picker->CurrentColour(), kAutomaticColour);
        QCOMPARE(ReadFile(f.ini), std::string("[Tag]\r\nTRot=0\r\nTGruen=0\r\nTBlau=0\r\n"));
        const QImage image = f.picker->grab().toImage();
        const QPoint inFace(f.picker->width() / 3, f.picker->height() / 2);
        QCOMPARE(image.pixelColor(inFace), f.picker->palette().color(QPalette::Button));
        f.picker->ChangeColour(Rgb(255, 0, 0));
        QCOMPARE(f.picker->grab().toImage().pixelColor(inFace), QColor(255, 0, 0));
    }

    void escapeAndOutsideClicksWriteNothing() {
        PickerForm f;
        QSignalSpy cancelled(f.picker, &CColourPicker::colourCancelled);
        ColourDropDown* popup = f.open();
        Press(popup, Qt::Key_Down);
        Press(popup, Qt::Key_Escape);
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(cancelled[0][0].value<ColourValue>(), Rgb(0, 0, 139));

        popup = f.open();
        QTest::mouseMove(popup, popup->CellRect(0).center());
        QTest::mouseRelease(popup, Qt::LeftButton, {}, QPoint(-20, popup->height() + 30));
        QCOMPARE(cancelled.count(), 2);

        // Switching to another application cancels as well.
        popup = f.open();
        QEvent deactivate(QEvent::ApplicationDeactivate);
        QCoreApplication::sendEvent(qApp, &deactivate);
        QCOMPARE(cancelled.count(), 3);
        QVERIFY(!f.picker->IsPopupOpen());

        QCOMPARE(f.picker->CurrentColour(), Rgb(0, 0, 139));
        QCOMPARE(ReadFile(f.ini), std::string());
    }

    void moreColoursOpensTheColourDialog() {
        PickerForm f;
        DialogRecorder dialogs;
        QSignalSpy confirmed(f.picker, &CColourPicker::colourConfirmed);
        QSignalSpy cancelled(f.picker, &CColourPicker::colourCancelled);
        ColourDialog::setNextCancel();
        ColourDropDown* popup = f.open();
        QTest::mouseMove(popup, popup->CustomBox().center());
        QCOMPARE(popup->HotItem(), int(ColourDropDown::CustomItem));
        QTest::mouseRelease(popup, Qt::LeftButton, {}, popup->CustomBox().center());
        QCOMPARE(dialogs.colourDialogs().size(), size_t{1});
        QCOMPARE(dialogs.colourDialogs()[0].initial, QColor(0, 0, 139));
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(confirmed.count(), 0);
        QCOMPARE(ReadFile(f.ini), std::string());

        ColourDialog::setNextColour(QColor(1, 2, 3));
        popup = f.open();
        QTest::mouseMove(popup, popup->CellRect(0).center());
        QTest::mouseMove(popup, popup->CustomBox().center());
        QCOMPARE(popup->HotItem(), int(ColourDropDown::CustomItem));
        Press(popup, Qt::Key_Space);
        QCOMPARE(confirmed.count(), 1);
        QCOMPARE(f.picker->CurrentColour(), Rgb(1, 2, 3));
        QCOMPARE(ReadFile(f.ini), std::string("[Tag]\r\nTRot=1\r\nTGruen=2\r\nTBlau=3\r\n"));
        // A colour outside the table is marked on "Weitere ..." next time.
        popup = f.open();
        QCOMPARE(popup->ChosenItem(), int(ColourDropDown::CustomItem));
        popup->Cancel();
    }

    void trackSelectionFollowsAndCancelRestores() {
        PickerForm f;
        f.picker->ChangeTrackSelection(true);
        ColourDropDown* popup = f.open();
        Press(popup, Qt::Key_Right);  // from "Dunkel Blau" (5) to "Indigo" (6)
        QCOMPARE(popup->HotItem(), 6);
        QCOMPARE(f.picker->CurrentColour(), Rgb(75, 0, 130));
        Press(popup, Qt::Key_Escape);
        QCOMPARE(f.picker->CurrentColour(), Rgb(0, 0, 139));
    }

    void arrowKeysWalkThroughBothBoxes() {
        QWidget owner;
        CColourPicker picker(&owner);
        const int A = ColourDropDown::AutomaticItem, W = ColourDropDown::CustomItem;
        struct Case {
            const char* texts;  // "AW", "A", "W" or ""
            int from;
            Qt::Key key;
            int to;
        };
        const Case cases[] = {
            {"AW", 3, Qt::Key_Left, 2},  {"AW", 8, Qt::Key_Left, 7},   {"AW", 0, Qt::Key_Left, A},
            {"W", 0, Qt::Key_Left, W},   {"", 0, Qt::Key_Left, 39},    {"AW", A, Qt::Key_Left, W},
            {"A", A, Qt::Key_Left, 39},  {"AW", W, Qt::Key_Left, 39},  {"AW", 3, Qt::Key_Right, 4},
            {"AW", 7, Qt::Key_Right, 8}, {"AW", 39, Qt::Key_Right, W}, {"A", 39, Qt::Key_Right, A},
            {"", 39, Qt::Key_Right, 0},  {"AW", A, Qt::Key_Right, 0},  {"AW", W, Qt::Key_Right, A},
            {"W", W, Qt::Key_Right, 0},  {"AW", 12, Qt::Key_Up, 4},    {"AW", 4, Qt::Key_Up, A},
            {"W", 4, Qt::Key_Up, W},     {"", 4, Qt::Key_Up, 39},      {"AW", A, Qt::Key_Up, W},
            {"A", A, Qt::Key_Up, 39},    {"AW", W, Qt::Key_Up, 39},    {"AW", 4, Qt::Key_Down, 12},
            {"AW", 35, Qt::Key_Down, W}, {"A", 35, Qt::Key_Down, A},   {"", 35, Qt::Key_Down, 0},
            {"AW", A, Qt::Key_Down, 0},  {"AW", W, Qt::Key_Down, A},   {"W", W, Qt::Key_Down, 0},
        };
        for (const Case& c : cases) {
            const QString texts = QString::fromLatin1(c.texts);
            ColourDropDown popup(QPoint(0, 0), 0, kAutomaticColour, &picker,
                                 texts.contains('A') ? QStringLiteral("Automatisch") : QString(),
                                 texts.contains('W') ? QStringLiteral("Weitere ...") : QString());
            const int got = popup.ItemAfterKey(c.from, c.key);
            if (got != c.to) {
                QFAIL(qPrintable(QStringLiteral("texts '%1' from %2 key %3: got %4, want %5")
                                     .arg(texts)
                                     .arg(c.from)
                                     .arg(c.key)
                                     .arg(got)
                                     .arg(c.to)));
            }
            popup.Cancel();
        }
    }

    void layoutFollowsTheCellGrid() {
        QWidget owner;
        CColourPicker picker(&owner);
        ColourDropDown popup(QPoint(10, 10), 0, kAutomaticColour, &picker,
                             QStringLiteral("Automatisch"), QStringLiteral("Weitere ..."));
        const int m = popup.Margin();
        const int b = popup.BoxSize();
        QVERIFY(b >= 18);
        QCOMPARE(popup.DefaultBox().topLeft(), QPoint(m, m));
        QCOMPARE(popup.CellRect(0).topLeft(), QPoint(m, popup.DefaultBox().bottom() + 1 + m));
        QCOMPARE(popup.CellRect(9).topLeft() - popup.CellRect(0).topLeft(), QPoint(b, b));
        QCOMPARE(popup.CellRect(39).size(), QSize(b, b));
        QCOMPARE(popup.CustomBox().top(), popup.CellRect(39).bottom() + 1 + 2 * m);
        QCOMPARE(popup.width(), std::max(8 * b + 2 * m, popup.DefaultBox().width() + 2 * m));
        QCOMPARE(popup.ItemAt(popup.CellRect(17).center()), 17);
        QCOMPARE(popup.ItemAt(QPoint(0, 0)), int(ColourDropDown::NoItem));
        QCOMPARE(popup.ChosenItem(), int(ColourDropDown::AutomaticItem));
        popup.Cancel();

        ColourDropDown bare(QPoint(10, 10), 0, Rgb(1, 1, 1), &picker, QString(), QString());
        QCOMPARE(bare.size(), QSize(8 * b + 2 * m, 5 * b + 2 * m));
        QCOMPARE(bare.ChosenItem(), int(ColourDropDown::NoItem));
        bare.Cancel();
    }

    void popupStaysOnTheScreen() {
        QWidget owner;
        CColourPicker picker(&owner);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        auto openAt = [&](QPoint p, int buttonTop) {
            auto* popup =
                new ColourDropDown(p, buttonTop, kAutomaticColour, &picker,
                                   QStringLiteral("Automatisch"), QStringLiteral("Weitere ..."));
            const QRect g = popup->geometry();
            popup->Cancel();
            delete popup;
            return g;
        };
        QRect g = openAt(QPoint(area.right() - 5, area.top() + 50), area.top() + 30);
        QCOMPARE(g.right(), area.right());
        QCOMPARE(g.top(), area.top() + 50);
        g = openAt(QPoint(area.left() - 40, area.top() + 50), area.top() + 30);
        QCOMPARE(g.left(), area.left());
        // Near the bottom it opens upwards, its bottom edge on the button's top.
        g = openAt(QPoint(area.left() + 50, area.bottom() - 10), area.bottom() - 33);
        QCOMPARE(g.bottom(), area.bottom() - 34);
        QCOMPARE(g.left(), area.left() + 50);
        g = openAt(QPoint(area.right(), area.bottom()), area.bottom() - 23);
        QVERIFY(area.contains(g));
    }

    void buttonTakesTheArrowSize() {
        QWidget owner;
        CColourPicker picker(&owner);
        const QSize required = picker.RequiredSize();
        picker.setGeometry(5, 5, 10, 40);
        QCOMPARE(picker.size(), required);
        picker.setGeometry(5, 5, 80, 10);
        QCOMPARE(picker.size(), QSize(80, required.height()));
        const QRect arrow = picker.ArrowRect();
        QCOMPARE(arrow.right(), picker.width() - 1 - (required.height() - arrow.height()) / 2);
        QVERIFY(arrow.width() * 2 <= required.width());
    }

    void outOfRangeColoursKeepTheirColourBytes() {
        QWidget owner;
        CColourPicker picker(&owner);
        picker.ChangeColour(0x12345678u);
        QCOMPARE(picker.CurrentColour(), ColourValue(0x00345678u));
        picker.ChangeColour(kAutomaticColour);
        QCOMPARE(picker.CurrentColour(), kAutomaticColour);
        QCOMPARE(picker.accessibleDescription(), QStringLiteral("Automatisch"));
        picker.ChangeColour(Rgb(64, 224, 208));
        QCOMPARE(picker.accessibleDescription(), QStringLiteral("Turquise"));
    }
};

QTEST_MAIN(ColourPickerTest)
#include "ColourPickerTest.moc"
